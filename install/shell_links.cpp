#include "install/shell_links.h"

namespace brindorel {

std::string UninstallCommandText(const std::string& uninstallerPath) {
  const bool quoted = uninstallerPath.size() >= 2 && uninstallerPath.front() == '"' && uninstallerPath.back() == '"';
  if (quoted || uninstallerPath.find(' ') == std::string::npos) return uninstallerPath;
  return "\"" + uninstallerPath + "\"";
}

}  // namespace brindorel
