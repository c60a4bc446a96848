// Folder ids, special folders and the expansion of folder placeholders
// ("%ProgramFiles%", "%Windows%", ...) in paths. Every folder text ends in
// "\" or is empty.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace brindorel {

// Folder ids. Non-negative ids are the shell's CSIDL numbers (Common Files is
// read from the registry); negative ids name folders the shell does not give.
constexpr std::int32_t kDesktopFolderId = 0;              // CSIDL_DESKTOP
constexpr std::int32_t kProgramsFolderId = 2;             // CSIDL_PROGRAMS
constexpr std::int32_t kDocumentsFolderId = 5;            // CSIDL_PERSONAL
constexpr std::int32_t kStartupFolderId = 7;              // CSIDL_STARTUP
constexpr std::int32_t kStartMenuFolderId = 11;           // CSIDL_STARTMENU
constexpr std::int32_t kDesktopDirectoryFolderId = 16;    // CSIDL_DESKTOPDIRECTORY
constexpr std::int32_t kFontsFolderId = 20;               // CSIDL_FONTS
constexpr std::int32_t kCommonStartMenuFolderId = 22;     // CSIDL_COMMON_STARTMENU
constexpr std::int32_t kCommonProgramsFolderId = 23;      // CSIDL_COMMON_PROGRAMS
constexpr std::int32_t kCommonStartupFolderId = 24;       // CSIDL_COMMON_STARTUP
constexpr std::int32_t kCommonDesktopFolderId = 25;       // CSIDL_COMMON_DESKTOPDIRECTORY
constexpr std::int32_t kAppDataFolderId = 26;             // CSIDL_APPDATA
constexpr std::int32_t kLocalAppDataFolderId = 28;        // CSIDL_LOCAL_APPDATA
constexpr std::int32_t kCommonAppDataFolderId = 35;       // CSIDL_COMMON_APPDATA
constexpr std::int32_t kWindowsShellFolderId = 36;        // CSIDL_WINDOWS
constexpr std::int32_t kSystemShellFolderId = 37;         // CSIDL_SYSTEM
constexpr std::int32_t kProgramFilesShellFolderId = 38;   // CSIDL_PROGRAM_FILES
constexpr std::int32_t kProfileFolderId = 40;             // CSIDL_PROFILE
constexpr std::int32_t kProgramFilesX86FolderId = 42;     // CSIDL_PROGRAM_FILESX86
constexpr std::int32_t kCommonFilesFolderId = 43;         // CSIDL_PROGRAM_FILES_COMMON
constexpr std::int32_t kCommonFilesX86FolderId = 44;      // CSIDL_PROGRAM_FILES_COMMONX86
constexpr std::int32_t kCommonDocumentsFolderId = 46;     // CSIDL_COMMON_DOCUMENTS
constexpr std::int32_t kCurrentFolderId = -1;             // the current directory
constexpr std::int32_t kSystemFolderId = -2;              // the system directory
constexpr std::int32_t kWindowsFolderId = -3;             // the Windows directory
constexpr std::int32_t kTempFolderId = -4;                // the user's temporary folder
constexpr std::int32_t kQuickLaunchFolderId = -5;         // below the application data
constexpr std::int32_t kProgramFilesFolderId = -6;        // from the registry
constexpr std::int32_t kQuillmarkOpenFolderId = -7;       // through its "open" command
constexpr std::int32_t kQuillmarkEditFolderId = -8;       // through its "edit" command

// Gives the folder text of an id ("" when there is none).
using FolderLookup = std::function<std::string(std::int32_t)>;

struct FolderPlaceholder {
  const char* name;  // exact, case-sensitive, e.g. "%ProgramFiles%"
  std::int32_t folderId;
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
std::string QuickLaunchFolder(const std::string& appDataFolder);

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

// ExpandFolderPlaceholders with the system's folders.
std::string ExpandFolderPlaceholders(const std::string& text);

}  // namespace brindorel
