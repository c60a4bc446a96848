#include "services/running_programs.h"

#include "services/text.h"

namespace brindorel {

namespace {

constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorAlreadyExists = 183;

}  // namespace

bool ProcessImageMatches(const std::string& imagePath, const std::string& progExe) {
  const std::size_t cut = progExe.find_last_of("\\/");
  const std::string wanted = cut == std::string::npos ? progExe : progExe.substr(cut + 1);
  if (wanted.empty()) return false;
  const std::size_t imageCut = imagePath.find_last_of("\\/");
  const std::string image = imageCut == std::string::npos ? imagePath : imagePath.substr(imageCut + 1);
  return EqualIgnoringAsciiCase(image, wanted);
}

bool ProcessCountsAsTarget(std::uint32_t processId, std::uint32_t ownProcessId, const std::string& imagePath,
                           const std::string& progExe) {
  return processId != ownProcessId && ProcessImageMatches(imagePath, progExe);
}

bool MutexCallMeansExisting(bool gotHandle, std::uint32_t lastError) {
  return gotHandle ? lastError == kErrorAlreadyExists : lastError == kErrorAccessDenied;
}

RunningCheckOutcome RunRunningCheck(RunningCheckSystem& system) {
  RunningCheckOutcome outcome;
  outcome.targetRunning = system.TargetIsRunning();
  if (!outcome.targetRunning) return outcome;
  // The warning asks the user to close the program and press OK: only an
  // ended program lets the wizard go on.
  do {
    if (!system.WarningAnsweredOk()) {
      outcome.cancelled = true;
      return outcome;
    }
  } while (system.TargetIsRunning());
  return outcome;
}

}  // namespace brindorel
