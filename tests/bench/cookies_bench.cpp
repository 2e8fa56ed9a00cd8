// Benchmark: 4,000 Internet Explorer cookie files and a 268 KB cookies.txt.
// Times the monitor's cookie filter task (twenty filters, none matching, so
// every file is looked at and kept) against the bare walk of the same folder,
// the Mozilla filtered listing (cookies.txt read, cookiesnew.txt written)
// against the bare read and write of the same bytes, and the Cookies page's
// fill of both stores; goals: at most 1.5 times the floor, a fill under 1 s.
#include <windows.h>

#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>

#include "bench_sheet.h"
#include "catalogue.h"
#include "cookie_tasks.h"
#include "cookies.h"
#include "registry.h"
#include "settings.h"
#include "system_settings.h"

using namespace sentrel;

namespace {

constexpr int kCookieFiles = 4000;
const char* const kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::string g_ieFolder, g_profile;

void WriteText(const std::string& path, const std::string& text) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

void MakeFolders(const std::string& path) {
  for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
    CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
  CreateDirectoryA(path.c_str(), nullptr);
}

void Plant() {
  g_ieFolder = ReadString(HKEY_CURRENT_USER, kShellFolders, "Cookies") + "\\";
  MakeFolders(g_ieFolder);
  WriteText(g_ieFolder + "index.dat", "");
  for (int i = 0; i < kCookieFiles; ++i)
    WriteText(g_ieFolder + "user@site" + std::to_string(i) + ".example[1].txt",
              "id\n" + std::to_string(i) + "\nsite.example/\n1536\n");
  g_profile = ReadString(HKEY_CURRENT_USER, kShellFolders, "AppData") + "\\Mozilla\\FireFox\\Profiles\\bench.default";
  MakeFolders(g_profile);
  std::string text = "# Netscape HTTP Cookie File\n";
  for (int i = 0; text.size() < kMaxCookieFileBytes - 100; ++i)
    text += ".site" + std::to_string(i) + ".example\tTRUE\t/\tFALSE\t" + std::to_string(1300000000 + i * 7919) +
            "\tid\tvalue" + std::to_string(i) + "\n";
  WriteText(g_profile + "\\cookies.txt", text);
  for (int i = 0; i < 20; ++i)
    WriteStringValue(HKEY_CURRENT_USER, kNutsKey, ("nomatch" + std::to_string(i)).c_str(), "1");
}

int BareWalk() {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((g_ieFolder + "*").c_str(), &found);
  int files = 0;
  if (search == INVALID_HANDLE_VALUE) return 0;
  do files += (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : 1;
  while (FindNextFileA(search, &found));
  FindClose(search);
  return files;
}

void BareReadWrite(bool write) {
  std::string text(kMaxCookieFileBytes + 1, '\0');
  HANDLE file = CreateFileA((g_profile + "\\cookies.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  DWORD got = 0;
  ReadFile(file, &text[0], static_cast<DWORD>(text.size()), &got, nullptr);
  CloseHandle(file);
  if (write) WriteText(g_profile + "\\cookiesnew.txt", text.substr(0, got));
}

struct Fills {
  int ieRows = 0, mozillaRows = 0;
  double ie = 1e9, mozilla = 1e9;
};

void MeasurePage(Fills& fills) {
  HWND sheet = nullptr;
  HWND page = WaitForSheetPage(&sheet);
  if (!page) return;
  for (int round = 0; round < 3; ++round) fills.ie = std::min(fills.ie, TimedMessage(page, WM_SENTREL_REFILL_PAGE));
  fills.ieRows = PageRows(page);
  SetOption(kOptBrowser, 6);
  for (int round = 0; round < 3; ++round)
    fills.mozilla = std::min(fills.mozilla, TimedMessage(page, WM_SENTREL_REFILL_PAGE));
  fills.mozillaRows = PageRows(page);
  PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
}

void Clean() {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((g_ieFolder + "user@site*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do DeleteFileA((g_ieFolder + found.cFileName).c_str());
    while (FindNextFileA(search, &found));
    FindClose(search);
  }
  for (const char* name : {"cookies.txt", "cookiesnew.txt"}) DeleteFileA((g_profile + "\\" + name).c_str());
  RemoveDirectoryA(g_profile.c_str());
  DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
}

}  // namespace

int main() {
  CoInitialize(nullptr);
  DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
  Plant();
  Process().kind = ProgramKind::Monitor;
  LoadOptions();
  const double floorWalk = MedianOf(5, [] { BareWalk(); });
  const double task = MedianOf(5, [] { FilterCookies(); });
  const int walked = BareWalk();
  const double kindTime = MedianOf(5, [] { DefaultBrowserKind(); });
  const double listTime = MedianOf(5, [] {
    LoadCookieFilters();
    ListCookies(1, true);
    FreeCookieFilters();
  });
  std::printf("of the task: the default browser %.1f ms, the filtered listing %.1f ms\n", kindTime * 1000,
              listTime * 1000);
  const double floorRead = MedianOf(5, [] { BareReadWrite(false); });
  const double floorReadWrite = MedianOf(5, [] { BareReadWrite(true); });
  int mozillaListed = 0;
  const double mozilla = MedianOf(5, [&] {
    LoadCookieFilters();
    mozillaListed = ListCookies(6, true);
    FreeCookieFilters();
  });
  // The monitor's Mozilla task: the staged file put in place (copied under
  // another name, then renamed over cookies.txt) against one bare copy.
  const std::string staged = g_profile + "\\cookiesnew.txt";
  const double floorCopy = MedianOf(5, [&] { CopyFileA(staged.c_str(), (g_profile + "\\copy.txt").c_str(), FALSE); });
  DeleteFileA((g_profile + "\\copy.txt").c_str());
  int committed = 0;
  const double commit = MedianOf(5, [&] {
    WriteOption(kUpdateCookieFile, 1);
    committed += CommitStagedCookies(g_profile);
  });
  std::printf("IE cookie files: %d; filter task %.1f ms against the bare folder walk %.1f ms: ratio %.2f (goal 1.5)\n",
              walked, task * 1000, floorWalk * 1000, task / floorWalk);
  std::printf(
      "cookies.txt %u bytes, %d cookies: the page's filtered listing %.1f ms (the bare read %.1f ms, read "
      "and write %.1f ms)\n",
      static_cast<unsigned>(kMaxCookieFileBytes), mozillaListed, mozilla * 1000, floorRead * 1000,
      floorReadWrite * 1000);
  std::printf("commit of the staged file (%d of 5) %.1f ms against one bare copy %.1f ms: ratio %.2f (goal 1.5)\n",
              committed, commit * 1000, floorCopy * 1000, commit / floorCopy);

  Process().kind = ProgramKind::Explorer;
  LoadOptions();
  int ieListed = 0;
  const double ieListing = MedianOf(3, [&] {
    LoadCookieFilters();
    ieListed = ListCookies(1, true);
    FreeCookieFilters();
  });
  std::printf("of a fill: the listing of %d Internet Explorer cookies %.1f ms\n", ieListed, ieListing * 1000);
  StartBenchExplorer();
  Fills fills;
  std::thread user(MeasurePage, std::ref(fills));
  ShowSheet(IDC_CMD_SHOW_COOKIES);
  user.join();
  std::printf("Cookies page fill: Internet Explorer %d rows %.2f s, Mozilla %d rows %.2f s (goal 1 s)\n", fills.ieRows,
              fills.ie, fills.mozillaRows, fills.mozilla);
  const bool met =
      task <= 1.5 * floorWalk && commit <= 1.5 * floorCopy && committed == 5 && fills.ie < 1.0 && fills.mozilla < 1.0;
  std::printf("%s\n", met ? "goals met" : "GOALS NOT MET");
  Clean();
  CoUninitialize();
  return met ? 0 : 2;
}
