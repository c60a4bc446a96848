#include "services/private_folder.h"

namespace brindorel {

PlainNameStep ChoosePlainNameStep(const FoundEntry& found) {
  if (!found.exists) return PlainNameStep::Create;
  if (found.isFolder && !found.isLink && found.ownedByUs) return PlainNameStep::RemoveThenCreate;
  return PlainNameStep::UseRandomName;
}

std::string RandomFolderName(const std::string& base, const std::uint8_t* random, std::size_t size) {
  static const char kCharacters[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::string name = base + "-";
  const std::size_t count = size < kRandomNameCharacters ? size : kRandomNameCharacters;
  // The slight lean of "% 36" towards the first characters is of no
  // consequence: the name is created exclusively, never guessed into use.
  for (std::size_t i = 0; i < count; ++i) name += kCharacters[random[i] % 36];
  return name;
}

bool IsRandomFolderName(const std::string& name, const std::string& base) {
  if (name.size() != base.size() + 1 + kRandomNameCharacters || name.compare(0, base.size(), base) != 0 ||
      name[base.size()] != '-')
    return false;
  for (std::size_t i = base.size() + 1; i < name.size(); ++i) {
    const char c = name[i];
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'))) return false;
  }
  return true;
}

}  // namespace brindorel
