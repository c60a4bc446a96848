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

// Whether a process with executable `imagePath` (a full path or a bare file
// name, "\" or "/" separated) is the program `progExe`: the file names are
// compared ignoring the case of A-Z, and a folder part of ProgExe
// ("bin\tool.exe") is left out. An empty ProgExe matches nothing.
bool ProcessImageMatches(const std::string& imagePath, const std::string& progExe);

// Whether one entry of the process list counts as the program running; the
// installer's own process never does.
bool ProcessCountsAsTarget(std::uint32_t processId, std::uint32_t ownProcessId, const std::string& imagePath,
                           const std::string& progExe);

// What a CreateMutex call for an existing name tells: a handle with
// ERROR_ALREADY_EXISTS, or no handle because access was denied (another
// user's or a protected program's mutex) both mean the mutex exists.
bool MutexCallMeansExisting(bool gotHandle, std::uint32_t lastError);

// How the running check looks: by mutex when MutexString is set, else by the
// process list when ProgExe is set, else not at all.
enum class RunningProbe { Mutex, ProcessList, None };
RunningProbe ChooseRunningProbe(const std::string& mutexString, const std::string& progExe);

// The system's side of the running check.
class RunningCheckSystem {
 public:
  virtual ~RunningCheckSystem() = default;
  // Whether the program to install runs now.
  virtual bool TargetIsRunning() = 0;
  // Shows the warning; true for OK, false for Cancel or a closed box.
  virtual bool WarningAnsweredOk() = 0;
};

struct RunningCheckOutcome {
  bool targetRunning = false;  // the program ran at the first look
  bool cancelled = false;      // the user cancelled the warning
};

// Looks once; while the program runs, warns, and after OK looks again and
// warns again, until it has ended or the user cancels.
RunningCheckOutcome RunRunningCheck(RunningCheckSystem& system);

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

// True when a running process other than this one has ProgExe's file name.
bool IsProcessRunning(const std::string& progExe);
// The running check's single look: by MutexString, else by ProgExe.
bool ProgramToInstallRuns(const Settings& settings);
// True when a mutex of that name exists, also when it cannot be opened.
bool MutexExists(const std::string& name);

// Deletes the working folder's files and the folder. Files still in use are
// retried a few times and then left for the temporary-folder cleanup; the
// result is true only when the folder is gone.
bool DeleteWorkFolder(const std::string& workFolder);

// The check before the event loop: sets state.targetRunning; on the
// warning's Cancel deletes the working folder and sets QuitRequested
// (StartProgramAtExit is cleared). `owner` is the wizard window (an HWND).
void RunningCheck(InstallerState& state, const InterfaceTexts& texts, void* owner);

}  // namespace brindorel
