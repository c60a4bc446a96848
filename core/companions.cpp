#include "core/companions.h"

#include "services/text.h"

namespace brindorel {

const char* const kBeforeProgramName = "BeforeBR.exe";
const char* const kWhileProgramName = "WhileBR.exe";
const char* const kAfterProgramName = "AfterBR.exe";
const char* const kStartMarkerName = "StartBR.exe";

namespace {

constexpr std::uint32_t kFileEntry = 1;

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

RunningProbe ChooseRunningProbe(const std::string& mutexString, const std::string& progExe) {
  if (!mutexString.empty()) return RunningProbe::Mutex;
  if (!progExe.empty()) return RunningProbe::ProcessList;
  return RunningProbe::None;
}


}  // namespace brindorel
