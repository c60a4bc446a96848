// A payload of 1.5 GiB through the real programs: the builder packs it at
// the fast level, Install.exe /S installs it byte for byte, each in bounded
// memory (peak working sets read from the system while they run), and
// Uninstall.exe /S removes it; a file past the format's 4 GiB limit is
// refused by the builder, which names it and the limit.
#include <windows.h>

#include <psapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "driver.h"
#include "e2e_support.h"
#include "services/file_system.h"
#include "services/wide_win.h"
#include "tests/win32/support/win32_checks.h"

namespace brindorel::e2e {
namespace {

constexpr std::uint64_t kPayloadSize = std::uint64_t(1536) << 20;
constexpr std::size_t kPiece = std::size_t(1) << 20;
constexpr std::uint64_t kInstallerMemory = std::uint64_t(256) << 20;
constexpr std::uint64_t kBuilderMemory = std::uint64_t(1) << 30;
const char kGuid[] = "{5B0C2E7A-91D4-4F63-8A2E-3C7D1B9E0F48}";

// The payload from a fixed seed, made and checked a piece at a time:
// stretches of a 64 KiB dictionary of words at changing places with numbers
// between them, compressible (to about 2%) and quick to compress.
class Payload {
 public:
  Payload() {
    // Words of random letters: a stretch copied from them is found whole.
    while (dictionary_.size() < (64u << 10)) {
      const std::uint64_t r = Random();
      for (unsigned i = 0; i < 2 + r % 9; ++i) dictionary_.push_back(std::uint8_t('a' + (r >> (8 + 5 * i)) % 26));
      dictionary_.push_back(' ');
    }
  }
  void Next(std::uint8_t* out, std::size_t size) {
    std::size_t at = 0;
    while (at < size) {
      const std::uint64_t r = Random();
      const std::size_t length = std::min<std::size_t>(size - at, 16 + r % 2000);
      const std::size_t from = static_cast<std::size_t>((r >> 16) % (dictionary_.size() - length));
      std::memcpy(out + at, dictionary_.data() + from, length);
      at += length;
      char number[16];
      const int n = std::snprintf(number, sizeof number, "%u\r\n", static_cast<unsigned>(r >> 40));
      const std::size_t take = std::min<std::size_t>(size - at, static_cast<std::size_t>(n));
      std::memcpy(out + at, number, take);
      at += take;
    }
  }

 private:
  std::uint64_t Random() {  // xorshift64*
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return state_ * 0x2545F4914F6CDD1Dull;
  }
  std::uint64_t state_ = 0x9E3779B97F4A7C15ull;
  std::vector<std::uint8_t> dictionary_;
};

double Seconds() {
  LARGE_INTEGER frequency, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&now);
  return double(now.QuadPart) / double(frequency.QuadPart);
}

// The peak working set of another process, through kernel32's call (Wine
// reads it from the system for the process's own).
std::uint64_t PeakWorkingSet(HANDLE process) {
  using Call = BOOL(WINAPI*)(HANDLE, PPROCESS_MEMORY_COUNTERS, DWORD);
  static Call call = [] {
    Call found = nullptr;
    const FARPROC address = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "K32GetProcessMemoryInfo");
    std::memcpy(&found, &address, sizeof found);
    return found;
  }();
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (call == nullptr || !call(process, &counters, sizeof counters)) return 0;
  return counters.PeakWorkingSetSize;
}

struct Measured {
  int exitCode = -1;
  std::uint64_t peakMemory = 0;  // 0: never read
  double seconds = 0;
};

