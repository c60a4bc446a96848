// For whom an installation is made. A package says in "setup.ini"
// [Settings] InstallScope whether it installs for the machine ("machine", the
// default), for the current user ("user") or lets the user choose
// ("choose": two options on the settings page, /ALLUSERS and /CURRENTUSER in
// an unattended run). A machine installation needs administrator rights; a
// per-user one never asks for them: it goes below the user's local
// application data, registers itself and keeps its choices under
// HKEY_CURRENT_USER, puts its links into the user's own folders, and skips
// every task that would write elsewhere.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "services/folders.h"

namespace brindorel {

// What a package offers.
enum class PackageScope { Machine, User, Choose };
// What one installation is.
enum class InstallScope { Machine, User };
// What the command line asks for.
enum class ScopeRequest { None, AllUsers, CurrentUser };

// The key's value: "machine", "user" or "choose", A-Z case ignored and
// spaces around it dropped; anything else (the empty text too) is "machine".
PackageScope ParsePackageScope(const std::string& value);
// The value names, as the key takes them.
const char* PackageScopeName(PackageScope scope);

// The scope of a run: what the request asks for, when the package offers
// it; without a request the package's own, and for a package that lets the
// user choose, the machine. False when the request asks for a scope the
// package does not offer (a bad argument).
bool SettleScope(PackageScope offered, ScopeRequest request, InstallScope& scope);
// Whether the settings page lets the user change it: only for a package
// that offers both, and only when no switch has decided it.
bool ScopeIsOpen(PackageScope offered, ScopeRequest request);

// The part of the per-user default folder below "Programs\": DefaultDir's
// text after its "%ProgramFiles%" placeholder, else its last folder; levels
// that are empty, "." or "..", or hold a placeholder or a drive, are dropped;
// `fallback` when nothing is left.
std::string UserProgramsPart(const std::string& defaultDir, const std::string& fallback);
// The local application-data folder + "Programs\" + that part, ending in
// "\"; "" when the local application-data folder is unknown.
std::string UserDefaultInstallDir(const std::string& defaultDir, const std::string& localAppData,
                                  const std::string& fallback);

// The folders of the machine (Program Files in both views, Common Files,
// the Windows and system folders, the common application data, start menu,
// desktop and documents), normalised; a per-user installation writes
// nothing into or below them.
std::vector<std::string> LookUpMachineFolders(const FolderLookup& lookup);
bool IsInMachineFolder(const std::string& path, const std::vector<std::string>& machineFolders);

// The folders a per-user installation may write into besides its own: the
// user's profile, roaming and local application data, documents, desktop,
// programs and startup folders (normalised; unknown ones left out).
std::vector<std::string> LookUpUserFolders(const FolderLookup& lookup);
// Whether a file path lies inside one of `userFolders` (or is one of them)
// and inside none of `machineFolders`.
bool IsInUsersReach(const std::string& path, const std::vector<std::string>& userFolders,
                    const std::vector<std::string>& machineFolders);

// The uninstall record's [Settings] Scope value and its reading (anything
// but "user" is the machine, as every older record is).
const char* ScopeRecordText(InstallScope scope);
InstallScope ScopeFromRecordText(const std::string& text);

}  // namespace brindorel
