// Companion programs of a package and the running-program check.
//
// A package may carry "BeforeBR.exe" (waited for before the wizard; exit code
// 1 ends the installer), "WhileBR.exe" (runs beside the wizard), "AfterBR.exe"
// (waited for after Finish) and the marker "StartBR.exe" (lets Cancel end
// WhileBR.exe). A companion counts only when the package of this run carried
// it: a file left in the working folder by an earlier run (a WhileBR.exe that
// still runs is locked and survives the emptying) is never started.
//
// The first half is portable decisions; the second half is the Windows edge
// (companions_win.cpp).
#pragma once

#include <cstdint>
#include <string>

#include "core/installer_state.h"
#include "package/package_format.h"
#include "services/running_programs.h"
#include "ui/interface_texts.h"

namespace brindorel {

// Bits of InstallerState::carriedCompanions.
enum CompanionBits : std::uint32_t {
  CarriesBefore = 1,
  CarriesWhile = 2,
  CarriesAfter = 4,
  CarriesStartMarker = 8,
};

extern const char* const kBeforeProgramName;  // "BeforeBR.exe"
extern const char* const kWhileProgramName;   // "WhileBR.exe"
extern const char* const kAfterProgramName;   // "AfterBR.exe"
extern const char* const kStartMarkerName;    // "StartBR.exe"

// The file-system size of a file in the working folder, -1 when missing.
using FileSizeLookup = std::int64_t (*)(const std::string& fileName, void* context);

// The companions among `entries` (file entries at the package's root, names
// compared as the file system does, ignoring the case of A-Z). With a size
// lookup, an entry counts only when the file of that name now has the
// entry's size, so a locked earlier copy that extraction could not replace
// does not count either.
std::uint32_t CarriedCompanions(const EntryList& entries, FileSizeLookup lookup = nullptr,
                                void* context = nullptr);

// BeforeBR.exe stops the installation only when it was started and ended
// with exit code 1.
bool BeforeProgramStopsInstallation(bool started, std::uint32_t exitCode);

// How the running check looks: by mutex when MutexString is set, else by the
// process list when ProgExe is set, else not at all.
enum class RunningProbe { Mutex, ProcessList, None };
RunningProbe ChooseRunningProbe(const std::string& mutexString, const std::string& progExe);

// --- Windows edge (companions_win.cpp) ---

// BeforeBR.exe, waited for; true when the installer must end at once.
bool RunBeforeProgram(const InstallerState& state);
// Starts WhileBR.exe beside the wizard and keeps it in state.whileProgram.
void StartWhileProgram(InstallerState& state);
// Cancel and the close request: ends WhileBR.exe when StartBR.exe came with
// the package and WhileBR.exe still runs, then waits a few seconds at most
// for it to have ended.
void StopWhileProgramOnCancel(InstallerState& state);
// Finish: ends and releases WhileBR.exe when it still runs, then waits a few
// seconds at most for it to have ended.
void StopWhileProgramOnFinish(InstallerState& state);
// AfterBR.exe, waited for; only found after Finish (Cancel deleted it).
void RunAfterProgram(const InstallerState& state);

// The running check's single look: by MutexString, else by ProgExe.
bool ProgramToInstallRuns(const Settings& settings);

// Deletes the working folder's files and the folder. Files still in use are
// retried a few times and then left for the temporary-folder cleanup; the
// result is true only when the folder is gone.
bool DeleteWorkFolder(const std::string& workFolder);

// The check before the event loop: sets state.targetRunning; on the
// warning's Cancel deletes the working folder and sets QuitRequested
// (StartProgramAtExit is cleared). `owner` is the wizard window (an HWND).
void RunningCheck(InstallerState& state, const InterfaceTexts& texts, void* owner);

}  // namespace brindorel
