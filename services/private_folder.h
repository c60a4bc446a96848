// Private working folders below a temporary folder that other accounts may
// be able to write into (the system account's, or a user's temporary folder
// seen by an elevated process): the classic hijack of self-extracting
// programs plants files or links under the name such a program is known to
// use, or swaps a program between its extraction and its start. Rules:
//   - the folder is always made new by this run (CreateDirectory must create
//     it; an existing one is never adopted);
//   - an existing entry of the plain name is removed first only when it is a
//     plain folder (no junction, no symbolic link) that this account owns;
//     anything else at that name (a file, a link, a folder of another owner,
//     one that cannot be emptied) is left alone and a name of the form
//     plain name + "-" + random characters is taken instead;
//   - no junction or symbolic link at or below the folder is ever followed:
//     removal deletes such a link itself, never what it points to;
//   - when the process is elevated, the folder's access is restricted at
//     creation to the system, the administrators and this account.
// The first half is the portable decisions, the second the Windows edge
// (private_folder_win.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace brindorel {

// What lies at a folder name, as the file system reports it.
struct FoundEntry {
  bool exists = false;
  bool isFolder = false;
  bool isLink = false;       // a reparse point by its attributes or its directory entry
  bool ownedByUs = false;    // the owner is this account (or its default owner)
};

// What a run does about the plain name.
enum class PlainNameStep {
  Create,            // nothing there: create it
  RemoveThenCreate,  // a plain folder of our own: empty and remove it, then create it new
  UseRandomName,     // anything else: never touched, a random name instead
};
PlainNameStep ChoosePlainNameStep(const FoundEntry& found);

// `base` + "-" + `count` characters from 0-9 a-z, taken from `random`
// (one byte each; `count` at most `size`).
constexpr std::size_t kRandomNameCharacters = 12;
std::string RandomFolderName(const std::string& base, const std::uint8_t* random, std::size_t size);
// Whether `name` is `base` + "-" + kRandomNameCharacters of 0-9 a-z.
bool IsRandomFolderName(const std::string& name, const std::string& base);

// The uninstaller's copy of itself runs from a folder of this name +
// random characters.
constexpr const char* kUninstallCopyFolderName = "BrindorelUninstall";

// ---- Windows only (private_folder_win.cpp) ----

// The temporary folder a private folder goes into: the system's private
// one for the system account where the system offers it (GetTempPath2),
// else the user's temporary folder; long form, ending in "\" ("" when none).
std::string PrivateTempParent();

// Creates a new private folder below `parent` (ending in "\"): `name` when
// `preferPlainName` allows and the rules above let it be used, else `name` +
// "-" + random characters. Returns the folder with a final "\", or "" when
// no new folder could be made. `restrictAccess`: the access list of the
// system, the administrators and this account only, not inherited.
std::string CreatePrivateFolder(const std::string& parent, const std::string& name, bool preferPlainName,
                                bool restrictAccess);

// What lies at `path`, links recognised both by the attributes and by the
// directory entry (some systems report a link through one of them only).
FoundEntry InspectEntry(const std::string& path);

// Removes a folder and everything below it without following a junction or
// symbolic link: a link is deleted itself, never entered. A folder that is
// itself a link is only unlinked. True when the folder is gone.
bool RemoveFolderTree(const std::string& folder);

// Random bytes from the system's generator (a mix of counters where it has
// none).
void FillRandom(std::uint8_t* bytes, std::size_t size);

}  // namespace brindorel
