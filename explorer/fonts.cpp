// The explorer's shared fonts, made once at start and deleted at exit.
#include <windows.h>

#include "explorer.h"
#include "registry.h"
#include "settings.h"

namespace sentrel {
namespace {

struct FontDefinition {
  const char* face;
  int height;
  int weight;
  bool underline;
};
constexpr FontDefinition kFonts[kFontNote] = {
    {"Verdana", 18, 600, false},       {"Arial", 18, 500, false},         {"Arial", -18, 500, true},
    {"MS Sans Serif", 14, 600, false}, {"MS Sans Serif", 10, 600, false}, {"MS Sans Serif", 12, 500, false},
    {"Arial", 14, 400, false},         {"MS Shell Dlg", 14, 700, false},  {"MS Shell Dlg", 14, 500, false},
};

HFONT MakeFont(const char* face, int height, int weight, bool underline) {
  return CreateFontA(height, 0, 0, 0, weight, FALSE, underline, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face);
}

}  // namespace

void CreateExplorerFonts() {
  HFONT* fonts = Explorer().fonts;
  for (int i = 0; i < kFontNote; ++i)
    if (!fonts[i]) fonts[i] = MakeFont(kFonts[i].face, kFonts[i].height, kFonts[i].weight, kFonts[i].underline);
  if (!fonts[kFontNote]) {
    char face[LF_FACESIZE] = "";
    if (ReadStringValue(HKEY_CURRENT_USER, kOptionsKey, "NoteFont", face, sizeof face) == 0 || !face[0])
      lstrcpynA(face, "Arial", sizeof face);
    fonts[kFontNote] = MakeFont(face, Option(kOptNoteSize), 500, false);
  }
}

void DeleteExplorerFonts() {
  for (HFONT& font : Explorer().fonts) {
    if (font) DeleteObject(font);
    font = nullptr;
  }
}

HFONT ExplorerFontOf(ExplorerFont font) { return Explorer().fonts[font]; }

}  // namespace sentrel
