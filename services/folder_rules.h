// Which folders an installation may take as its own and an uninstallation may
// empty. One check serves both sides: the installer refuses such a folder on
// the settings page, the uninstaller refuses a record that names one.
// Paths are compared normalised: "/" read as "\", "." and ".." levels
// resolved, doubled "\" collapsed, no trailing "\", ASCII case ignored; and
// long, where the system can say so: "C:\PROGRA~2" is "C:\Program Files (x86)".
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "services/folders.h"
#include "services/utf8.h"

namespace brindorel {

// The longest folder text an installation accepts, in UTF-16 units, trailing
// "\" included: the folder must still leave room below MAX_PATH (260) for the
// files, as shortcuts, the uninstall entry and programs that know only the
// plain form need it.
constexpr std::size_t kLongestInstallFolder = 200;

enum class FolderProblem {
  None,
  NotAbsolute,       // neither "X:\..." nor "\\server\share..."
  BadCharacters,     // < > " | ? * ":" or control characters, reserved device names
  TooLong,           // longer than kLongestInstallFolder
  DriveRoot,         // "C:\" or "\\server\share" itself
  ProtectedFolder,   // a system or user folder itself, or a folder holding one
  InsideWorkFolder,  // deleted at the end of the installation
};

// The long form of an existing path, every short (8.3) level spelt out as the
// system knows it; the empty text when the path does not exist or cannot be
// read. Windows' answer is GetLongPathOf (folders.h).
using LongPathLookup = std::function<std::string(const std::string& path)>;

// The folders no installation may take and no uninstallation may empty.
struct ProtectedFolders {
  std::vector<std::string> folders;  // each normalised and long; empty ones left out
  std::string workFolder;            // normalised and long; empty when unknown
  LongPathLookup longForm;           // unset: paths are taken as they are spelt
};

// Why Windows cannot hold a name (one level of a path) as it is spelt.
enum class NameProblem {
  None,
  NotUtf8,            // not well-formed UTF-8
  BadCharacter,       // < > : " | ? * \ / or a control character
  DeviceName,         // CON, PRN, AUX, NUL, COM1-9, LPT1-9, with or without an extension
  TrailingDotOrSpace, // dropped by the file system
  TooLong,            // more than 255 UTF-16 units
};
NameProblem WindowsNameProblem(const std::string& name);

// "X:\..." (a drive letter) or "\\server\share..." with both parts.
bool IsAbsoluteFolderPath(const std::string& path);

// The normalised form of an absolute path, lower case; "" for a path that is
// not absolute. A ".." above the root stays at the root.
std::string NormaliseFolderPath(const std::string& path);

// NormaliseFolderPath of the long form: the deepest level of `path` that
// exists is spelt out by `longForm` and the levels below it are kept as they
// are, so a folder that does not exist yet below "C:\PROGRA~1" is still seen
// below "C:\Program Files". Without `longForm` it is NormaliseFolderPath.
std::string LongNormalisedFolderPath(const std::string& path, const LongPathLookup& longForm);

// Both absolute and the same folder once normalised.
bool SameFolderPath(const std::string& a, const std::string& b);

// `path` lies strictly below `folder` (both absolute).
bool IsBelowFolder(const std::string& path, const std::string& folder);

// The Windows and system folders (SysWOW64 and Sysnative too), Program Files
// and Common Files of both views of a 64-bit Windows, the profile, desktop,
// documents, start-menu and programs (user and common), application-data
// (ProgramData among them) and temporary folders, looked up through `lookup`
// and read long through `longForm` (may be unset), which the result keeps for
// CheckInstallFolder.
ProtectedFolders LookUpProtectedFolders(const FolderLookup& lookup, const std::string& workFolder,
                                        const LongPathLookup& longForm = LongPathLookup());

// Whether `path` may be an installation's folder. It is compared in its long
// form (through protectedFolders.longForm), so a short name is no way round.
FolderProblem CheckInstallFolder(const std::string& path, const ProtectedFolders& protectedFolders);

// The "\\?\" form of an absolute path ("\\?\C:\..." or
// "\\?\UNC\server\share\..."), in which the file calls take paths of up to
// 32,767 units. The system does not tidy such a path, so it is done here as
// it would be: "/" read as "\", doubled separators collapsed, "." and ".."
// levels resolved (never above the root); a trailing "\" is kept. A path
// that is not absolute, or is a device path already, comes back as it is.
std::string ExtendedLengthPath(const std::string& path);

// Whether a start-menu folder name stays inside the programs folder: not
// empty, relative, no "." or ".." level, valid characters.
bool IsSafeMenuFolderName(const std::string& name);

}  // namespace brindorel
