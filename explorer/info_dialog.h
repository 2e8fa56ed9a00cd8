// The program information dialog: what can be found locally about an item of
// a list page, whether it runs, a service's start type, and the user's own
// note about the program.
#pragma once

#include <windows.h>

#include <string>

namespace sentrel {

// The longest note the dialog reads or writes, in characters.
constexpr int kMaxNoteChars = 16384;

// Opens the dialog (modal) on an entry of the catalogue entry list; Next and
// Previous walk that list.
void ShowInfoDialog(HWND owner, int entry);

// The note file name of a program: "note_" + its file name without the last
// four characters + ".txt", always a bare name (characters that would lead
// out of the notes folder become "_"); "" when the name gives none.
std::string NoteFileName(const std::string& file);
// The program's note file where one exists: the explorer's own folder first,
// then the data folder; "" when there is none.
std::string FindNoteFile(const std::string& file);
// Where a new note of the program is written: the data folder (the
// explorer's folder when there is none); "" when the name gives none.
std::string NewNoteFile(const std::string& file);

}  // namespace sentrel
