// The file type area: which program opens each monitored extension, its
// baseline under the settings key, and the actions on monitored extensions.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace sentrel {

constexpr int kTypeFileType = 400;
constexpr const char* kClassKey = "Software\\Orvane Works\\Sentrel\\Class";
constexpr const char* kExtKey = "Software\\Orvane Works\\Sentrel\\Ext";
constexpr const char* kExtAppKey = "Software\\Orvane Works\\Sentrel\\ExtApp";
constexpr const char* kExtProgIdKey = "Software\\Orvane Works\\Sentrel\\ExtProgID";
// The command exactly as found (with its quotes), by association value:
// restoring from the quote-free baseline alone would lose them.
constexpr const char* kClassRootKey = "Software\\Orvane Works\\Sentrel\\ClassRoot";
constexpr const char* kFileExtsKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";
constexpr const char* kBaselineMarker = "Do not edit.";

// The three places an association is read from.
enum AssociationSource { kMachineClasses = 1, kChosenApplication = 2, kChosenProgId = 3 };

// Longest extension token (a registry key name holds at most 255 characters
// besides the dot).
constexpr size_t kMaxExtensionToken = 254;
// Add refuses an extension that would bring the list to this length.
constexpr size_t kMaxExtensionList = 1020;

struct Association {
  std::string value;    // program identifier or application name
  std::string command;  // the open command, exactly as found
};

// ".ext" for "ext" or ".ext".
std::string DottedExtension(const std::string& text);
// The monitored extension list (the Class key's default value), read whole.
std::string MonitoredExtensionList();
// Its tokens in order; empty tokens and tokens that cannot name an
// extension (too long, holding a backslash) are left out.
std::vector<std::string> SplitExtensionList(const std::string& list);

// The association value of an extension's source as it reads ("" when none).
std::string AssociationValue(const std::string& extension, int source);
int ResolveAssociation(const std::string& extension, int source, Association& found);
// Icon file and index of an extension: DefaultIcon of its program
// identifier, else the open command of the given source.
int IconOfExtension(const std::string& extension, int source, std::string& file, int& index);

// Fills the catalogue entry list with one entry per monitored extension and
// resolving source; returns the count. Without titles the friendly names and
// version fields are not read (the patrol needs neither).
int EnumerateMonitoredTypes(bool withTitles = true);

int WriteFileTypeBaseline(const std::string& extension, int source);
int RestoreAssociation(const std::string& extension, int source);
// The baseline association value of an extension's source ("" when none).
std::string BaselineAssociationValue(const std::string& extension, int source);
// The approved command of an association value ("" when none).
std::string BaselineCommandOf(const std::string& value);
// The same with its quotes when the exact command was kept: only then can
// its program be told from its folder when a folder holds "name.ext ".
std::string ApprovedCommandOf(const std::string& value);
// For a user's choice (source 2 or 3) with nothing approved of its own: the
// approved command it now stands in front of ("" when the extension had
// none), and the removal of that choice.
std::string ApprovedCommandBeside(const std::string& extension, int source);
int RemoveUserChoice(const std::string& extension, int source);

// The settings initialisation's builder: makes the list and the baselines
// when they are missing; returns the number of entries written.
int CreateClassInfo();
// 0 when added, else the id of the message to show (762, 763, 764).
int AddMonitoredExtension(const std::string& text);
int RemoveMonitoredExtension(const std::string& extension);
int IsAssociationValueInUse(const std::string& value);

// The program file name of a command (quotes, folder and arguments left
// out), compared to tell a changed association from a moved program.
std::string ProgramFileName(const std::string& command);
// The program path of a command, for restoring it quoted.
std::string ProgramPart(const std::string& command);
// The command as written back: the program path quoted when it holds a blank.
std::string QuotedCommand(const std::string& command);

// The page's Command column for a command.
std::string FileTypeCommandText(const std::string& command);

}  // namespace sentrel
