#include "core/companions.h"

#include "services/text.h"

namespace brindorel {

const char* const kBeforeProgramName = "BeforeBR.exe";
const char* const kWhileProgramName = "WhileBR.exe";
const char* const kAfterProgramName = "AfterBR.exe";
const char* const kStartMarkerName = "StartBR.exe";

namespace {

constexpr std::uint32_t kFileEntry = 1;
constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorAlreadyExists = 183;

struct CompanionName {
  const char* const* name;
  std::uint32_t bit;
};

const CompanionName kCompanions[] = {
    {&kBeforeProgramName, CarriesBefore},
    {&kWhileProgramName, CarriesWhile},
    {&kAfterProgramName, CarriesAfter},
    {&kStartMarkerName, CarriesStartMarker},
};

}  // namespace

std::uint32_t CarriedCompanions(const EntryList& entries, FileSizeLookup lookup, void* context) {
  std::uint32_t carried = 0;
  for (const PackageEntry& entry : entries) {
    // Only files at the root: "sub\WhileBR.exe" is not a companion.
    if (entry.type != kFileEntry || entry.name.find_first_of("\\/") != std::string::npos) continue;
    for (const CompanionName& companion : kCompanions) {
      if (!EqualIgnoringAsciiCase(entry.name, *companion.name)) continue;
      if (lookup != nullptr && lookup(*companion.name, context) != std::int64_t(entry.size)) continue;
      carried |= companion.bit;
    }
  }
  return carried;
}

bool BeforeProgramStopsInstallation(bool started, std::uint32_t exitCode) { return started && exitCode == 1; }

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

RunningProbe ChooseRunningProbe(const std::string& mutexString, const std::string& progExe) {
  if (!mutexString.empty()) return RunningProbe::Mutex;
  if (!progExe.empty()) return RunningProbe::ProcessList;
  return RunningProbe::None;
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
