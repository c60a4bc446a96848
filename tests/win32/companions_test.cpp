// The companion programs and the running check against real processes and
// mutexes (the warning box itself is answered in the end-to-end runs). The companions are copies of the
// companion_trace helper, which leaves a line with its command line and
// working folder in a trace folder and then exits or sleeps as told.
#include "core/companions.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "services/file_system.h"
#include "services/process_runner.h"

namespace brindorel {
namespace {

std::string TestFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path);
  folder.resize(folder.find_last_of('\\') + 1);
  return folder;
}

std::string Helper(const char* name) { return TestFolder() + "helpers\\" + name + ".exe"; }

std::string TempFolder(const char* name) {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  return std::string(temp) + name + " " + std::to_string(GetCurrentProcessId()) + "\\";
}

std::string ReadWholeFile(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::string();
  std::string text;
  char buffer[512];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
  CloseHandle(file);
  return text;
}

void WriteWholeFile(const std::string& path, const std::string& text) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

// True when the process has ended (or cannot be looked at any more).
bool ProcessEnded(DWORD id) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
  if (process == nullptr) return true;
  bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
  CloseHandle(process);
  return ended;
}

class CompanionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    traces_ = TempFolder("Brindorel traces");
    RemoveFolder(traces_, "*.*", 0);
    MakeFolderPath(traces_);
    SetEnvironmentVariableA("BRINDOREL_TRACE_FOLDER", traces_.c_str());
    state_.workFolder = TempFolder("Brindorel companions");
    RemoveFolder(state_.workFolder, "*.*", kRemoveSubfolders);
    MakeFolderPath(state_.workFolder);
    texts_ = DefaultInterfaceTexts("Acme Tool", "2.1");
  }

  void TearDown() override {
    if (state_.whileProgram != 0) {
      TerminateProgram(state_.whileProgram);
      ReleaseProgram(state_.whileProgram);
    }
    for (ProgramHandle p : started_) {
      TerminateProgram(p);
      ReleaseProgram(p);
    }
    Sleep(100);
    RemoveFolder(state_.workFolder, "*.*", kRemoveSubfolders);
    RemoveFolder(traces_, "*.*", 0);
  }

  // Puts a companion into the working folder, marked as carried by the
  // package, doing `how` ("sleep", or an exit code).
  void AddCompanion(const char* name, std::uint32_t bit, const std::string& how = "0") {
    ASSERT_TRUE(CopyFileA(Helper("companion_trace").c_str(), (state_.workFolder + name).c_str(), FALSE));
    WriteWholeFile(traces_ + name + ".how", how);
    state_.carriedCompanions |= bit;
  }

  // The trace lines of one companion: "<command line>|<folder>".
  std::vector<std::string> Trace(const char* name) const {
    std::string text = ReadWholeFile(traces_ + name + ".trace");
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
      lines.push_back(text.substr(start, end - start));
    }
    return lines;
  }

  // Waits until a companion running beside us has left its line.
  bool WaitForTrace(const char* name) const {
    for (int i = 0; i < 200; ++i) {
      if (!Trace(name).empty()) return true;
      Sleep(50);
    }
    return false;
  }

  // The line a companion started without parameters in the working folder leaves.
  std::string ExpectedLine(const char* name) const {
    std::string folder = state_.workFolder.substr(0, state_.workFolder.size() - 1);
    return "\"" + state_.workFolder + name + "\"|" + folder;
  }

  InstallerState state_;
  InterfaceTexts texts_;
  std::string traces_;
  std::vector<ProgramHandle> started_;
};

TEST_F(CompanionsTest, BeforeProgramEndsTheInstallerOnlyWithExitCodeOne) {
  // Absent: nothing runs.
  EXPECT_FALSE(RunBeforeProgram(state_));
  for (const char* how : {"0", "2", "1"}) {
    SCOPED_TRACE(how);
    AddCompanion("BeforeBR.exe", CarriesBefore, how);
    EXPECT_EQ(RunBeforeProgram(state_), std::string(how) == "1");
  }
  // Waited for: every run has left its line when RunBeforeProgram returns,
  // started without parameters in the working folder.
  std::vector<std::string> trace = Trace("BeforeBR.exe");
  ASSERT_EQ(trace.size(), 3u);
  for (const std::string& line : trace) EXPECT_EQ(line, ExpectedLine("BeforeBR.exe"));
}

