#include "uninstaller/uninstall_data.h"

#include <algorithm>

#include "install/uninstall_record.h"
#include "services/ini_document.h"
#include "services/text.h"

namespace brindorel {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool StartsWithSwitch(const std::string& text, std::size_t at, const char* name) {
  for (std::size_t i = 0; name[i] != '\0'; ++i) {
    if (at + i >= text.size() || Upper(text[at + i]) != name[i]) return false;
  }
  return true;
}

}  // namespace

RecordProblem CheckRecord(bool recordFound, const UninstallData& data, const std::string& recordFolder,
                          const ProtectedFolders& protectedFolders) {
  if (!recordFound) return RecordProblem::Missing;
  if (!IsAbsoluteFolderPath(data.progDir)) return RecordProblem::NotAbsolute;
  if (!SameFolderPath(data.progDir, recordFolder)) return RecordProblem::NotOwnFolder;
  // The installer's own folder check, without the rules that only guard a
  // new installation (length, characters, the working folder).
  ProtectedFolders without = protectedFolders;
  without.workFolder.clear();
  switch (CheckInstallFolder(data.progDir, without)) {
    case FolderProblem::DriveRoot:
    case FolderProblem::ProtectedFolder:
      return RecordProblem::ProtectedFolder;
    case FolderProblem::NotAbsolute:
      return RecordProblem::NotAbsolute;
    default:
      return RecordProblem::None;
  }
}

std::string RecordProblemPath(RecordProblem problem, const UninstallData& data, const std::string& recordFolder) {
  if (problem == RecordProblem::Missing) return WithTrailingSeparator(recordFolder) + "uninstall.dat";
  return data.progDir;
}

bool ImageIsInstalledProgram(const std::string& imagePath, const UninstallData& data) {
  if (data.progExe.empty()) return false;
  const std::string program = NormaliseFolderPath(WithTrailingSeparator(data.progDir) + data.progExe);
  return !program.empty() && NormaliseFolderPath(imagePath) == program;
}

UninstallArguments ParseUninstallArguments(const std::string& line) {
  UninstallArguments arguments;
  std::size_t i = 0;
  while (i < line.size() && IsSpace(line[i])) ++i;
  // The program name: quoted, or up to the first space.
  if (i < line.size() && line[i] == '"') {
    const std::size_t close = line.find('"', i + 1);
    i = close == std::string::npos ? line.size() : close + 1;
  } else {
    while (i < line.size() && !IsSpace(line[i])) ++i;
  }
  for (;;) {
    while (i < line.size() && IsSpace(line[i])) ++i;
    if (i >= line.size()) break;
    if (StartsWithSwitch(line, i, "/DIR=")) {
      std::string folder = line.substr(i + 5);
      while (!folder.empty() && IsSpace(folder.back())) folder.pop_back();
      if (folder.size() >= 2 && folder.front() == '"' && folder.back() == '"')
        folder = folder.substr(1, folder.size() - 2);
      arguments.folder = folder;
      break;
    }
    std::size_t end = i;
    while (end < line.size() && !IsSpace(line[end])) ++end;
    const std::string token = line.substr(i, end - i);
    if (token.size() == 2 && StartsWithSwitch(token, 0, "/S")) {
      arguments.silent = true;
    } else if (StartsWithSwitch(token, 0, "/ORIGIN=")) {
      std::uint64_t id = 0;
      bool digits = token.size() > 8 && token.size() <= 18;
      for (std::size_t k = 8; digits && k < token.size(); ++k) {
        if (token[k] < '0' || token[k] > '9') digits = false;
        else id = id * 10 + static_cast<std::uint64_t>(token[k] - '0');
      }
      if (digits && id <= 0xFFFFFFFFu) {
        arguments.isCopy = true;
        arguments.originProcess = static_cast<std::uint32_t>(id);
      }
    }
    i = end;
  }
  // A copy without a folder to work on has nothing it may touch.
  if (arguments.folder.empty()) arguments.isCopy = false;
  return arguments;
}

std::string CopyArguments(bool silent, std::uint32_t originProcess, const std::string& folder) {
  std::string line = silent ? "/S " : "";
  return line + "/ORIGIN=" + UnsignedToText(originProcess) + " /DIR=" + folder;
}

}  // namespace brindorel
