// Extraction and a whole installation run against plain copying, under Wine:
// the program files of a built installer (its "setup.pck") are extracted
// into a fresh folder, a whole installation run (extraction, uninstall
// entry, desktop link, uninstall record) installs them into another, and the
// same corpus files are copied with CopyFileA into a third. Each is timed as
// the best of a few rounds; prints one table with the ratios.
//   extract_bench INSTALL.EXE CORPUS.LIST [ROUNDS]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/installer_state.h"
#include "install/settings.h"
#include "install/installation.h"
#include "package/package_reader.h"
#include "install/shell_links.h"
#include "services/file_system.h"
#include "services/folders.h"
#include "services/ini_file.h"
#include "tests/host/recording_surface.h"
#include "ui/interface_texts.h"

namespace {

double Now() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return double(counter.QuadPart) / double(frequency.QuadPart);
}

// A Linux path of the corpus list as Wine's Z: drive sees it.
std::string WindowsPath(const std::string& path) {
  std::string result = "Z:";
  for (char c : path) result += (c == '/') ? '\\' : c;
  return result;
}

std::vector<std::string> CorpusFiles(const char* listPath) {
  std::vector<std::string> files;
  FILE* list = std::fopen(listPath, "rb");
  if (list == nullptr) return files;
  char line[1024];
  while (std::fgets(line, sizeof line, list) != nullptr) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    if (text.empty() || text[0] == '#') continue;
    std::string path = WindowsPath(text);
    if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) files.push_back(path);
  }
  std::fclose(list);
  return files;
}

std::string TempFolder(const char* name) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  return std::string(temp) + name + "\\";
}

// The installer's state after start-up and the wizard's set-up, with the
// outer package unpacked into `workFolder`.
brindorel::InstallerState PreparedState(const std::string& workFolder) {
  brindorel::InstallerState state;
  state.workFolder = workFolder;
  state.settingsPath = workFolder + "setup.ini";
  brindorel::OpenIniFile(state.settingsPath);
  brindorel::ReadFirstSettings(brindorel::CurrentIniDocument(), state.settings);
  brindorel::ReadSecondSettings(brindorel::CurrentIniDocument(), state.settings,
                                [](const std::string& text) { return brindorel::ExpandFolderPlaceholders(text); });
  brindorel::CloseIniFile();
  return state;
}

