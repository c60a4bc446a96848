#include "core/companions.h"
#include "services/running_programs.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace brindorel {
namespace {

PackageEntry File(const std::string& name, std::uint32_t size = 10) {
  PackageEntry entry;
  entry.name = name;
  entry.type = 1;
  entry.size = size;
  return entry;
}

PackageEntry Folder(const std::string& name) {
  PackageEntry entry;
  entry.name = name;
  entry.type = 0;
  return entry;
}

TEST(CarriedCompanionsTest, OnlyRootFilesOfTheFixedNamesCount) {
  EXPECT_EQ(CarriedCompanions({}), 0u);
  EXPECT_EQ(CarriedCompanions({File("setup.ini"), File("BeforeBR.exe"), File("AfterBR.exe")}),
            std::uint32_t(CarriesBefore | CarriesAfter));
  // The file system ignores the case of the names.
  EXPECT_EQ(CarriedCompanions({File("whilebr.EXE"), File("STARTBR.exe")}),
            std::uint32_t(CarriesWhile | CarriesStartMarker));
  // A folder of that name, a file in a subfolder and near misses are no companions.
  EXPECT_EQ(CarriedCompanions({Folder("WhileBR.exe"), File("sub\\BeforeBR.exe"), File("sub/AfterBR.exe"),
                               File("BeforeBR.exe.txt"), File("xBeforeBR.exe"), File("StartBR")}),
            0u);
}

struct SizeTable {
  std::map<std::string, std::int64_t> sizes;
};

std::int64_t LookUp(const std::string& name, void* context) {
  auto* table = static_cast<SizeTable*>(context);
  auto found = table->sizes.find(name);
  return found == table->sizes.end() ? -1 : found->second;
}

TEST(CarriedCompanionsTest, AFileThatExtractionCouldNotReplaceDoesNotCount) {
  // WhileBR.exe of an earlier run still runs and is locked: the new one
  // (20 bytes) was not written and the old one (7 bytes) stayed.
  SizeTable table;
  table.sizes["BeforeBR.exe"] = 10;
  table.sizes["WhileBR.exe"] = 7;
  EntryList entries{File("BeforeBR.exe", 10), File("WhileBR.exe", 20), File("AfterBR.exe", 5)};
  EXPECT_EQ(CarriedCompanions(entries, LookUp, &table), std::uint32_t(CarriesBefore));
  // An empty companion of an entry of size 0 is the entry's own file.
  table.sizes["StartBR.exe"] = 0;
  EXPECT_EQ(CarriedCompanions({File("StartBR.exe", 0)}, LookUp, &table), std::uint32_t(CarriesStartMarker));
}

TEST(BeforeProgramTest, OnlyAStartedProgramEndingWithOneStops) {
  EXPECT_TRUE(BeforeProgramStopsInstallation(true, 1));
  EXPECT_FALSE(BeforeProgramStopsInstallation(true, 0));
  EXPECT_FALSE(BeforeProgramStopsInstallation(true, 2));
  EXPECT_FALSE(BeforeProgramStopsInstallation(true, 0xFFFFFFFFu));
  EXPECT_FALSE(BeforeProgramStopsInstallation(true, 257));  // only the whole code counts
  // A failed start reads exit code 0 or garbage; it never counts as 1.
  EXPECT_FALSE(BeforeProgramStopsInstallation(false, 1));
}

struct ImageCase {
  const char* image;
  const char* progExe;
  bool matches;
};

class ProcessImageTest : public ::testing::TestWithParam<ImageCase> {};

TEST_P(ProcessImageTest, ComparesFileNames) {
  const ImageCase& c = GetParam();
  EXPECT_EQ(ProcessImageMatches(c.image, c.progExe), c.matches) << c.image << " / " << c.progExe;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ProcessImageTest,
    ::testing::Values(ImageCase{"acme.exe", "acme.exe", true}, ImageCase{"ACME.EXE", "acme.exe", true},
                      ImageCase{"C:\\Program Files\\Acme\\ACME.EXE", "acme.exe", true},
                      ImageCase{"/usr/bin/acme.exe", "acme.exe", true},
                      // A program in a subfolder of the installation folder.
                      ImageCase{"tool.exe", "bin\\tool.exe", true},
                      ImageCase{"C:\\Acme\\bin\\TOOL.exe", "bin\\tool.exe", true},
                      ImageCase{"tool.exe", "bin/tool.exe", true},
                      // Near misses.
                      ImageCase{"acme.exe.bak", "acme.exe", false}, ImageCase{"xacme.exe", "acme.exe", false},
                      ImageCase{"acme", "acme.exe", false}, ImageCase{"C:\\acme.exe\\other.exe", "acme.exe", false},
                      // Nothing matches an empty name or one that ends in a separator.
                      ImageCase{"", "", false}, ImageCase{"acme.exe", "", false},
                      ImageCase{"acme.exe", "bin\\", false}, ImageCase{"", "acme.exe", false},
                      // Only A-Z fold: bytes above 127 compare exactly.
                      ImageCase{"\xC4" "cme.exe", "\xE4" "cme.exe", false},
                      ImageCase{"\xC4" "CME.EXE", "\xC4" "cme.exe", true}));

TEST(ProcessCountsAsTargetTest, TheInstallersOwnProcessNeverCounts) {
  EXPECT_TRUE(ProcessCountsAsTarget(100, 200, "Install.exe", "install.exe"));
  EXPECT_FALSE(ProcessCountsAsTarget(200, 200, "Install.exe", "install.exe"));
  EXPECT_FALSE(ProcessCountsAsTarget(100, 200, "other.exe", "install.exe"));
}

TEST(MutexCallTest, ExistingAndInaccessibleMutexesBothExist) {
  EXPECT_TRUE(MutexCallMeansExisting(true, 183));   // opened an existing one
  EXPECT_FALSE(MutexCallMeansExisting(true, 0));    // created it ourselves
  EXPECT_TRUE(MutexCallMeansExisting(false, 5));    // exists, access denied
  EXPECT_FALSE(MutexCallMeansExisting(false, 6));   // another object type holds the name
  EXPECT_FALSE(MutexCallMeansExisting(false, 123)); // invalid name
  EXPECT_FALSE(MutexCallMeansExisting(true, 5));    // a handle means we got in
}

TEST(RunningProbeTest, MutexFirstThenProcessList) {
  EXPECT_EQ(ChooseRunningProbe("Acme.Mutex", "acme.exe"), RunningProbe::Mutex);
  EXPECT_EQ(ChooseRunningProbe("Acme.Mutex", ""), RunningProbe::Mutex);
  EXPECT_EQ(ChooseRunningProbe("", "acme.exe"), RunningProbe::ProcessList);
  EXPECT_EQ(ChooseRunningProbe("", ""), RunningProbe::None);
}

// A scripted system: the program runs at the first `runningLooks` looks,
// and the user gives the answers in turn (true: OK).
class ScriptedCheck : public RunningCheckSystem {
 public:
  ScriptedCheck(int runningLooks, std::vector<bool> answers)
      : runningLooks_(runningLooks), answers_(std::move(answers)) {}

