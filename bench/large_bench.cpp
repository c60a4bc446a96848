// The large payload under Wine: a package holding one file of 1.5 GiB, built
// by the Windows builder at the fast level and installed by Install.exe /S,
// each timed with its peak working set read from the system while it runs;
// then the extraction throughput of that one large entry in one process
// (ExtractPackage of its setup.pck), against the same for the corpus
// package's many small entries when that installer is given. Prints a table
// and the goal rows.
//   large_bench [CORPUS-INSTALL.EXE]
#include <windows.h>

#include <cstdio>
#include <string>

#include "large_payload.h"
#include "package/package_reader.h"
#include "services/file_system.h"
#include "services/wide_win.h"
#include "tests/win32/support/win32_checks.h"

namespace {

using namespace brindorel;
using namespace brindorel::e2e;

std::string TempFolder(const char* name) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  return Narrow(std::wstring(temp)) + name + "\\";
}

// Extracts the setup.pck of `installer` (its outer package unpacked into
// `work` first) into `target`, best of `rounds`; MB/s of decoded bytes.
double ExtractionRate(const std::string& installer, const std::string& work, const std::string& target, int rounds) {
  RemoveFolder(work, "", kRemoveSubfolders | kRemoveForced);
  MakeFolderPath(work);
  if (ReadPackage(installer) != 1) return 0;
  ExtractPackage(work, "");
  double best = 1e30;
  std::uint64_t bytes = 0;
  for (int round = 0; round < rounds; ++round) {
    RemoveFolder(target, "", kRemoveSubfolders | kRemoveForced);
    MakeFolderPath(target);
    if (ReadPackage(work + "setup.pck") != 1) return 0;
    bytes = 0;
    for (const PackageEntry& entry : PackageEntries()) bytes += entry.type == kEntryFile ? entry.size : 0;
    const double start = Seconds();
    ExtractPackage(target, "");
    const double seconds = Seconds() - start;
    if (!LastExtractionStats().placed) return 0;
    if (seconds < best) best = seconds;
  }
  RemoveFolder(target, "", kRemoveSubfolders | kRemoveForced);
  RemoveFolder(work, "", kRemoveSubfolders | kRemoveForced);
  return double(bytes) / 1e6 / best;
}

void Clean(const std::string& root) {
  RemoveFolder(root, "", kRemoveSubfolders | kRemoveForced);
  wine_checks::DeleteKeyTree(HKEY_LOCAL_MACHINE,
                             std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + kLargeGuid);
  wine_checks::DeleteKeyTree(HKEY_CURRENT_USER, std::string("SOFTWARE\\Brindorel\\") + kLargeGuid);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string root = TempFolder("brindorel-bench-large");
  Clean(root);
  const std::string folder = root + "package\\";
  const std::string source = folder + "program\\payload.bin";
  if (!WriteLargePackageFolder(folder, source, kLargePayloadSize)) {
    std::fprintf(stderr, "cannot write the payload into %s\n", folder.c_str());
    return 1;
  }
  const std::string installer = root + "Large.exe";
  const Measured build = RunMeasured(LargePackCommand(folder, installer), 3600);
  DeleteFileW(WidePath(source).c_str());
  const std::string target = root + "Installed";
  const Measured install =
      build.exitCode == 0 ? RunMeasured("\"" + installer + "\" /S /D=" + target, 3600) : Measured();
  const bool identical = install.exitCode == 0 &&
                         FirstPayloadDifference(target + "\\payload.bin", kLargePayloadSize) == kLargePayloadSize;
  const Measured removal =
      install.exitCode == 0 ? RunMeasured("\"" + target + "\\Uninstall.exe\" /S", 600) : Measured();
  const double mib = double(kLargePayloadSize) / 1048576.0;
  std::printf("one file of %.0f MiB (compressible, fast level), under Wine\n\n", mib);
  std::printf("%-34s %6s %9s %9s %16s\n", "", "exit", "seconds", "MB/s", "peak memory MiB");
  auto row = [&](const char* what, const Measured& m) {
    std::printf("%-34s %6d %9.1f %9.1f %16.0f\n", what, m.exitCode, m.seconds,
                m.seconds > 0 ? double(kLargePayloadSize) / 1e6 / m.seconds : 0.0, double(m.peakMemory) / 1048576.0);
  };
  row("brindorel-pack build --level fast", build);
  row("Install.exe /S", install);
  row("Uninstall.exe /S", removal);
  std::printf("installed file identical: %s\n\n", identical ? "yes" : "NO");

  const double large = build.exitCode == 0 ? ExtractionRate(installer, root + "work\\", root + "extracted\\", 2) : 0;
  const double small = argc > 1 ? ExtractionRate(argv[1], root + "work\\", root + "extracted\\", 3) : 0;
  std::printf("%-34s %9s\n", "ExtractPackage of setup.pck", "MB/s");
  std::printf("%-34s %9.1f\n", "one large entry", large);
  if (small > 0) std::printf("%-34s %9.1f\n", "the corpus's entries", small);
  std::printf("\n");
  std::printf("goal: Install.exe /S of a %.0f MiB file: %.1f s, peak working set %.0f MiB (goal < 256 MiB)%s\n", mib,
              install.seconds, double(install.peakMemory) / 1048576.0, identical ? "" : " FAILED");
  std::printf("goal: builder on it, fast level: %.1f s, peak working set %.0f MiB (goal < 1024 MiB)\n", build.seconds,
              double(build.peakMemory) / 1048576.0);
  if (small > 0)
    std::printf("info: extraction, one large entry / the corpus's small entries: %.1f / %.1f MB/s = %.2f\n", large,
                small, large / small);
  Clean(root);
  return identical ? 0 : 1;
}
