// The alert dialogs' fonts, made once at start and deleted at exit.
#include "monitor.h"
#include "ui.h"

namespace sentrel {
namespace {

constexpr FontSpec kFonts[kMonitorFontCount] = {
    {"Arial", -14, 400, false},         {"Verdana", -14, 400, true},        {"Verdana", -18, 600, true},
    {"Arial", -18, 500, false},         {"MS Sans Serif", -14, 600, false}, {"Verdana", -10, 600, false},
    {"MS Sans Serif", -12, 500, false},
};

}  // namespace

void CreateMonitorFonts() { MakeFonts(kFonts, kMonitorFontCount, Monitor().fonts); }

void DeleteMonitorFonts() { DeleteFonts(Monitor().fonts, kMonitorFontCount); }

}  // namespace sentrel
