// poke CLASS MESSAGE WPARAM LPARAM: posts a message to the first top-level
// window of a class. The screenshot script uses it to open the tray menu.
// CLASS "page" names the current page of the explorer's property sheet.
#include <windows.h>

#include <prsht.h>

#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 5) return 2;
  const bool page = lstrcmpA(argv[1], "page") == 0;
  HWND window = FindWindowA(page ? "#32770" : argv[1], nullptr);
  if (window && page) window = reinterpret_cast<HWND>(SendMessageA(window, PSM_GETCURRENTPAGEHWND, 0, 0));
  if (!window) return 1;
  auto number = [](const char* text) { return static_cast<UINT_PTR>(std::strtoul(text, nullptr, 0)); };
  return PostMessageA(window, static_cast<UINT>(number(argv[2])), number(argv[3]), static_cast<LPARAM>(number(argv[4])))
             ? 0
             : 1;
}