  bool TargetIsRunning() override {
    log += 'L';
    return looks_++ < runningLooks_;
  }
  bool WarningAnsweredOk() override {
    log += 'W';
    if (warnings_ >= answers_.size()) {
      ADD_FAILURE() << "warning shown more often than scripted";
      return false;
    }
    return answers_[warnings_++];
  }

  std::string log;

 private:
  int runningLooks_;
  std::vector<bool> answers_;
  int looks_ = 0;
  std::size_t warnings_ = 0;
};

struct CheckCase {
  const char* name;
  int runningLooks;
  std::vector<bool> answers;
  const char* log;  // L: a look, W: a warning
  bool targetRunning;
  bool cancelled;
};

class RunningCheckTest : public ::testing::TestWithParam<CheckCase> {};

TEST_P(RunningCheckTest, WarnsUntilTheProgramHasEndedOrTheUserCancels) {
  const CheckCase& c = GetParam();
  ScriptedCheck system(c.runningLooks, c.answers);
  RunningCheckOutcome outcome = RunRunningCheck(system);
  EXPECT_EQ(system.log, c.log);
  EXPECT_EQ(outcome.targetRunning, c.targetRunning);
  EXPECT_EQ(outcome.cancelled, c.cancelled);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RunningCheckTest,
    ::testing::Values(CheckCase{"NotRunning", 0, {}, "L", false, false},
                      CheckCase{"ClosedThenOk", 1, {true}, "LWL", true, false},
                      CheckCase{"OkWhileStillRunningWarnsAgain", 3, {true, true, true}, "LWLWLWL", true, false},
                      CheckCase{"CancelAtOnce", 5, {false}, "LW", true, true},
                      CheckCase{"CancelAfterAnOkThatDidNotHelp", 5, {true, false}, "LWLW", true, true}),
    [](const ::testing::TestParamInfo<CheckCase>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace brindorel
