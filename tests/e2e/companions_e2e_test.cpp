// The real Install.exe with companion programs added to the example package:
// BeforeBR.exe ending the run, WhileBR.exe beside the wizard and how Cancel
// and Finish end it, AfterBR.exe after Finish only, and the running-program
// warning for the example's mutex. The companions are copies of the
// companion_trace helper, which leave a line in a trace folder that the
// installer's processes find through the inherited environment.
#include <windows.h>

#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "driver.h"
#include "e2e_support.h"
#include "ui/control_surface.h"

namespace brindorel::e2e {
namespace {

const char kExampleMutex[] = "AcmeDemoRunning";  // the example's MutexString

std::string Companion() { return OwnFolder() + "helpers\\companion_trace.exe"; }

std::string TraceFolder() { return OutFolder() + "companion-traces\\"; }

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The number of runs a companion has traced.
int Runs(const char* name) {
  std::string text = ReadWholeFile(TraceFolder() + name + ".trace");
  int lines = 0;
  for (std::size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += 2) ++lines;
  return lines;
}

bool WaitForRuns(const char* name, int runs, DWORD milliseconds) {
  for (DWORD waited = 0; waited < milliseconds; waited += 100) {
    if (Runs(name) >= runs) return true;
    Sleep(100);
  }
  return Runs(name) >= runs;
}

// Whether a process of that file name runs (Wine gives bare file names).
bool ProcessRuns(const char* name) {
  HANDLE list = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (list == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  bool found = false;
  for (BOOL more = Process32First(list, &entry); more; more = Process32Next(list, &entry)) {
    if (lstrcmpiA(entry.szExeFile, name) == 0) found = true;
  }
  CloseHandle(list);
  return found;
}

void Tell(const char* name, const char* how) {
  std::ofstream out(TraceFolder() + name + ".how", std::ios::binary | std::ios::trunc);
  out << how;
}

// Builds an Install.exe from the example with the named companions added.
std::string BuildWithCompanions(const std::vector<std::string>& companions, const std::string& name) {
  std::string extra;
  for (const std::string& companion : companions) extra += " --add \"" + companion + "=" + Companion() + "\"";
  std::string installer = BuildInstaller(SourcePath("examples/acme-demo"), name, extra);
  EXPECT_FALSE(installer.empty());
  return installer;
}

// Clicks a control once it is shown and enabled.
void ClickWhenReady(HWND wizard, int number) {
  ASSERT_TRUE(WaitClickable(wizard, number, 10000)) << "control " << number;
  Click(FindControl(wizard, number));
  WaitForIdle(wizard);
}

class CompanionRun : public ::testing::Test {
 protected:
  void SetUp() override {
    CreateDirectoryA(OutFolder().c_str(), nullptr);
    CreateDirectoryA(TraceFolder().c_str(), nullptr);
    for (const char* name : {"BeforeBR.exe", "WhileBR.exe", "AfterBR.exe", "StartBR.exe"}) {
      DeleteFileA((TraceFolder() + name + ".trace").c_str());
      DeleteFileA((TraceFolder() + name + ".how").c_str());
    }
    SetEnvironmentVariableA("BRINDOREL_TRACE_FOLDER", TraceFolder().c_str());
  }
  void TearDown() override {
    if (installer_.running()) installer_.Kill();
    KillProcesses("WhileBR.exe");
  }

  // Starts the installer and waits for its wizard.
  HWND StartWizard(const std::string& installer) {
    if (!installer_.Start("\"" + installer + "\"")) return nullptr;
    HWND wizard = WaitForWindow(installer_.id(), kWizardClass, 60000);
    if (wizard != nullptr) WaitForIdle(wizard);
    return wizard;
  }

  Process installer_;
};

TEST_F(CompanionRun, BeforeProgramEndingWithOneEndsTheRunBeforeAnyWindow) {
  const std::string installer = BuildWithCompanions({"BeforeBR.exe", "WhileBR.exe"}, "InstallBefore.exe");
  Tell("BeforeBR.exe", "1");
  Tell("WhileBR.exe", "sleep");
  ASSERT_TRUE(installer_.Start("\"" + installer + "\""));
  ASSERT_TRUE(installer_.Wait(60000));
  EXPECT_EQ(installer_.ExitCode(), 0u);
  EXPECT_EQ(Runs("BeforeBR.exe"), 1);
  EXPECT_EQ(Runs("WhileBR.exe"), 0);
  // The unpacked files stay.
  EXPECT_TRUE(Exists(WorkFolder() + "setup.ini"));

  // With exit code 2 the wizard comes as usual.
  Tell("BeforeBR.exe", "2");
  HWND wizard = StartWizard(installer);
  ASSERT_NE(wizard, nullptr);
  EXPECT_EQ(Runs("BeforeBR.exe"), 2);
  RequestClose(wizard);
  ASSERT_TRUE(installer_.Wait(60000));
}

TEST_F(CompanionRun, CancelWithStartMarkerEndsWhileProgramAndRemovesTheWorkFolder) {
  const std::string installer =
      BuildWithCompanions({"WhileBR.exe", "StartBR.exe", "AfterBR.exe"}, "InstallWhileMarker.exe");
  Tell("WhileBR.exe", "sleep");
  HWND wizard = StartWizard(installer);
  ASSERT_NE(wizard, nullptr);
  ASSERT_TRUE(WaitForRuns("WhileBR.exe", 1, 20000));
  EXPECT_TRUE(ProcessRuns("WhileBR.exe"));
  ClickWhenReady(wizard, CancelButton);
  ASSERT_TRUE(installer_.Wait(30000));
  EXPECT_FALSE(ProcessRuns("WhileBR.exe"));
  // WhileBR.exe had ended, so nothing of the working folder is left.
  EXPECT_FALSE(Exists(WorkFolder()));
  EXPECT_EQ(Runs("AfterBR.exe"), 0);
  EXPECT_EQ(Runs("StartBR.exe"), 0);
}

TEST_F(CompanionRun, FinishEndsWhileProgramAndRunsAfterProgram) {
  const std::string installer = BuildWithCompanions({"WhileBR.exe", "AfterBR.exe"}, "InstallFinish.exe");
  Tell("WhileBR.exe", "sleep");
  HWND wizard = StartWizard(installer);
  ASSERT_NE(wizard, nullptr);
  ASSERT_TRUE(WaitForRuns("WhileBR.exe", 1, 20000));
  // Forward to the last page, accepting the licence on the way.
  for (int step = 0; step < 8 && !WaitClickable(wizard, FinishButton, 500); ++step) {
    if (WaitClickable(wizard, AcceptOption, 200)) ClickWhenReady(wizard, AcceptOption);
    ClickWhenReady(wizard, NextButton);
  }
  ClickWhenReady(wizard, FinishButton);
  ASSERT_TRUE(installer_.Wait(60000));
  EXPECT_EQ(installer_.ExitCode(), 0u);
  EXPECT_EQ(Runs("AfterBR.exe"), 1);
  EXPECT_FALSE(ProcessRuns("WhileBR.exe"));
  EXPECT_FALSE(Exists(WorkFolder()));
}

TEST_F(CompanionRun, RunningWarningComesBackUntilTheProgramHasEnded) {
  const std::string installer = BuildWithCompanions({"WhileBR.exe"}, "InstallWarning.exe");
  Tell("WhileBR.exe", "sleep");
  HANDLE running = CreateMutexA(nullptr, FALSE, kExampleMutex);
  ASSERT_NE(running, nullptr);
  ASSERT_TRUE(installer_.Start("\"" + installer + "\""));
  HWND box = WaitForMessageBox(installer_.id(), 60000);
  ASSERT_NE(box, nullptr);
  EXPECT_NE(WindowText(box).find("Warning"), std::string::npos) << WindowText(box);
  EXPECT_EQ(Runs("WhileBR.exe"), 0);  // not before the check has passed
  AnswerMessageBox(box, IDOK);
  // Still running: the warning is shown again.
  for (int i = 0; i < 100 && IsWindow(box); ++i) Sleep(100);
  HWND again = WaitForMessageBox(installer_.id(), 20000);
  ASSERT_NE(again, nullptr);
  CloseHandle(running);
  AnswerMessageBox(again, IDOK);
  ASSERT_TRUE(WaitForRuns("WhileBR.exe", 1, 20000));
  HWND wizard = WaitForWindow(installer_.id(), kWizardClass, 10000);
  ASSERT_NE(wizard, nullptr);
  ClickWhenReady(wizard, CancelButton);
  ASSERT_TRUE(installer_.Wait(30000));
}

TEST_F(CompanionRun, RunningWarningCancelEndsTheRunWithoutCompanions) {
  const std::string installer = BuildWithCompanions({"WhileBR.exe", "AfterBR.exe"}, "InstallWarningCancel.exe");
  Tell("WhileBR.exe", "sleep");
  HANDLE running = CreateMutexA(nullptr, FALSE, kExampleMutex);
  ASSERT_NE(running, nullptr);
  ASSERT_TRUE(installer_.Start("\"" + installer + "\""));
  HWND box = WaitForMessageBox(installer_.id(), 60000);
  ASSERT_NE(box, nullptr);
  AnswerMessageBox(box, IDCANCEL);
  ASSERT_TRUE(installer_.Wait(30000));
  CloseHandle(running);
  EXPECT_EQ(installer_.ExitCode(), 0u);
  EXPECT_FALSE(Exists(WorkFolder()));
  EXPECT_EQ(Runs("WhileBR.exe"), 0);
  EXPECT_EQ(Runs("AfterBR.exe"), 0);
}

}  // namespace
}  // namespace brindorel::e2e
