// What the watched areas contribute to the settings initialisation.
#include "activex.h"
#include "file_types.h"
#include "hidden_files.h"
#include "initialization.h"
#include "services.h"
#include "startup.h"
#include "system_files.h"

namespace sentrel {
namespace {

// Areas whose baselines are built at start-up join this table as they arrive.
constexpr BaselineBuilder kBuilders[] = {
    {"FirstSeen", InitStage::Baselines, InitFirstSeenStore},
    {"ActiveX", InitStage::Baselines, CreateActiveXBaseline},
    {"Services", InitStage::Baselines, CreateServicesBaseline},
    {"Hidden", InitStage::Baselines, CreateHiddenBaseline},
    {"Sysfiles", InitStage::SystemFiles, CreateSystemFileRegister},
    {"FileTypes", InitStage::FileTypes, CreateClassInfo},
};
const SettingsInitHooks kDefaultHooks = {
    kBuilders,
    sizeof kBuilders / sizeof kBuilders[0],
    {CleanupRunRegistry, InitRegStartups, RemoveEarlierEditionEntry, FindOwnStartupEntries}};

}  // namespace

const SettingsInitHooks& DefaultSettingsInitHooks() { return kDefaultHooks; }

}  // namespace sentrel
