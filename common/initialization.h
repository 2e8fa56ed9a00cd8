// The settings initialisation both programs run at start-up, and the seams
// through which each watched area contributes its baselines to it.
#pragma once

#include <cstddef>

namespace sentrel {

// When in the initialisation a baseline builder runs.
enum class InitStage {
  Baselines,    // after the first-run check: first-seen store, services, hidden files, ActiveX
  SystemFiles,  // after the Windows settings are mirrored
  FileTypes,    // after the version check
};

// A watched area's baseline builder: it checks its own marker and builds the
// baseline only when it is missing or outdated. Returns non-zero on success.
struct BaselineBuilder {
  const char* area;
  InitStage stage;
  int (*buildIfNeeded)();
};

// What the startup catalogue adds to the initialisation and to run-at-start.
// Null members mean the catalogue is not part of this build.
struct StartupCatalogueHooks {
  int (*rebuildStartupBaselines)();  // the "Cleanup Run Registry" rebuild
  int (*buildInitialBaselines)();    // startup, IE helper and task baselines
  int (*removeEarlierEdition)();     // the "Sentrel OMNI" machine Run entry of an earlier edition
  // Counts the startup entries that run the monitor; removes them (and the
  // explorer's) when asked. Backs SetRunAtStart(false).
  int (*findOwnEntries)(bool remove);
};

struct SettingsInitHooks {
  const BaselineBuilder* builders;
  size_t builderCount;
  StartupCatalogueHooks startup;
};

// The areas present in this build, in the order their builders run.
const SettingsInitHooks& DefaultSettingsInitHooks();

void InitializeSettings(const SettingsInitHooks& hooks = DefaultSettingsInitHooks());
void CreateInitialValues(const SettingsInitHooks& hooks = DefaultSettingsInitHooks());

// Off removes the entries the startup catalogue finds for the programs,
// through the hooks of the last initialisation (else the fallback).
int SetRunAtStart(bool on, const SettingsInitHooks& fallback = DefaultSettingsInitHooks());
int IsRunAtStart();
// The run-at-start command as listed: the program's folder and
// "\sentrel.exe -expressboot" (the Run value itself quotes the program).
const char* RunAtStartSuffix();

// The context-menu verb on program files, kept in line with ExplorerMenu.
extern const char* const kExplorerMenuKey;
void SyncExplorerMenuVerb();

// "-Restore": drops translations and remembered positions (not in English).
int ResetTranslationsAndPositions();

}  // namespace sentrel
