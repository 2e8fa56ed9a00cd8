// The catalogue entry list that every enumeration fills, and the type codes
// naming the places where items live.
#pragma once

#include <windows.h>

#include <string>

#include "type_codes.h"

namespace sentrel {

constexpr int kMaxCatalogueEntries = 4096;
constexpr size_t kTitleWidth = 127;
constexpr size_t kPathChars = 259;
constexpr size_t kDescriptionWidth = 1023;

struct CatalogueEntry {
  std::string title;        // at most 127 characters
  std::string path;         // at most 259
  std::string data;         // at most 259
  std::string description;  // at most 1023
  int type = 0;
  int value = 0;
  // What the actions need beyond the listed fields (startup entries):
  std::string command;             // the text exactly as found (Run data, WIN.INI token), never cut
  std::string name;                // the name it is stored and disabled under (full Run value name)
  std::wstring wideName;           // NT family: a Run value name the ANSI code page cannot hold exactly
  bool fromDisabledStore = false;  // listed from its disabled copy, not from where Windows reads it
  bool named = false;              // name is given as it stands (a Run key's unnamed value is "")
  bool listed = false;             // taken from the list: its row decides whether it is disabled
  std::string key;                 // services: the key it was listed from ("" when not in the code page)
};

int AddCatalogueEntry(const char* title, const char* path, const char* data, const char* description, int type,
                      int value);
// The same for a record with the extra fields filled: the listed fields are
// cut and converted as above; command and name stay as given (name defaults
// to the uncut title).
int AddCatalogueEntry(CatalogueEntry entry);
void ClearCatalogueEntries();
// While one lives the list takes every entry, not only the first
// kMaxCatalogueEntries a page shows: a patrol check must see an item however
// many others were registered before it.
class WholeCatalogue {
 public:
  WholeCatalogue();
  ~WholeCatalogue();
  WholeCatalogue(const WholeCatalogue&) = delete;
  WholeCatalogue& operator=(const WholeCatalogue&) = delete;

 private:
  size_t previous_;
};
int CatalogueCount();
const CatalogueEntry& CatalogueAt(int index);

// Where an entry lives, as the explorer shows it.
std::string LocationText(int type, bool disabled);
// The string explaining how the entry will start (the new-startup alert).
UINT StartExplanationId(int type);

}  // namespace sentrel