TEST_F(CompanionsTest, AFileThePackageDidNotCarryNeverRuns) {
  AddCompanion("BeforeBR.exe", CarriesBefore, "1");
  AddCompanion("WhileBR.exe", CarriesWhile, "sleep");
  AddCompanion("AfterBR.exe", CarriesAfter);
  state_.carriedCompanions = 0;  // left over from an earlier run
  EXPECT_FALSE(RunBeforeProgram(state_));
  StartWhileProgram(state_);
  EXPECT_EQ(state_.whileProgram, 0u);
  RunAfterProgram(state_);
  EXPECT_TRUE(Trace("BeforeBR.exe").empty());
  EXPECT_TRUE(Trace("WhileBR.exe").empty());
  EXPECT_TRUE(Trace("AfterBR.exe").empty());
}

TEST_F(CompanionsTest, CancelEndsWhileProgramOnlyWithTheStartMarker) {
  AddCompanion("WhileBR.exe", CarriesWhile, "sleep");
  StartWhileProgram(state_);
  ASSERT_GT(state_.whileProgram, 1u);
  const ProgramHandle program = state_.whileProgram;
  ASSERT_TRUE(WaitForTrace("WhileBR.exe"));

  // Without StartBR.exe it goes on running after Cancel.
  StopWhileProgramOnCancel(state_);
  EXPECT_EQ(IsStillRunning(program), 1);

  // With it, Cancel ends it, and it has ended when the call returns, so the
  // working folder can go at once. The handle stays with the state.
  AddCompanion("StartBR.exe", CarriesStartMarker);
  StopWhileProgramOnCancel(state_);
  EXPECT_EQ(IsStillRunning(program), 0);
  EXPECT_EQ(QueryExitCode(program), 0xFFFFFFFFu);
  EXPECT_EQ(state_.whileProgram, program);
  EXPECT_TRUE(DeleteWorkFolder(state_.workFolder));
  EXPECT_FALSE(PathExists(state_.workFolder));
  // It was started once, beside us, without parameters in the working folder.
  std::vector<std::string> trace = Trace("WhileBR.exe");
  ASSERT_EQ(trace.size(), 1u);
  EXPECT_EQ(trace[0], ExpectedLine("WhileBR.exe"));
  // StartBR.exe is a marker and never started.
  EXPECT_TRUE(Trace("StartBR.exe").empty());
}

TEST_F(CompanionsTest, FinishEndsAndReleasesWhileProgramWithoutAnyMarker) {
  AddCompanion("WhileBR.exe", CarriesWhile, "sleep");
  StartWhileProgram(state_);
  ASSERT_GT(state_.whileProgram, 1u);
  const ProgramHandle program = state_.whileProgram;
  const DWORD id = static_cast<DWORD>(ProgramProcessId(program));
  ASSERT_TRUE(WaitForTrace("WhileBR.exe"));
  StopWhileProgramOnFinish(state_);
  EXPECT_EQ(state_.whileProgram, 0u);
  EXPECT_EQ(IsKnownProgram(program), 0u);
  EXPECT_TRUE(ProcessEnded(id));
  // A second Finish, or one without WhileBR.exe, does nothing.
  StopWhileProgramOnFinish(state_);
  StopWhileProgramOnCancel(state_);
  EXPECT_TRUE(DeleteWorkFolder(state_.workFolder));
}

TEST_F(CompanionsTest, AfterProgramRunsWaitedForAndNotOnceTheFolderIsGone) {
  AddCompanion("AfterBR.exe", CarriesAfter, "1");
  RunAfterProgram(state_);
  std::vector<std::string> trace = Trace("AfterBR.exe");
  ASSERT_EQ(trace.size(), 1u);
  EXPECT_EQ(trace[0], ExpectedLine("AfterBR.exe"));
  // After Cancel the working folder is deleted: AfterBR.exe is not found.
  ASSERT_TRUE(DeleteWorkFolder(state_.workFolder));
  RunAfterProgram(state_);
  EXPECT_EQ(Trace("AfterBR.exe").size(), 1u);
}

