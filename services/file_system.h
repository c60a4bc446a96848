// File-system helpers: existence and size tests, folder creation and removal,
// copying one file, and folder scans. Paths are UTF-8 texts with "\" as the
// separator; a result of 0 means failure. An absolute path may be as long as
// the file system allows (kLongestPath UTF-16 units): one too long for the
// plain form goes to the system in its "\\?\" form. A longer path is refused,
// never cut.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brindorel {

// The plain form's limit (MAX_PATH), which the shell's calls and many
// programs still keep to.
constexpr std::size_t kPathLimit = 260;
// The longest path the file calls take, in UTF-16 units.
constexpr std::size_t kLongestPath = 32767;

// RemoveFolder flags.
constexpr std::uint32_t kRemoveSubfolders = 1;  // descend into matching subfolders
constexpr std::uint32_t kRemoveForced = 2;      // clear attributes first (read-only goes too)

// 1 when a file or folder of that name exists (one trailing "\" ignored).
int PathExists(const std::string& path);

// Size in bytes; -1 when missing, -2 for a folder or an existing drive root
// ("C:" or "C:\").
std::int64_t QueryPathSize(const std::string& path);

// Reads a whole file into `bytes`. False when it cannot be opened or read,
// or when it is larger than `limit` bytes, which is checked before anything
// is allocated. A file that shrinks meanwhile gives what could be read.
bool ReadWholeFile(const std::string& path, std::uint64_t limit, std::vector<std::uint8_t>& bytes);

// Creates the last level only (trailing spaces, "\" and "/" dropped);
// non-zero on success.
int MakeFolder(const std::string& path);

// Creates every level of a folder path; existing levels are passed over.
void MakeFolderPath(const std::string& path);

// Creates every missing folder named by a prefix of `path` that ends in "\":
// for a file path the folders holding the file.
void MakeParentFolders(const std::string& path);

// The prefixes of `path` ending in "\" that are no folder yet, outermost
// first: what MakeParentFolders would make.
std::vector<std::string> MissingFolderLevels(const std::string& path);
// Removes those of `levels` that are empty, innermost first: takes back what
// was made for work that then did not happen.
void RemoveEmptyFolderLevels(const std::vector<std::string>& levels);

// Deletes the files of `folder` that match `pattern` (empty: "*.*"), with
// kRemoveSubfolders the matching subfolders too, then removes the folder.
// Returns the folder removal's result; 0 for an empty folder text or when
// nothing matches.
int RemoveFolder(const std::string& folder, const std::string& pattern, std::uint32_t flags);

// Copies a file, replacing an existing target; non-zero on success.
int CopyOneFile(const std::string& source, const std::string& target);

// Folder scans. A scan is a small positive number. BeginFolderScan takes the
// caller's number (reusing that slot, ending a scan still open in it) or -1
// for a free one; it returns the scan, or 0 when nothing matches (the slot is
// then free again). Unknown scans are harmless: Next gives 0, Name "", Kind 0.
int BeginFolderScan(int scan, const std::string& folder, const std::string& pattern);
int NextFolderEntry(int scan);
std::string FolderEntryName(int scan);
int FolderEntryKind(int scan);  // 2 folder, 1 file, 0 unknown scan
// The entry is a junction or symbolic link (a reparse point): a folder
// that is really somewhere else, never to be entered or emptied.
bool FolderEntryIsLink(int scan);
void EndFolderScan(int scan);

}  // namespace brindorel
