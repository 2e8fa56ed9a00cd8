// The alert dialogs' fonts, made once at start and deleted at exit.
#include "monitor.h"

namespace sentrel {
namespace {

struct FontDefinition {
  const char* face;
  int height;
  int weight;
  bool underline;
};
constexpr FontDefinition kFonts[kMonitorFontCount] = {
    {"Arial", 14, 400, false},         {"Verdana", 14, 400, true},        {"Verdana", 18, 600, true},
    {"Arial", 18, 500, false},         {"MS Sans Serif", 14, 600, false}, {"Verdana", 10, 600, false},
    {"MS Sans Serif", 12, 500, false},
};

}  // namespace

void CreateMonitorFonts() {
  MonitorState& monitor = Monitor();
  for (int i = 0; i < kMonitorFontCount; ++i) {
    const FontDefinition& font = kFonts[i];
    if (!monitor.fonts[i])
      monitor.fonts[i] = CreateFontA(-font.height, 0, 0, 0, font.weight, FALSE, font.underline, FALSE, DEFAULT_CHARSET,
                                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, 32, font.face);
  }
}

void DeleteMonitorFonts() {
  for (HFONT& font : Monitor().fonts) {
    if (font) DeleteObject(font);
    font = nullptr;
  }
}

}  // namespace sentrel
