// The pure text work on command lines and registry texts: no system call,
// so the same source is also built natively and fuzzed (tests/fuzz).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace sentrel {

constexpr int kPathWidth = 260;

// The text with a leading "\\SystemRoot", "%SystemRoot%" or "%ProgramFiles%"
// (also just inside an opening quote) replaced by its folder.
std::string ExpandLeadingFolder(const std::string& text, const std::string& windowsFolder,
                                const std::string& programFilesFolder);
// The upper-case program path of a command line or registry text, with the
// folders it substitutes; at most kPathWidth - 1 characters.
std::string NormalizeFilePathWith(const char* text, const char* windowsFolder, const char* programFilesFolder);

// The command with its quotes taken out (at most 511 characters read).
std::string StripQuotes(const std::string& text);

// A command split where its program's extension ends: the program part
// (upper case, unquoted, at most 259 characters, its long form not yet
// asked for) and the arguments with their leading blank (at most 259).
// Returns the index in the expanded command where the arguments start.
size_t SplitCommandText(const std::string& command, const std::string& windowsFolder,
                        const std::string& programFilesFolder, std::string& program, std::string& arguments);

// The pieces of an AppInit_DLLs list, split at commas and blanks.
std::vector<std::string> SplitAppInitList(const std::string& list);

}  // namespace sentrel
