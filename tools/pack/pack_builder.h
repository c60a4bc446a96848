// The builder: turns a package folder into an installer (the stub with the
// outer package appended), with "setup.pck" made from program/.
//
// Entry order, fixed so that the same folder always gives the same bytes:
//   outer package:  setup.ini, the other root files and folders in byte order
//                   of their 8-bit names (folders before their contents),
//                   "setup.pck" last;
//   setup.pck:      "Uninstall.exe" (when there is one), "uninstall.dat", then
//                   program/ in the same sorted walk.
// Times are the files' last-write times; the host gives no portable creation
// time, so both FILETIMEs of an entry carry it. The generated uninstall.dat
// takes the times of setup.ini.
//
// setup.ini's [Settings] NoDelAll (a flag, read by the builder only) becomes
// the record's NoDelAll; absent, it is 0.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "package/package_format.h"

namespace brindorel {

// One entry on its way into a package, with its decoded bytes.
struct PackInput {
  std::string name;  // 8-bit, "\"-separated; folders end in "\"
  std::uint32_t type = kEntryFile;
  std::vector<std::uint8_t> data;
  std::uint64_t creationTime = 0;
  std::uint64_t lastWriteTime = 0;
};

using ProgressFunction = std::function<void(std::size_t done, std::size_t total, const std::string& name)>;

// Encodes `inputs` as a package whose data starts at file position
// `dataStart` and appends it to `out`. Each block is compressed when that is
// smaller, stored as it is otherwise. False (with `error` set) when an entry
// or the package would pass the 32-bit limits.
bool EncodePackage(const std::vector<PackInput>& inputs, std::uint32_t dataStart, int level,
                   std::vector<std::uint8_t>& out, std::string& error,
                   const ProgressFunction& progress = ProgressFunction());

// The first uninstall.dat in the installer's INI layout ("key = value", CR LF).
struct UninstallRecord {
  std::string progName;
  std::string version;
  std::string mutexString;
  bool noDeleteAll = false;
  std::vector<std::string> files;  // relative, "\"-separated
};
std::string FormatUninstallRecord(const UninstallRecord& record);

struct BuildOptions {
  std::filesystem::path folder;
  std::filesystem::path output;
  std::filesystem::path stub;
  std::filesystem::path uninstaller;  // empty: "Uninstall.exe" beside the stub, when present
  int level = 9;
  ProgressFunction progress;
  // Signing hooks in after the output is complete and before it is moved
  // into place; the package end is found through the certificate table.
};

struct BuildResult {
  std::vector<std::string> warnings;
  std::uint64_t outputSize = 0;
  std::uint64_t stubSize = 0;
  std::size_t programFiles = 0;
  std::size_t rootEntries = 0;
};

// Builds the installer. False with `error` naming the file and the reason;
// the output file is then left as it was.
bool BuildInstaller(const BuildOptions& options, BuildResult& result, std::string& error);

// Largest file the installer reads: it takes the file size as a signed 32-bit number.
constexpr std::uint64_t kMaxPackageFile = 0x7FFFFFFFu;

}  // namespace brindorel
