// Extraction against plain copying, under Wine: the program files of a built
// installer (its "setup.pck") are extracted into a fresh folder, and the same
// corpus files are copied with CopyFileA into another. Each is timed as the
// best of a few rounds; prints one table with the ratio.
//   extract_bench INSTALL.EXE CORPUS.LIST [ROUNDS]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "package/package_reader.h"
#include "services/file_system.h"

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
  double bestCopy = 1e30;
  unsigned long long bytes = 0;
  for (int round = 0; round < rounds; ++round) {
    brindorel::RemoveFolder(extracted, "*.*", brindorel::kRemoveSubfolders);
    brindorel::MakeFolderPath(extracted);
    double start = Now();
    brindorel::ExtractPackage(extracted, "");
    double seconds = Now() - start;
    if (seconds < bestExtract) bestExtract = seconds;

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
  const brindorel::ExtractionStats& stats = brindorel::LastExtractionStats();
  std::printf("extraction against CopyFileA under Wine: %u files, %.1f MB, best of %d\n\n", stats.filesWritten,
              double(bytes) / 1e6, rounds);
  std::printf("%-22s %9s %9s\n", "", "seconds", "MB/s");
  std::printf("%-22s %9.2f %9.1f\n", "ExtractPackage", bestExtract, double(bytes) / 1e6 / bestExtract);
  std::printf("%-22s %9.2f %9.1f\n", "CopyFileA", bestCopy, double(bytes) / 1e6 / bestCopy);
  std::printf("%-22s %9.2f\n", "ratio extract / copy", bestExtract / bestCopy);
  brindorel::RemoveFolder(outer, "*.*", brindorel::kRemoveSubfolders);
  brindorel::RemoveFolder(extracted, "*.*", brindorel::kRemoveSubfolders);
  brindorel::RemoveFolder(copied, "*.*", brindorel::kRemoveSubfolders);
  return 0;
}