// One whole installation run into `folder`; what it registered is removed
// again afterwards (the time counts only the run).
double TimeInstallation(const std::string& workFolder, const std::string& folder) {
  brindorel::InstallerState state = PreparedState(workFolder);
  const brindorel::InterfaceTexts texts = brindorel::DefaultInterfaceTexts(state.settings.titel, state.settings.version);
  brindorel::RecordingSurface surface;
  brindorel::InstallChoices choices;
  choices.installFolder = folder;
  choices.desktopIcon = true;
  const double start = Now();
  const brindorel::InstallationOutcome outcome =
      brindorel::RunInstallation({state.settings, choices, state.workFolder}, texts, surface, [] {});
  const double seconds = Now() - start;
  if (!outcome.complete) std::fprintf(stderr, "the installation run was incomplete\n");
  // What the run read of its own pass names what it registered.
  brindorel::OpenIniFile(state.settingsPath);
  brindorel::ReadInstallationSettings(brindorel::CurrentIniDocument(), state.settings);
  brindorel::CloseIniFile();
  // The entry and the link are named by the ProgLink, here the fallback.
  const std::string name = state.settings.progLink;
  const std::string key = std::string(brindorel::kUninstallKeyBase) + (state.settings.guid.empty() ? name : state.settings.guid);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
  DeleteFileA((brindorel::GetSpecialFolder(0) + brindorel::SafeFileNamePart(name) + ".lnk").c_str());
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: extract_bench INSTALL.EXE CORPUS.LIST [ROUNDS]\n");
    return 2;
  }
  const int rounds = argc > 3 ? std::atoi(argv[3]) : 3;
  const std::vector<std::string> files = CorpusFiles(argv[2]);
  const std::string outer = TempFolder("brindorel-bench-outer");
  const std::string extracted = TempFolder("brindorel-bench-extract");
  const std::string copied = TempFolder("brindorel-bench-copy");
  const std::string installed = TempFolder("brindorel-bench-install");

  // The outer package holds "setup.pck", which holds the program files.
  brindorel::RemoveFolder(outer, "*.*", brindorel::kRemoveSubfolders);
  brindorel::MakeFolderPath(outer);
  if (brindorel::ReadPackage(argv[1]) != 1) {
    std::fprintf(stderr, "no package in %s\n", argv[1]);
    return 1;
  }
  brindorel::ExtractPackage(outer, "");
  if (brindorel::ReadPackage(outer + "setup.pck") != 1) {
    std::fprintf(stderr, "no setup.pck in %s\n", argv[1]);
    return 1;
  }

  double bestExtract = 1e30;
  double bestInstall = 1e30;
  double bestCopy = 1e30;
  unsigned long long bytes = 0;
  std::uint32_t filesWritten = 0;
  for (int round = 0; round < rounds; ++round) {
    brindorel::RemoveFolder(extracted, "*.*", brindorel::kRemoveSubfolders);
    brindorel::MakeFolderPath(extracted);
    double start = Now();
    brindorel::ExtractPackage(extracted, "");
    double seconds = Now() - start;
    if (seconds < bestExtract) bestExtract = seconds;
    const brindorel::ExtractionStats& stats = brindorel::LastExtractionStats();
    filesWritten = stats.filesWritten;  // before the installation run reads again
    if (!stats.placed)
      std::fprintf(stderr, "the extraction placed nothing: %u damaged, %u not created, %zu failed (%s)\n",
                   stats.corruptEntries, stats.filesNotCreated, stats.failedEntries.size(),
                   stats.failedEntries.empty() ? "" : stats.failedEntries[0].c_str());

    brindorel::RemoveFolder(installed, "*.*", brindorel::kRemoveSubfolders);
    seconds = TimeInstallation(outer, installed);
    if (seconds < bestInstall) bestInstall = seconds;
    // The installation run read setup.pck itself; the extraction above reads it again.
    brindorel::ReadPackage(outer + "setup.pck");

    brindorel::RemoveFolder(copied, "*.*", brindorel::kRemoveSubfolders);
    brindorel::MakeFolderPath(copied);
    bytes = 0;
    start = Now();
    int number = 0;
    for (const std::string& file : files) {
      char prefix[16];
      std::snprintf(prefix, sizeof prefix, "%03d-", number++);
      std::string name = file.substr(file.find_last_of('\\') + 1);
      CopyFileA(file.c_str(), (copied + prefix + name).c_str(), FALSE);
      WIN32_FILE_ATTRIBUTE_DATA data;
      if (GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &data)) bytes += data.nFileSizeLow;
    }
    seconds = Now() - start;
    if (seconds < bestCopy) bestCopy = seconds;
  }
  std::printf("extraction and installation against CopyFileA under Wine: %u files, %.1f MB, best of %d\n\n",
              filesWritten, double(bytes) / 1e6, rounds);
  std::printf("%-22s %9s %9s\n", "", "seconds", "MB/s");
  std::printf("%-22s %9.2f %9.1f\n", "ExtractPackage", bestExtract, double(bytes) / 1e6 / bestExtract);
  std::printf("%-22s %9.2f %9.1f\n", "RunInstallation", bestInstall, double(bytes) / 1e6 / bestInstall);
  std::printf("%-22s %9.2f %9.1f\n", "CopyFileA", bestCopy, double(bytes) / 1e6 / bestCopy);
  std::printf("%-22s %9.2f\n", "ratio extract / copy", bestExtract / bestCopy);
  std::printf("%-22s %9.2f\n", "ratio install / copy", bestInstall / bestCopy);
  brindorel::RemoveFolder(outer, "*.*", brindorel::kRemoveSubfolders);
  brindorel::RemoveFolder(extracted, "*.*", brindorel::kRemoveSubfolders);
  brindorel::RemoveFolder(copied, "*.*", brindorel::kRemoveSubfolders);
  brindorel::RemoveFolder(installed, "*.*", brindorel::kRemoveSubfolders);
  return 0;
}
