// Turns a package folder into an installer: program/ becomes "setup.pck"
// (with "Uninstall.exe" and a first "uninstall.dat"), the other files of the
// folder and "setup.pck" form the package appended to the stub.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tools/pack/pack_package.h"

namespace brindorel::pack {

struct BuildOptions {
  std::filesystem::path packageFolder;
  std::filesystem::path output;
  std::filesystem::path stub;
  std::filesystem::path uninstaller;  // empty: none (a warning is given)
  int level = 9;
  unsigned jobs = 0;  // compressing threads; 0: one for each processor
  // Extra files: package-relative name ("program/acme.exe") and the file to take.
  std::vector<std::pair<std::string, std::filesystem::path>> extraFiles;
  bool showProgress = false;
  // A command that signs a file: "{in}" and "{out}" stand for the paths. Run
  // on Uninstall.exe before it is packed and on the finished installer.
  std::string signCommand;
};

struct BuildReport {
  std::vector<std::string> warnings;
  std::size_t outerEntries = 0;
  std::size_t programEntries = 0;
  std::uint64_t outputSize = 0;
};

// Builds; false with `error` naming the file and the reason.
bool BuildInstaller(const BuildOptions& options, BuildReport& report, std::string& error);

// `command` with every "{in}" and "{out}" replaced by the quoted paths, for
// the system's shell.
std::string SignCommandLine(const std::string& command, const std::filesystem::path& in,
                            const std::filesystem::path& out);

}  // namespace brindorel::pack
