// Command-line normalisation and splitting, as every area hands registry
// texts to them: the results keep their widths and never reach outside the
// text.
#include "command_text.h"
#include "fuzz_support.h"

using namespace sentrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  const std::string windows = input.Text(), programFiles = input.Text(), command = input.Rest();

  const std::string normal = NormalizeFilePathWith(command.c_str(), windows.c_str(), programFiles.c_str());
  FUZZ_CHECK(normal.size() <= static_cast<size_t>(kPathWidth - 1));
  for (char c : normal) FUZZ_CHECK(c < 'a' || c > 'z');

  std::string program, arguments;
  const size_t at = SplitCommandText(command, windows, programFiles, program, arguments);
  const std::string expanded = ExpandLeadingFolder(command, windows, programFiles);
  FUZZ_CHECK(at <= expanded.size());
  FUZZ_CHECK(program.size() <= static_cast<size_t>(kPathWidth - 1));
  FUZZ_CHECK(arguments.size() <= static_cast<size_t>(kPathWidth - 1));
  FUZZ_CHECK(program.find('"') == std::string::npos);
  // What follows the program is the command's own rest, never made up.
  FUZZ_CHECK(expanded.compare(at, arguments.size(), arguments) == 0);

  size_t pieces = 0;
  for (const std::string& piece : SplitAppInitList(command)) {
    FUZZ_CHECK(!piece.empty() && piece.find_first_of(", ") == std::string::npos);
    pieces += piece.size();
  }
  FUZZ_CHECK(pieces <= command.size());
  return 0;
}
