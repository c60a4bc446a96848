#include "services/process_runner.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

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

// A temporary folder whose name holds a space, removed with its files.
class SpacedFolder {
 public:
  SpacedFolder() {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    path_ = std::string(temp) + "Brindorel runner " + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(path_.c_str(), nullptr);
  }
  ~SpacedFolder() {
    for (const std::string& file : files_) DeleteFileA(file.c_str());
    RemoveDirectoryA(path_.c_str());
  }
  SpacedFolder(const SpacedFolder&) = delete;
  SpacedFolder& operator=(const SpacedFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string Add(const std::string& name) {
    files_.push_back(path_ + name);
    return files_.back();
  }

 private:
  std::string path_;
  std::vector<std::string> files_;
};

// The report helper's two lines: its command line and its directory.
struct Report {
  std::string command_line;
  std::string directory;
};

Report RunReport(const std::string& path, const std::string& parameters, const std::string& directory) {
  ProgramHandle program = StartProgram(path, parameters, directory, StartWait | StartKeep | StartReadOutput);
  EXPECT_GT(program, 1u);
  std::string output = ReadProgramOutput(program);
  ReleaseProgram(program);
  Report report;
  std::string::size_type first = output.find('\n');
  if (first == std::string::npos) return report;
  report.command_line = output.substr(0, first);
  std::string::size_type second = output.find('\n', first + 1);
  report.directory = output.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
  return report;
}

TEST(ProcessRunnerTest, ExitCodesOfWaitedPrograms) {
  for (const char* code : {"0", "1", "4294967295"}) {
    SCOPED_TRACE(code);
    ProgramHandle program = StartProgram(Helper("exit_with_code"), code, "", StartWait | StartKeep);
    ASSERT_GT(program, 1u);
    EXPECT_EQ(program, IsKnownProgram(program));
    EXPECT_EQ(0, IsStillRunning(program));
    EXPECT_EQ(std::stoul(code), QueryExitCode(program));
    EXPECT_GT(ProgramProcessId(program), 0);
    ReleaseProgram(program);
    EXPECT_EQ(0u, IsKnownProgram(program));
  }
}

TEST(ProcessRunnerTest, WithoutKeepTheResultIsOne) {
  EXPECT_EQ(1u, StartProgram(Helper("exit_with_code"), "3", "", StartWait));
  EXPECT_EQ(0u, IsKnownProgram(1));
}

TEST(ProcessRunnerTest, MissingProgramStartsNothing) {
  EXPECT_EQ(0u, StartProgram(TestFolder() + "no such program.exe", "", "", StartKeep));
  EXPECT_EQ(0u, StartProgram(TestFolder() + "no such program.exe", "", "", StartKeep | StartReadOutput));
}

TEST(ProcessRunnerTest, TerminatedProgramEndsWithAllBitsSet) {
  ProgramHandle program = StartProgram(Helper("sleep_long"), "", "", StartKeep);
  ASSERT_GT(program, 1u);
  EXPECT_EQ(1, IsStillRunning(program));
  EXPECT_EQ(259u, QueryExitCode(program));
  EXPECT_EQ(1, TerminateProgram(program));
  for (int i = 0; i < 100 && IsStillRunning(program) != 0; ++i) Sleep(50);
  EXPECT_EQ(0, IsStillRunning(program));
  EXPECT_EQ(4294967295u, QueryExitCode(program));
  ReleaseProgram(program);
}

TEST(ProcessRunnerTest, CommandLineQuoting) {
  SpacedFolder folder;
  const std::string copy = folder.Add("report arguments.exe");
  ASSERT_TRUE(CopyFileA(Helper("report_arguments").c_str(), copy.c_str(), FALSE));

  EXPECT_EQ('"' + copy + "\" one \"two three\"", RunReport(copy, "one \"two three\"", "").command_line);
  // Empty parameters add nothing, not even the space.
  EXPECT_EQ('"' + copy + '"', RunReport(copy, "", "").command_line);
  // A path the caller quoted is taken as it is.
  EXPECT_EQ('"' + copy + "\" x", RunReport('"' + copy + '"', "x", "").command_line);
}

TEST(ProcessRunnerTest, WorkingDirectory) {
  SpacedFolder folder;
  std::string expected = folder.path();
  expected.pop_back();  // the directory is reported without its closing "\"
  EXPECT_EQ(expected, RunReport(Helper("report_arguments"), "", folder.path()).directory);

  char current[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, current);
  EXPECT_EQ(std::string(current), RunReport(Helper("report_arguments"), "", "").directory);
}

TEST(ProcessRunnerTest, UnreadOutputCountsAsRunning) {
  ProgramHandle program = StartProgram(Helper("report_arguments"), "", "", StartWait | StartKeep | StartReadOutput |
                                                                             StartReadError);
  ASSERT_GT(program, 1u);
  EXPECT_EQ(1, IsStillRunning(program));
  EXPECT_NE(std::string::npos, ReadProgramOutput(program).find("report_arguments"));
  EXPECT_EQ(0, IsStillRunning(program));
  EXPECT_EQ("", ReadProgramOutput(program, true));  // the writer has gone: no blocking
  ReleaseProgram(program);
}

TEST(ProcessRunnerTest, ChainedProgramReadsTheEarlierOutput) {
  ProgramHandle first = StartProgram(Helper("report_arguments"), "chained", "", StartWait | StartKeep |
                                                                                StartReadOutput);
  ASSERT_GT(first, 1u);
  ProgramHandle second = StartProgram(Helper("echo_input"), "", "", StartKeep | StartReadOutput | StartChained,
                                      first);
  ASSERT_GT(second, 1u);
  // The first program has ended, so the second sees the end of its input
  // once our copies of the pipe's reading end are the only ones left.
  std::string echoed;
  for (int i = 0; i < 100 && echoed.find('\n') == std::string::npos; ++i) echoed += ReadProgramOutput(second, true);
  EXPECT_NE(std::string::npos, echoed.find("report_arguments.exe\" chained"));
  ReleaseProgram(first);
  ReleaseProgram(second);
}

TEST(ProcessRunnerTest, ChainWithoutEarlierPipeStillStarts) {
  ProgramHandle program = StartProgram(Helper("exit_with_code"), "5", "", StartWait | StartKeep | StartChained, 12345);
  ASSERT_GT(program, 1u);
  EXPECT_EQ(5u, QueryExitCode(program));
  ReleaseProgram(program);
}

TEST(ProcessRunnerTest, DocumentsOpenThroughTheShell) {
  SpacedFolder folder;
  // A text document whose type the fresh prefix associates with its editor.
  const std::string document = folder.Add("notes.ini");
  HANDLE file = CreateFileA(document.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  CloseHandle(file);

  ProgramHandle program = StartProgram(document, "", "", StartKeep);
  ASSERT_GT(program, 1u);
  EXPECT_EQ(-1, ProgramProcessId(program));
  TerminateProgram(program);
  for (int i = 0; i < 100 && IsStillRunning(program) != 0; ++i) Sleep(50);
  ReleaseProgram(program);
  // Pipes are never offered to the shell.
  EXPECT_EQ(0u, StartProgram(document, "", "", StartKeep | StartReadOutput));
}

TEST(ProcessRunnerTest, UnknownHandlesAreHarmless) {
  for (ProgramHandle value : {0u, 1u, 0xDEADBEEFu, 0xFFFFFFFFu}) {
    SCOPED_TRACE(value);
    EXPECT_EQ(0u, IsKnownProgram(value));
    EXPECT_EQ(0u, QueryExitCode(value));
    EXPECT_EQ(0, IsStillRunning(value));
    EXPECT_EQ(0, TerminateProgram(value));
    EXPECT_EQ(0, ProgramProcessId(value));
    EXPECT_EQ("", ReadProgramOutput(value, true));
    ReleaseProgram(value);
  }
  ProgramHandle program = StartProgram(Helper("exit_with_code"), "0", "", StartWait | StartKeep);
  ReleaseProgram(program);
  ReleaseProgram(program);  // a second release does nothing
  EXPECT_EQ(0u, QueryExitCode(program));
}

}  // namespace
}  // namespace brindorel
