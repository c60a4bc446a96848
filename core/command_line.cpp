#include "core/command_line.h"

#include <cstddef>

namespace brindorel {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// True when `token` starts with `name` (upper case), case ignored.
bool StartsWith(const std::string& token, const char* name) {
  std::size_t i = 0;
  for (; name[i] != '\0'; ++i) {
    if (i >= token.size() || Upper(token[i]) != name[i]) return false;
  }
  return true;
}

bool Is(const std::string& token, const char* name) {
  std::size_t length = 0;
  while (name[length] != '\0') ++length;
  return token.size() == length && StartsWith(token, name);
}

// Skips the program name: quoted, or up to the first space.
std::size_t AfterProgramName(const std::string& line) {
  std::size_t i = 0;
  while (i < line.size() && IsSpace(line[i])) ++i;
  if (i < line.size() && line[i] == '"') {
    std::size_t close = line.find('"', i + 1);
    return close == std::string::npos ? line.size() : close + 1;
  }
  while (i < line.size() && !IsSpace(line[i])) ++i;
  return i;
}

}  // namespace

InstallerArguments ParseInstallerArguments(const std::string& commandLine) {
  InstallerArguments arguments;
  std::size_t i = AfterProgramName(commandLine);
  while (arguments.badArgument.empty()) {
    while (i < commandLine.size() && IsSpace(commandLine[i])) ++i;
    if (i >= commandLine.size()) break;
    // /D= takes the rest of the line as it stands.
    const std::string rest = commandLine.substr(i);
    if (StartsWith(rest, "/D=")) {
      std::string path = rest.substr(3);
      while (!path.empty() && IsSpace(path.back())) path.pop_back();
      if (path.empty()) {
        arguments.badArgument = rest;
      } else {
        arguments.installDir = path;
      }
      break;
    }
    // One argument: up to a space outside quotes; the quotes go.
    std::string token;
    std::string raw;
    bool quoted = false;
    for (; i < commandLine.size() && (quoted || !IsSpace(commandLine[i])); ++i) {
      raw += commandLine[i];
      if (commandLine[i] == '"') {
        quoted = !quoted;
      } else {
        token += commandLine[i];
      }
    }
    if (Is(token, "/S")) {
      arguments.silent = true;
    } else if (Is(token, "/NOICONS")) {
      arguments.noIcons = true;
    } else if (Is(token, "/NODESKTOP")) {
      arguments.noDesktop = true;
    } else if (StartsWith(token, "/LANG=") && token.size() > 6) {
      arguments.languageFile = token.substr(6);
    } else if (StartsWith(token, "/LOG=") && token.size() > 5) {
      arguments.logPath = token.substr(5);
    } else {
      arguments.badArgument = raw;
    }
  }
  return arguments;
}

}  // namespace brindorel
