// The uninstaller's checks of "uninstall.dat" (read by
// install/uninstall_record.h) made before anything is touched: whether the record may be trusted with the folder it
// names, and whether a process image is the installed program.
// The record lies in the installation folder, which users may be able to
// write; every value is read as possibly hostile.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "services/folder_rules.h"
#include "install/uninstall_record.h"

namespace brindorel {

class IniDocument;

enum class RecordProblem {
  None,
  Missing,          // no "uninstall.dat"
  NotAbsolute,      // ProgDir neither "X:\..." nor "\\server\share..."
  NotOwnFolder,     // ProgDir is not the folder that holds the record
  ProtectedFolder,  // a drive root, a system or user folder, or one holding one
};

// Whether the record may be acted on. `recordFolder` is the folder the
// record was read from.
RecordProblem CheckRecord(bool recordFound, const UninstallData& data, const std::string& recordFolder,
                          const ProtectedFolders& protectedFolders);

// The path an Error2 message names for a problem: the record's path when
// it is missing, else ProgDir.
std::string RecordProblemPath(RecordProblem problem, const UninstallData& data, const std::string& recordFolder);

// Whether a process image (a full path) is ProgDir + ProgExe.
bool ImageIsInstalledProgram(const std::string& imagePath, const UninstallData& data);

// Command line of Uninstall.exe. "/S" silent; the copy started from the
// temporary folder gets "/ORIGIN=<process id>" and "/DIR=<folder>" (the rest
// of the line, quotes around it dropped).
struct UninstallArguments {
  bool silent = false;
  bool isCopy = false;
  std::uint32_t originProcess = 0;
  std::string folder;
};
UninstallArguments ParseUninstallArguments(const std::string& commandLine);
// The arguments for the copy.
std::string CopyArguments(bool silent, std::uint32_t originProcess, const std::string& folder);

}  // namespace brindorel
