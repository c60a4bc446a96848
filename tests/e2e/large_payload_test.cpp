// A large payload through the real programs: the builder packs it at the
// fast level, Install.exe /S installs it byte for byte, each in bounded
// memory (peak working sets read from the system while they run), and
// Uninstall.exe /S removes it; a file past the format's 4 GiB limit is
// refused by the builder, which names it and the limit.
//
// The payload is 128 MiB: past the builder's stretches and four times the
// installer's window, so the installer must stay below the payload's own
// size, which holding it whole could not. BRINDOREL_LARGE_PAYLOAD=1 makes it
// 1.5 GiB with the bound of 256 MiB (minutes; scripts/bench measures that).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "driver.h"
#include "e2e_support.h"
#include "large_payload.h"
#include "services/file_system.h"
#include "services/wide_win.h"
#include "tests/win32/support/win32_checks.h"

namespace brindorel::e2e {
namespace {

constexpr std::uint64_t kBuilderMemory = std::uint64_t(1) << 30;

struct PayloadRun {
  std::uint64_t size;
  std::uint64_t installerMemory;  // the installer's peak working set stays below this
};

PayloadRun ChosenRun() {
  const char* large = std::getenv("BRINDOREL_LARGE_PAYLOAD");
  if (large != nullptr && std::string(large) == "1") return {kLargePayloadSize, std::uint64_t(256) << 20};
  const std::uint64_t size = std::uint64_t(128) << 20;
  return {size, size};
}

// Runs a command and gives what it wrote to its standard error.
int RunWithErrors(const std::string& commandLine, const std::string& errorsFile, std::string& errors) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE file = CreateFileW(WidePath(errorsFile).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return -1;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdError = startup.hStdOutput = file;
  PROCESS_INFORMATION info{};
  std::wstring line = Wide(commandLine);
  line.push_back(L'\0');
  DWORD code = 0xFFFFFFFFu;
  if (CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) {
    if (WaitForSingleObject(info.hProcess, 120000) != WAIT_OBJECT_0) TerminateProcess(info.hProcess, 1);
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
  }
  CloseHandle(file);
  std::vector<std::uint8_t> bytes;
  ReadWholeFile(errorsFile, 1u << 20, bytes);
  errors.assign(bytes.begin(), bytes.end());
  return static_cast<int>(code);
}

void Clean(const std::string& root) {
  RemoveFolder(root, "", kRemoveSubfolders | kRemoveForced);
  wine_checks::DeleteKeyTree(HKEY_LOCAL_MACHINE,
                             std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + kLargeGuid);
  wine_checks::DeleteKeyTree(HKEY_CURRENT_USER, std::string("SOFTWARE\\Brindorel\\") + kLargeGuid);
}

TEST(LargePayload, InstallsByteForByteInBoundedMemoryAndIsRemoved) {
  const std::string root = OutFolder() + "large\\";
  Clean(root);
  const std::string folder = root + "package\\";
  const std::string source = folder + "program\\payload.bin";
  const PayloadRun run = ChosenRun();
  ASSERT_TRUE(WriteLargePackageFolder(folder, source, run.size));

  const std::string installer = root + "Large.exe";
  const Measured build = RunMeasured(LargePackCommand(folder, installer), 1500);
  DeleteFileW(WidePath(source).c_str());  // the payload's size less on the disk at once
  ASSERT_EQ(build.exitCode, 0);
  std::printf("builder: %.1f s, peak working set %.0f MiB, installer %.0f MiB\n", build.seconds,
              double(build.peakMemory) / 1048576.0, double(QueryPathSize(installer)) / 1048576.0);
  EXPECT_GT(build.peakMemory, 0u) << "the builder's memory could not be read";
  EXPECT_LT(build.peakMemory, kBuilderMemory);

  const std::string target = root + "Installed";
  const Measured install = RunMeasured("\"" + installer + "\" /S /D=" + target, 900);
  DeleteFileW(WidePath(installer).c_str());
  ASSERT_EQ(install.exitCode, 0);
  std::printf("installer: %.1f s, peak working set %.0f MiB\n", install.seconds,
              double(install.peakMemory) / 1048576.0);
  EXPECT_GT(install.peakMemory, 0u) << "the installer's memory could not be read";
  EXPECT_LT(install.peakMemory, run.installerMemory);

  // Byte for byte, piece by piece against the payload made again.
  const std::string installed = target + "\\payload.bin";
  ASSERT_EQ(QueryPathSize(installed), static_cast<std::int64_t>(run.size));
  EXPECT_EQ(FirstPayloadDifference(installed, run.size), run.size)
      << "the installed file differs in the MiB at this position";

  const Measured removal = RunMeasured("\"" + target + "\\Uninstall.exe\" /S", 300);
  EXPECT_EQ(removal.exitCode, 0);
  // The uninstaller removes itself through a process that outlives it.
  for (int i = 0; i < 100 && Exists(installed); ++i) Sleep(100);
  EXPECT_FALSE(Exists(installed));
  Clean(root);
}

TEST(LargePayload, TheBuilderRefusesAFilePastTheFormatsLimitByName) {
  const std::string root = OutFolder() + "too-large\\";
  Clean(root);
  const std::string folder = root + "package\\";
  // A sound package (its program a small payload) that also holds a file
  // one byte past what a 32-bit size holds; sparse, so it costs no disk.
  ASSERT_TRUE(WriteLargePackageFolder(folder, folder + "program\\payload.bin", 1u << 20));
  const std::string huge = folder + "program\\huge.bin";
  HANDLE file = CreateFileW(WidePath(huge).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  LARGE_INTEGER size;
  size.QuadPart = LONGLONG(1) << 32;
  const bool sized = SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && SetEndOfFile(file);
  CloseHandle(file);
  ASSERT_TRUE(sized);

  std::string errors;
  const double start = Seconds();
  EXPECT_EQ(RunWithErrors(LargePackCommand(folder, root + "Huge.exe"), root + "errors.txt", errors), 1);
  EXPECT_LT(Seconds() - start, 60.0) << "refused before it was read";
  EXPECT_NE(errors.find("huge.bin"), std::string::npos) << errors;
  EXPECT_NE(errors.find("4294967296 bytes"), std::string::npos) << errors;
  EXPECT_NE(errors.find("at most 4294967295 bytes"), std::string::npos) << errors;
  EXPECT_FALSE(Exists(root + "Huge.exe"));
  Clean(root);
}

}  // namespace
}  // namespace brindorel::e2e