TEST_F(CompanionsTest, DeletingTheWorkFolderLeavesFilesInUseAndSaysSo) {
  WriteWholeFile(state_.workFolder + "setup.ini", "[Info]\r\n");
  WriteWholeFile(state_.workFolder + "held.dat", "x");
  HANDLE held = CreateFileA((state_.workFolder + "held.dat").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(DeleteWorkFolder(state_.workFolder));
  EXPECT_TRUE(PathExists(state_.workFolder + "held.dat"));
  EXPECT_FALSE(PathExists(state_.workFolder + "setup.ini"));
  CloseHandle(held);
  EXPECT_TRUE(DeleteWorkFolder(state_.workFolder));
  EXPECT_FALSE(PathExists(state_.workFolder));
  EXPECT_FALSE(DeleteWorkFolder(""));
}

TEST_F(CompanionsTest, ProcessCheckFindsAProgramInASubfolderButNeverItself) {
  const std::string bin = state_.workFolder + "bin\\";
  MakeFolderPath(bin);
  ASSERT_TRUE(CopyFileA(Helper("sleep_long").c_str(), (bin + "AcmeTool.exe").c_str(), FALSE));
  EXPECT_FALSE(!ProcessesOf("bin\\AcmeTool.exe").empty());
  ProgramHandle program = StartProgram(bin + "AcmeTool.exe", "", bin, StartKeep);
  ASSERT_GT(program, 1u);
  started_.push_back(program);
  EXPECT_TRUE(!ProcessesOf("bin\\AcmeTool.exe").empty());
  EXPECT_TRUE(!ProcessesOf("ACMETOOL.EXE").empty());
  EXPECT_FALSE(!ProcessesOf("AcmeTool").empty());
  EXPECT_FALSE(!ProcessesOf("").empty());
  TerminateProgram(program);
  for (int i = 0; i < 100 && IsStillRunning(program) != 0; ++i) Sleep(50);
  EXPECT_FALSE(!ProcessesOf("bin\\AcmeTool.exe").empty());

  // This test program is running, but a program never finds itself.
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  EXPECT_FALSE(!ProcessesOf(self).empty());
}

TEST_F(CompanionsTest, MutexExistsOnlyWhileSomeoneHoldsItAndTheTestLeavesItFree) {
  const std::string name = "Brindorel companions test " + std::to_string(GetCurrentProcessId());
  EXPECT_FALSE(MutexExists(name));
  // The test held no handle: a program can still claim the name afterwards.
  ProgramHandle claim = StartProgram(Helper("claim_name"), "\"" + name + "\"", "", StartWait | StartKeep);
  EXPECT_EQ(QueryExitCode(claim), 0u);
  ReleaseProgram(claim);

  HANDLE held = CreateMutexA(nullptr, FALSE, name.c_str());
  ASSERT_NE(held, nullptr);
  EXPECT_TRUE(MutexExists(name));
  EXPECT_TRUE(MutexExists(name));
  CloseHandle(held);
  EXPECT_FALSE(MutexExists(name));
}

TEST_F(CompanionsTest, AMutexThatCannotBeOpenedCountsAsExisting) {
  const std::string name = "Brindorel locked mutex " + std::to_string(GetCurrentProcessId());
  // An empty access list: nobody may open the mutex, not even its creator.
  SECURITY_DESCRIPTOR descriptor;
  ASSERT_TRUE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
  ACL acl;
  ASSERT_TRUE(InitializeAcl(&acl, sizeof acl, ACL_REVISION));
  ASSERT_TRUE(SetSecurityDescriptorDacl(&descriptor, TRUE, &acl, FALSE));
  SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, FALSE};
  HANDLE locked = CreateMutexA(&attributes, FALSE, name.c_str());
  ASSERT_NE(locked, nullptr);
  HANDLE probe = CreateMutexA(nullptr, FALSE, name.c_str());
  DWORD error = GetLastError();
  if (probe != nullptr) CloseHandle(probe);
  if (probe != nullptr || error != ERROR_ACCESS_DENIED) {
    CloseHandle(locked);
    GTEST_SKIP() << "this system lets the creator open a mutex with an empty access list";
  }
  EXPECT_TRUE(MutexExists(name));
  CloseHandle(locked);
  EXPECT_FALSE(MutexExists(name));
}

TEST_F(CompanionsTest, NoWarningWhenNothingRuns) {
  state_.settings.mutexString = "Brindorel nobody holds " + std::to_string(GetCurrentProcessId());
  state_.settings.progExe = TestFolder() + "companions_test.exe";  // ignored: the mutex decides
  RunningCheck(state_, texts_, nullptr);
  EXPECT_EQ(state_.targetRunning, 0);
  EXPECT_EQ(state_.quitRequested, 0u);
  state_.settings.mutexString.clear();
  state_.settings.progExe.clear();
  RunningCheck(state_, texts_, nullptr);
  EXPECT_EQ(state_.targetRunning, 0);
}

}  // namespace
}  // namespace brindorel
