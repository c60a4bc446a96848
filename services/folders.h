// Folder ids, special folders and the expansion of folder placeholders
// ("%ProgramFiles%", "%Windows%", ...) in paths.
// Non-negative ids are the shell's CSIDL numbers (43, Common Files, is read
// from the registry); negative ids: -1 current directory, -2 system
// directory, -3 Windows directory, -4 temporary folder, -5 Quick Launch,
// -6 Program Files, -7/-8 the Quillmark install folder through its "open" /
// "edit" command, -9 to -12 the folders of a 64-bit Windows below. Every
// folder text ends in "\" or is empty.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace brindorel {

// A 32-bit program on a 64-bit Windows sees "Program Files (x86)" as its
// Program Files and SysWOW64 as its system folder; these ids name the folders
// of the other view, whatever the program's own bitness ("" where there is no
// such folder, as on a 32-bit Windows).
constexpr std::int32_t kProgramFiles64Folder = -9;  // the 64-bit programs' Program Files
constexpr std::int32_t kCommonFiles64Folder = -10;  // and their Common Files
constexpr std::int32_t kSysWow64Folder = -11;       // the 32-bit programs' system folder
constexpr std::int32_t kSysnativeFolder = -12;      // the alias of the 64-bit system folder for 32-bit programs

// Gives the folder text of an id ("" when there is none).
using FolderLookup = std::function<std::string(std::int32_t)>;

struct FolderPlaceholder {
  const char* name;  // exact, case-sensitive, e.g. "%ProgramFiles%"
  std::int32_t folder_id;
};

// The placeholders in the order in which they are replaced.
extern const FolderPlaceholder kFolderPlaceholders[10];

// Portable expansion. Fewer than two "%": Program Files (-6) + text.
// Otherwise every placeholder is replaced by its folder (each folder is looked
// up once, in table order), and a result that does not begin with a drive
// ("X:\") is put below Program Files.
std::string ExpandFolderPlaceholders(const std::string& text, const FolderLookup& lookup);

// True when the second and third characters are ":\".
bool StartsWithDrive(const std::string& path);

// Appends "\" to a non-empty text that does not end in one.
std::string WithTrailingSeparator(const std::string& folder);

// The Quick Launch folder below the application-data folder; "" when the
// application-data folder is unknown.
std::string QuickLaunchFolder(const std::string& app_data_folder);

// The folder of the program named by a shell command value of the form
// "\"C:\\Path\\Program.exe\" \"%1\"": the first character and the last six
// are cut, then everything up to and including the last "\" or "/" is kept
// (the scan stops at "|"). "" for values too short or without a separator.
std::string CommandValueFolder(const std::string& command);

// ---- Windows only (folders_win.cpp) ----

// The folder of an id, ending in "\"; "" when it cannot be found.
std::string GetSpecialFolder(std::int32_t id);

// The user's temporary folder in long form, ending in "\".
std::string GetTempFolder();

// The full path of the running program, however long.
std::string GetOwnProgramPath();

// The long form of an existing path (GetLongPathNameW): every short (8.3)
// level spelt out; "" when the path does not exist.
std::string GetLongPathOf(const std::string& path);

// ExpandFolderPlaceholders with the system's folders.
std::string ExpandFolderPlaceholders(const std::string& text);

}  // namespace brindorel