// Runs a command to its end, reading its peak working set as it runs.
Measured RunMeasured(const std::string& commandLine, double timeoutSeconds) {
  Measured m;
  Process process;
  const double start = Seconds();
  if (!process.Start(commandLine)) return m;
  while (!process.Wait(50)) {
    m.peakMemory = std::max(m.peakMemory, PeakWorkingSet(process.handle()));
    if (Seconds() - start > timeoutSeconds) {
      process.Kill();
      return m;
    }
  }
  m.seconds = Seconds() - start;
  m.exitCode = static_cast<int>(process.ExitCode());
  return m;
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

bool WriteSettings(const std::string& folder) {
  const std::string text = std::string("[Settings]\r\nProgExe=payload.bin\r\nDefaultDir=%ProgramFiles%Brindorel Large\r\n") +
                           "[Info]\r\nTitel=Brindorel Large\r\nVersion=1.0\r\nGUID=" + kGuid +
                           "\r\n[Task]\r\nReboot=0\r\nDesktop=0\r\nStartMenu=0\r\n";
  MakeFolderPath(folder + "program\\");
  HANDLE file = CreateFileW(WidePath(folder + "setup.ini").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  const bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &put, nullptr) && put == text.size();
  CloseHandle(file);
  return ok;
}

std::string PackCommand(std::string folder, const std::string& output) {
  if (!folder.empty() && folder.back() == '\\') folder.pop_back();  // "\"" would escape the quote
  return "\"" + BuildDir() + "tools\\pack\\brindorel-pack.exe\" build \"" + folder + "\" -o \"" + output +
         "\" --stub \"" + BuildDir() + "core\\Install.exe\" --uninstaller \"" + BuildDir() +
         "uninstaller\\Uninstall.exe\" --level fast";
}

void Clean(const std::string& root) {
  RemoveFolder(root, "", kRemoveSubfolders | kRemoveForced);
  wine_checks::DeleteKeyTree(HKEY_LOCAL_MACHINE,
                             std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + kGuid);
  wine_checks::DeleteKeyTree(HKEY_CURRENT_USER, std::string("SOFTWARE\\Brindorel\\") + kGuid);
}

TEST(LargePayload, InstallsByteForByteInBoundedMemoryAndIsRemoved) {
  const std::string root = OutFolder() + "large\\";
  Clean(root);
  const std::string folder = root + "package\\";
  ASSERT_TRUE(WriteSettings(folder));

  // The payload, written a piece at a time.
  const std::string source = folder + "program\\payload.bin";
  std::vector<std::uint8_t> piece(kPiece), other(kPiece);
  {
    HANDLE file = CreateFileW(WidePath(source).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    Payload payload;
    bool ok = true;
    for (std::uint64_t done = 0; ok && done < kPayloadSize; done += kPiece) {
      payload.Next(piece.data(), kPiece);
      DWORD put = 0;
      ok = WriteFile(file, piece.data(), static_cast<DWORD>(kPiece), &put, nullptr) && put == kPiece;
    }
    CloseHandle(file);
    ASSERT_TRUE(ok);
  }

  const std::string installer = root + "Large.exe";
  const Measured build = RunMeasured(PackCommand(folder, installer), 1500);
  DeleteFileW(WidePath(source).c_str());  // 1.5 GiB less on the disk at once
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
  EXPECT_LT(install.peakMemory, kInstallerMemory);

  // Byte for byte, piece by piece against the payload made again.
  const std::string installed = target + "\\payload.bin";
  ASSERT_EQ(QueryPathSize(installed), static_cast<std::int64_t>(kPayloadSize));
  {
    HANDLE file = CreateFileW(WidePath(installed).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    Payload payload;
    std::uint64_t firstDifference = kPayloadSize;
    for (std::uint64_t done = 0; firstDifference == kPayloadSize && done < kPayloadSize; done += kPiece) {
      payload.Next(piece.data(), kPiece);
      DWORD got = 0;
      if (!ReadFile(file, other.data(), static_cast<DWORD>(kPiece), &got, nullptr) || got != kPiece ||
          std::memcmp(piece.data(), other.data(), kPiece) != 0)
        firstDifference = done;
    }
    CloseHandle(file);
    EXPECT_EQ(firstDifference, kPayloadSize) << "the installed file differs in the MiB at this position";
  }

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
  ASSERT_TRUE(WriteSettings(folder));
  // One byte past what a 32-bit size holds; sparse, so it costs no disk.
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
  EXPECT_EQ(RunWithErrors(PackCommand(folder, root + "Huge.exe"), root + "errors.txt", errors), 1);
  EXPECT_LT(Seconds() - start, 60.0) << "refused before it was read";
  EXPECT_NE(errors.find("huge.bin"), std::string::npos) << errors;
  EXPECT_NE(errors.find("4294967296 bytes"), std::string::npos) << errors;
  EXPECT_NE(errors.find("at most 4294967295 bytes"), std::string::npos) << errors;
  EXPECT_FALSE(Exists(root + "Huge.exe"));
  Clean(root);
}

}  // namespace
}  // namespace brindorel::e2e
