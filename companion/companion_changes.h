// What a non-zero wParam of message 9024 names: the watched areas in which
// the companion saw a registry key or folder change, one bit per area,
// OR'd together when several changed at once. wParam 0 keeps its old sense:
// the set of running programs changed.
#pragma once

namespace sentrel {

enum CompanionChange : unsigned {
  kChangedStartup = 1u << 0,      // Run keys, Winlogon, shell extension locations, Startup folders
  kChangedIEHelpers = 1u << 1,    // helper objects, toolbars, browser extensions
  kChangedActiveX = 1u << 2,      // ActiveX compatibility flags and add-on statistics
  kChangedSystemFiles = 1u << 3,  // the folders of HOSTS and the boot files
  kChangedStartPage = 1u << 4,    // the browser's start, search and desktop pages
  kChangedFileTypes = 1u << 5,    // the machine's classes and the user's file extensions
  kChangedServices = 1u << 6,     // a service added or deleted
};
constexpr unsigned kAllCompanionChanges = (1u << 7) - 1;

}  // namespace sentrel
