#include "core/command_line.h"

#include <cstddef>

#include "services/text.h"

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

// A process id: 1 to 10 decimal digits, not 0, within 32 bits.
bool ParseProcessId(const std::string& text, std::uint32_t& id) {
  if (text.empty() || text.size() > 10) return false;
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (value == 0 || value > 0xFFFFFFFFu) return false;
  id = static_cast<std::uint32_t>(value);
  return true;
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
    } else if (StartsWith(token, "/LANG=") && token.size() > 6) {
      arguments.languageFile = token.substr(6);
    } else if (StartsWith(token, "/LOG=") && token.size() > 5) {
      arguments.logPath = token.substr(5);
    } else if (StartsWith(token, "/MENU=") && token.size() > 6) {
      arguments.menuFolder = token.substr(6);
    } else if (Is(token, "/DESKTOP") && !arguments.noDesktop) {
      arguments.desktop = true;
    } else if (Is(token, "/NODESKTOP") && !arguments.desktop) {
      arguments.noDesktop = true;
    } else if (Is(token, "/ALLUSERS") && arguments.scope != ScopeRequest::CurrentUser) {
      arguments.scope = ScopeRequest::AllUsers;
    } else if (Is(token, "/CURRENTUSER") && arguments.scope != ScopeRequest::AllUsers) {
      arguments.scope = ScopeRequest::CurrentUser;
    } else if (StartsWith(token, "/HANDOVER=") && ParseProcessId(token.substr(10), arguments.handOver)) {
    } else if (Is(token, "/RESUME")) {
      arguments.resume = true;
    } else {
      arguments.badArgument = raw;
    }
  }
  if (arguments.badArgument.empty() && arguments.resume && arguments.handOver == 0) arguments.badArgument = "/RESUME";
  return arguments;
}

std::string InstallerArgumentsText(const InstallerArguments& a) {
  std::string line;
  auto add = [&line](const std::string& argument) {
    if (!line.empty()) line += ' ';
    // The parser drops quotes wherever they stand in an argument.
    line += argument.find_first_of(" \t") == std::string::npos ? argument : "\"" + argument + "\"";
  };
  if (a.silent) add("/S");
  if (a.noIcons) add("/NOICONS");
  if (a.noDesktop) add("/NODESKTOP");
  if (a.desktop) add("/DESKTOP");
  if (!a.languageFile.empty()) add("/LANG=" + a.languageFile);
  if (!a.logPath.empty()) add("/LOG=" + a.logPath);
  if (!a.menuFolder.empty()) add("/MENU=" + a.menuFolder);
  if (a.scope == ScopeRequest::AllUsers) add("/ALLUSERS");
  if (a.scope == ScopeRequest::CurrentUser) add("/CURRENTUSER");
  if (a.handOver != 0) add("/HANDOVER=" + UnsignedToText(a.handOver));
  if (a.resume) add("/RESUME");
  // The rest of the line, as it stands.
  if (!a.installDir.empty()) line += (line.empty() ? "" : " ") + std::string("/D=") + a.installDir;
  return line;
}

}  // namespace brindorel
