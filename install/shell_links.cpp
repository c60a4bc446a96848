#include "install/shell_links.h"

namespace brindorel {

std::string UninstallCommandText(const std::string& uninstallerPath) {
  const bool quoted = uninstallerPath.size() >= 2 && uninstallerPath.front() == '"' && uninstallerPath.back() == '"';
  if (quoted || uninstallerPath.find(' ') == std::string::npos) return uninstallerPath;
  return "\"" + uninstallerPath + "\"";
}

std::string UninstallEntryKeyName(const UninstallEntryPlan& entry) {
  return entry.guid.empty() ? entry.displayName : entry.guid;
}

std::string QuietUninstallCommandText(const std::string& uninstallerPath) {
  std::string path = uninstallerPath;
  if (path.size() >= 2 && path.front() == '"' && path.back() == '"') path = path.substr(1, path.size() - 2);
  return "\"" + path + "\" /S";
}

std::string InstallDateText(std::uint32_t year, std::uint32_t month, std::uint32_t day) {
  const std::uint32_t digits[8] = {year / 1000 % 10, year / 100 % 10, year / 10 % 10, year % 10,
                                   month / 10 % 10,  month % 10,      day / 10 % 10,  day % 10};
  std::string text;
  for (std::uint32_t digit : digits) text += static_cast<char>('0' + digit);
  return text;
}

std::uint32_t EstimatedSizeKb(std::uint64_t bytes) {
  const std::uint64_t kb = bytes / 1024 + (bytes % 1024 != 0 ? 1 : 0);
  return kb > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<std::uint32_t>(kb);
}

}  // namespace brindorel
