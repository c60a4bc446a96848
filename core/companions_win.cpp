#include <windows.h>

#include <tlhelp32.h>

#include "core/companions.h"
#include "services/file_system.h"
#include "services/process_runner.h"
#include "services/running_programs.h"
#include "services/wide_win.h"

namespace brindorel {
namespace {

// After WhileBR.exe was asked to end: how long to wait for the process to
// be gone (its image file stays locked until then), polled in small steps.
constexpr DWORD kStopWaitMilliseconds = 5000;
constexpr DWORD kPollMilliseconds = 50;
// Deleting the working folder: files still held open (by a program that is
// ending, or a virus scanner) are tried again a few times.
constexpr int kDeleteAttempts = 8;
constexpr DWORD kDeletePauseMilliseconds = 125;

// The companion's path when this run's package carried it and it is still
// in the working folder (Cancel deletes it before AfterBR.exe would run).
bool CompanionPresent(const InstallerState& state, std::uint32_t bit, const char* name, std::string& path) {
  if (state.workFolder.empty() || (state.carriedCompanions & bit) == 0) return false;
  path = state.workFolder + name;
  return PathExists(path) != 0;
}

// Waits until the program has ended, a few seconds at most.
void WaitUntilEnded(ProgramHandle program) {
  for (DWORD waited = 0; waited < kStopWaitMilliseconds && IsStillRunning(program) != 0;
       waited += kPollMilliseconds) {
    Sleep(kPollMilliseconds);
  }
}


class WindowsRunningCheck : public RunningCheckSystem {
 public:
  WindowsRunningCheck(const InstallerState& state, const InterfaceTexts& texts, HWND owner)
      : state_(state), texts_(texts), owner_(owner) {}

  bool TargetIsRunning() override { return ProgramToInstallRuns(state_.settings); }

  bool WarningAnsweredOk() override {
    std::string text = RunningWarningText(texts_, state_.settings.titel);
    const std::string& title = texts_.Get(TextId::RequesterRQ4Titel);
    // OK and Cancel, warning icon, Cancel as the default button.
    return MessageBoxW(owner_, Wide(text).c_str(), Wide(title).c_str(), MB_OKCANCEL | MB_ICONWARNING | MB_DEFBUTTON2) ==
           IDOK;
  }

 private:
  const InstallerState& state_;
  const InterfaceTexts& texts_;
  HWND owner_;
};

}  // namespace

bool RunBeforeProgram(const InstallerState& state) {
  std::string path;
  if (!CompanionPresent(state, CarriesBefore, kBeforeProgramName, path)) return false;
  ProgramHandle program = StartProgram(path, "", state.workFolder, StartWait | StartKeep);
  bool stop = BeforeProgramStopsInstallation(program != 0, QueryExitCode(program));
  ReleaseProgram(program);
  return stop;
}

void StartWhileProgram(InstallerState& state) {
  state.whileProgram = 0;
  std::string path;
  if (!CompanionPresent(state, CarriesWhile, kWhileProgramName, path)) return;
  state.whileProgram = StartProgram(path, "", state.workFolder, StartKeep);
}

void StopWhileProgramOnCancel(InstallerState& state) {
  std::string marker;
  if (state.whileProgram == 0 || !CompanionPresent(state, CarriesStartMarker, kStartMarkerName, marker)) return;
  if (IsStillRunning(state.whileProgram) == 0) return;
  TerminateProgram(state.whileProgram);
  WaitUntilEnded(state.whileProgram);
}

void StopWhileProgramOnFinish(InstallerState& state) {
  if (IsKnownProgram(state.whileProgram) == 0 || IsStillRunning(state.whileProgram) == 0) return;
  TerminateProgram(state.whileProgram);
  WaitUntilEnded(state.whileProgram);
  ReleaseProgram(state.whileProgram);
  state.whileProgram = 0;
}

void RunAfterProgram(const InstallerState& state) {
  std::string path;
  if (!CompanionPresent(state, CarriesAfter, kAfterProgramName, path)) return;
  ReleaseProgram(StartProgram(path, "", state.workFolder, StartWait | StartKeep));
}

bool ProgramToInstallRuns(const Settings& settings) {
  switch (ChooseRunningProbe(settings.mutexString, settings.progExe)) {
    case RunningProbe::Mutex:
      return MutexExists(settings.mutexString);
    case RunningProbe::ProcessList:
      return !ProcessesOf(settings.progExe).empty();
    case RunningProbe::None:
      break;
  }
  return false;
}

bool DeleteWorkFolder(const std::string& workFolder) {
  if (workFolder.empty()) return false;
  for (int attempt = 0; attempt < kDeleteAttempts; ++attempt) {
    if (attempt > 0) Sleep(kDeletePauseMilliseconds);
    RemoveFolder(workFolder, "*.*", 0);
    if (PathExists(workFolder) == 0) return true;
  }
  return false;
}

void RunningCheck(InstallerState& state, const InterfaceTexts& texts, void* owner) {
  WindowsRunningCheck system(state, texts, static_cast<HWND>(owner));
  RunningCheckOutcome outcome = RunRunningCheck(system);
  state.targetRunning = outcome.targetRunning ? 1 : 0;
  if (!outcome.cancelled) return;
  if (!state.workFolder.empty()) DeleteWorkFolder(state.workFolder);
  state.quitRequested = 1;
  state.startProgramAtExit = 0;
}

}  // namespace brindorel
