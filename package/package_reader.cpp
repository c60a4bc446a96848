#include "package/package_reader.h"

namespace brindorel {

std::vector<std::string> NoCopyExtensions(const std::string& noCopyList) {
  std::vector<std::string> extensions;
  if (noCopyList.empty()) return extensions;
  std::size_t bars = 0;
  for (char c : noCopyList)
    if (c == '|') ++bars;
  if (bars == 0) {
    extensions.push_back(noCopyList);
    return extensions;
  }
  // The text after the last "|" is not a counted field.
  std::size_t start = 0;
  for (std::size_t i = 0; i < bars; ++i) {
    std::size_t end = noCopyList.find('|', start);
    extensions.push_back(noCopyList.substr(start, end - start));
    start = end + 1;
  }
  return extensions;
}

std::string EntryExtension(const std::string& name) {
  std::size_t found = name.find_last_of("./\\");
  if (found == std::string::npos || name[found] != '.') return "";
  std::size_t end = name.find('"', found + 1);
  return name.substr(found + 1, end == std::string::npos ? std::string::npos : end - found - 1);
}

std::string EntryFolderPart(const std::string& name) {
  for (std::size_t i = name.size(); i-- > 0;) {
    if (name[i] == '|') return "";
    if (name[i] == '\\' || name[i] == '/') return name.substr(0, i + 1);
  }
  return "";
}

}  // namespace brindorel
