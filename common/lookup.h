// The online program lookup, help pages and web addresses: both programs
// open the vendor's web service in the user's browser; nothing is read back.
#pragma once

#include <windows.h>

#include <string>

namespace sentrel {

// The vendor's web host, for every address either program builds.
constexpr const char* kVendorSite = "http://www.orvaneworks.com";

// Every character outside the unreserved set (letters, digits, "-", ".",
// "_", "~") becomes "%" and two hex digits: a value from a hostile file can
// neither add a parameter nor split the browser's command line.
std::string EncodeQueryValue(const std::string& text);

// What the request says about a file; the pure core of the lookup.
struct LookupFacts {
  int type = 0;
  std::string path, title;
  std::string company, productVersion, productName, copyright, description;
  std::string created, detected, size;  // long form only
  WORD languageId = 9;
  std::string languageCode = "us";  // string 634
};
std::string ShortLookupAddress(const LookupFacts& facts);
std::string LongLookupAddress(const LookupFacts& facts);

void LookUpProgramOnline(int type, const char* file, const char* title = nullptr);
void OpenWebAddress(const char* address);
HWND FindOnlineServiceWindow();
// The help page file for a page command, with the language prefix.
std::string HelpPageName(UINT command);
void OpenHelpPage(UINT command);

}  // namespace sentrel
