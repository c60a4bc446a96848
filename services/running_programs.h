// Whether a program runs: by its named mutex, or by the file name of its
// process image. The installer asks before it installs, the uninstaller
// before it removes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brindorel {

// Whether a process with executable `imagePath` (a full path or a bare file
// name, "\" or "/" separated) is the program `progExe`: the file names are
// compared ignoring the case of A-Z, and a folder part of ProgExe
// ("bin\tool.exe") is left out. An empty ProgExe matches nothing.
bool ProcessImageMatches(const std::string& imagePath, const std::string& progExe);

// Whether one entry of the process list counts as the program running; the
// asking process itself never does.
bool ProcessCountsAsTarget(std::uint32_t processId, std::uint32_t ownProcessId, const std::string& imagePath,
                           const std::string& progExe);

// What a CreateMutex call for an existing name tells: a handle with
// ERROR_ALREADY_EXISTS, or no handle because access was denied (another
// user's or a protected program's mutex) both mean the mutex exists.
bool MutexCallMeansExisting(bool gotHandle, std::uint32_t lastError);

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

// ---- Windows only (running_programs_win.cpp) ----

// Whether a mutex of that name exists.
bool MutexExists(const std::string& name);

// The ids of the processes (other than this one) whose image file name is
// ProgExe's, from one walk of the process list.
std::vector<std::uint32_t> ProcessesOf(const std::string& progExe);

// The full image path of a process; false when it cannot be read (another
// user's process, for instance).
bool ProcessImagePath(std::uint32_t processId, std::string& path);

}  // namespace brindorel
