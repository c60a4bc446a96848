// A large payload and what measures the programs that carry it, shared by
// the large-payload test and its benchmark: a payload made from a fixed seed
// a piece at a time (never held whole; 1.5 GiB for the benchmark, less for
// the test), and commands run with their peak working set read from the
// system while they run.
#pragma once

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "driver.h"
#include "e2e_support.h"
#include "services/file_system.h"
#include "services/wide_win.h"

namespace brindorel::e2e {

constexpr std::uint64_t kLargePayloadSize = std::uint64_t(1536) << 20;
constexpr std::size_t kPiece = std::size_t(1) << 20;

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

inline double Seconds() {
  LARGE_INTEGER frequency, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&now);
  return double(now.QuadPart) / double(frequency.QuadPart);
}

// The peak working set of another process, through kernel32's call (Wine
// reads it from the system for the process's own).
inline std::uint64_t PeakWorkingSet(HANDLE process) {
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
inline Measured RunMeasured(const std::string& commandLine, double timeoutSeconds) {
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

constexpr char kLargeGuid[] = "{5B0C2E7A-91D4-4F63-8A2E-3C7D1B9E0F48}";

// A package folder for the payload: setup.ini (no links, the payload as the
// program) and, unless `payloadPath` is empty, `size` bytes of the payload
// there (a whole number of MiB).
inline bool WriteLargePackageFolder(const std::string& folder, const std::string& payloadPath,
                                    std::uint64_t size = 0) {
  const std::string text =
      std::string("[Settings]\r\nProgExe=payload.bin\r\nDefaultDir=%ProgramFiles%Brindorel Large\r\n") +
      "[Info]\r\nTitel=Brindorel Large\r\nVersion=1.0\r\nGUID=" + kLargeGuid +
      "\r\n[Task]\r\nReboot=0\r\nDesktop=0\r\nStartMenu=0\r\n";
  MakeFolderPath(folder + "program\\");
  HANDLE file = CreateFileW(WidePath(folder + "setup.ini").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &put, nullptr) && put == text.size();
  CloseHandle(file);
  if (!ok || payloadPath.empty()) return ok;
  file = CreateFileW(WidePath(payloadPath).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  Payload payload;
  std::vector<std::uint8_t> piece(kPiece);
  for (std::uint64_t done = 0; ok && done < size; done += kPiece) {
    payload.Next(piece.data(), kPiece);
    ok = WriteFile(file, piece.data(), static_cast<DWORD>(kPiece), &put, nullptr) && put == kPiece;
  }
  CloseHandle(file);
  return ok;
}

// Where `path` first differs from the payload's first `size` bytes, to the
// MiB; `size` when it holds them.
inline std::uint64_t FirstPayloadDifference(const std::string& path, std::uint64_t size) {
  HANDLE file = CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  Payload payload;
  std::vector<std::uint8_t> expected(kPiece), found(kPiece);
  std::uint64_t done = 0;
  for (; done < size; done += kPiece) {
    payload.Next(expected.data(), kPiece);
    DWORD got = 0;
    if (!ReadFile(file, found.data(), static_cast<DWORD>(kPiece), &got, nullptr) || got != kPiece ||
        std::memcmp(expected.data(), found.data(), kPiece) != 0)
      break;
  }
  CloseHandle(file);
  return done;
}

// The Windows builder (of this build tree) on a package folder, at the fast level.
inline std::string LargePackCommand(std::string folder, const std::string& output) {
  if (!folder.empty() && folder.back() == '\\') folder.pop_back();  // "\"" would escape the quote
  return "\"" + BuildDir() + "tools\\pack\\brindorel-pack.exe\" build \"" + folder + "\" -o \"" + output +
         "\" --stub \"" + BuildDir() + "core\\Install.exe\" --uninstaller \"" + BuildDir() +
         "uninstaller\\Uninstall.exe\" --level fast";
}

}  // namespace brindorel::e2e
