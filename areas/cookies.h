// The cookie area: the cookies of Internet Explorer (one file per cookie in
// the cookie folder) and of the Mozilla family (cookies.txt in the profile
// folder), the user's cookie filters ("nuts") and the cookies kept.
#pragma once

#include <windows.h>

#include <cstddef>
#include <set>
#include <string>
#include <vector>

#include "catalogue.h"
#include "cookie_lines.h"

namespace sentrel {

constexpr int kTypeMozillaCookie = 504;
constexpr const char* kNutsKey = "Software\\Orvane Works\\Sentrel\\Nuts";
constexpr const char* kKeptCookiesKey = "Software\\Orvane Works\\Sentrel\\Cookies";
constexpr const char* kUpdateCookieFile = "UpdateCookieFile";
// cookies.txt is read whole up to this many bytes.
constexpr size_t kMaxCookieFileBytes = 268288;
constexpr int kMaxCookieFilters = 256;
constexpr size_t kMaxFilterText = 127;
// Texts longer than this never match a filter.
constexpr size_t kMaxFilteredText = 512;

// Kinds 2 (Netscape), 3 (Firefox) and 6 (Mozilla) keep cookies.txt; every
// other kind means Internet Explorer.
bool IsMozillaKind(int kind);

// The folder ends with a backslash; when none is found it holds the text
// "Cookie Folder Not Found" and the result is 0.
int FindIECookieFolder(std::string& folder);
// The profile folder holding cookies.txt (kind 2 also looks where Netscape
// keeps it); 0 when none.
int FindMozillaProfileFolder(int kind, std::string& folder);
// The leading number of the installed Firefox's product version, 0 when
// Firefox is not installed.
int FirefoxMajorVersion();
// Mozilla cookies can be handled: Firefox 2 or older and a Mozilla folder.
bool MozillaSupported();

// Seconds since 1 January 1970 (UTC) as the user's local date.
std::string ExpiryDateText(const std::string& seconds);

// The filters: loaded from the Nuts key (one-time requests left out).
void LoadCookieFilters();
void FreeCookieFilters();
const std::vector<std::string>& CookieFilters();
bool IsCookieFiltered(const std::string& text);
// 0 when added, else the id of the message to show (the filter limit); -1
// for a text that cannot be a filter.
int AddCookieFilter(const std::string& text, int kind);
int RemoveCookieFilter(const std::string& text);
// Deletes the one-time removal requests (data 2); returns how many.
int PurgeRemovalRequests();

// Fills the catalogue entry list with the cookies of the browser kind; with
// filter, removes the filtered ones (Internet Explorer: their files; Mozilla:
// their lines, into a staged cookiesnew.txt). Returns the number listed.
int ListCookies(int kind, bool filter);
// Puts the staged cookiesnew.txt in place of cookies.txt when one waits and
// the browser is closed; 1 when it did, -1 when nothing is left to commit
// (no staged file, or one older than cookies.txt). A failed copy leaves
// cookies.txt as it was.
int CommitStagedCookies(const std::string& profileFolder);

// The cookies the user keeps: one at a time, or all at once as keys of
// CookieKey for a whole list.
bool IsCookieKept(const std::string& title);
std::string CookieKey(const std::string& title);
std::set<std::string> KeptCookieKeys();
int KeepCookie(const std::string& title, bool keep);
// Removes a listed cookie: an Internet Explorer cookie's file is deleted; a
// Mozilla cookie gets a one-time removal request.
int RemoveCookie(const CatalogueEntry& entry);

}  // namespace sentrel
