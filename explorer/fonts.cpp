// The explorer's shared fonts, made once at start and deleted at exit.
#include <windows.h>

#include "explorer.h"
#include "registry.h"
#include "settings.h"
#include "ui.h"

namespace sentrel {
namespace {

constexpr FontSpec kFonts[kFontNote] = {
    {"Verdana", 18, 600, false},       {"Arial", 18, 500, false},         {"Arial", -18, 500, true},
    {"MS Sans Serif", 14, 600, false}, {"MS Sans Serif", 10, 600, false}, {"MS Sans Serif", 12, 500, false},
    {"Arial", 14, 400, false},         {"MS Shell Dlg", 14, 700, false},  {"MS Shell Dlg", 14, 500, false},
};

}  // namespace

void CreateExplorerFonts() {
  HFONT* fonts = Explorer().fonts;
  MakeFonts(kFonts, kFontNote, fonts);
  char face[LF_FACESIZE] = "";
  if (ReadStringValue(HKEY_CURRENT_USER, kOptionsKey, "NoteFont", face, sizeof face) == 0 || !face[0])
    lstrcpynA(face, "Arial", sizeof face);
  const FontSpec note = {face, Option(kOptNoteSize), 500, false};
  MakeFonts(&note, 1, &fonts[kFontNote]);
}

void DeleteExplorerFonts() { DeleteFonts(Explorer().fonts, kExplorerFontCount); }

HFONT ExplorerFontOf(ExplorerFont font) { return Explorer().fonts[font]; }

}  // namespace sentrel
