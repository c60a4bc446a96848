#include "ui/start_menu_chooser.h"

#include <algorithm>

#include "services/folder_rules.h"
#include "services/text.h"
#include "services/utf8.h"

namespace brindorel {
namespace {

unsigned char FoldAscii(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u + 0x20) : u;
}

int Depth(const std::string& path) { return static_cast<int>(std::count(path.begin(), path.end(), '\\')); }

bool Holds(const std::vector<std::string>& folders, const std::string& path) {
  for (const std::string& folder : folders)
    if (EqualIgnoringAsciiCase(folder, path)) return true;
  return false;
}

// Lists `folder` (a full path ending in "\") whose path relative to its root
// is `relative` ("" for the root itself, else ending in "\"), appending each
// acceptable subfolder before opening it. Recursion is bounded by
// kMenuFolderLevels.
void ScanFolder(const std::string& folder, const std::string& relative, int level, const MenuFolderLister& list,
                std::vector<std::string>& folders) {
  for (const MenuFolderEntry& entry : list(folder)) {
    if (!entry.folder || entry.reparsePoint) continue;
    if (entry.name.empty() || entry.name == "." || entry.name == "..") continue;
    const std::string path = relative + entry.name;
    const std::string full = folder + entry.name + "\\";
    // A name holding "\" would make a level of its own; the rules refuse
    // "..", drives and bad characters.
    if (entry.name.find('\\') != std::string::npos || !IsSafeMenuFolderName(path)) continue;
    if (Utf16Length(full) > kLongestMenuFolderPath) continue;
    if (!Holds(folders, path)) folders.push_back(path);
    if (level + 1 < kMenuFolderLevels) ScanFolder(full, path + "\\", level + 1, list, folders);
  }
}

// Component `k` (from 1) of a "\"-separated path; empty past the last.
std::string Component(const std::string& path, int k) { return TextField(path, k, "\\"); }

}  // namespace

const std::vector<ChooserControlLayout>& MenuChooserControls() {
  static const std::vector<ChooserControlLayout> controls = {
      {36, 10, 10, 200, 260},  // MenuFolderTree
      {37, 75, 276, 70, 20},   // ApplyButton
  };
  return controls;
}

std::vector<std::string> ScanMenuFolders(const std::vector<std::string>& roots, const MenuFolderLister& list) {
  std::vector<std::string> folders;
  for (const std::string& root : roots) {
    if (root.empty()) continue;
    const std::string folder = root.back() == '\\' ? root : root + "\\";
    if (Utf16Length(folder) > kLongestMenuFolderPath) continue;
    ScanFolder(folder, "", 0, list, folders);
  }
  return folders;
}

bool MenuFolderPathLess(const std::string& a, const std::string& b) {
  std::size_t i = 0;
  std::size_t j = 0;
  for (;;) {
    const bool aEnds = i == a.size() || a[i] == '\\';
    const bool bEnds = j == b.size() || b[j] == '\\';
    if (aEnds || bEnds) {
      if (aEnds != bEnds) return aEnds;  // the shorter level first
      // The level is equal: a path that ends here comes first.
      if (i == a.size() || j == b.size()) return i == a.size() && j != b.size();
      ++i;
      ++j;
      continue;
    }
    const unsigned char x = FoldAscii(a[i]);
    const unsigned char y = FoldAscii(b[j]);
    if (x != y) return x < y;
    ++i;
    ++j;
  }
}

void SortMenuFolders(std::vector<std::string>& folders) {
  // Paths equal but for letter case are held once, so the order is total;
  // stable all the same for lists made elsewhere.
  std::stable_sort(folders.begin(), folders.end(), MenuFolderPathLess);
}

std::vector<MenuFolderItem> PlaceMenuFolders(const std::vector<std::string>& sortedFolders) {
  std::vector<MenuFolderItem> items;
  std::vector<int> ancestors;  // ancestors[l]: the latest item of level l
  items.reserve(sortedFolders.size());
  for (const std::string& path : sortedFolders) {
    MenuFolderItem item;
    const std::size_t last = path.rfind('\\');
    item.text = last == std::string::npos ? path : path.substr(last + 1);
    item.level = std::min(Depth(path), static_cast<int>(ancestors.size()));
    item.parent = item.level == 0 ? -1 : ancestors[static_cast<std::size_t>(item.level) - 1];
    ancestors.resize(static_cast<std::size_t>(item.level));
    ancestors.push_back(static_cast<int>(items.size()));
    items.push_back(item);
  }
  return items;
}

std::vector<MenuFolderItem> BuildMenuFolderTree(const std::vector<std::string>& roots, const MenuFolderLister& list) {
  std::vector<std::string> folders = ScanMenuFolders(roots, list);
  SortMenuFolders(folders);
  return PlaceMenuFolders(folders);
}

int FindMenuFolderItem(const std::vector<MenuFolderItem>& items, const std::string& path) {
  if (path.empty()) return -1;
  const int count = Depth(path) + 1;
  int k = 1;
  int level = 0;
  int found = -1;
  std::string wanted = Component(path, k);
  for (std::size_t i = 0; i < items.size(); ++i) {
    const MenuFolderItem& item = items[i];
    if (item.level > level) continue;
    if (item.level < level) break;
    if (item.text == wanted) {
      found = static_cast<int>(i);
      ++k;
      ++level;
      if (k > count) break;
      wanted = Component(path, k);
    }
  }
  return found;
}

std::string MenuFolderItemPath(const std::vector<MenuFolderItem>& items, int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= items.size()) return std::string();
  std::string path = items[static_cast<std::size_t>(index)].text;
  // Parents always come before their children, so the walk ends.
  for (int i = items[static_cast<std::size_t>(index)].parent; i >= 0 && i < index;
       i = items[static_cast<std::size_t>(i)].parent) {
    path = items[static_cast<std::size_t>(i)].text + "\\" + path;
    index = i;
  }
  return path;
}

MenuFolderChoice ApplyMenuFolderChoice(const std::vector<MenuFolderItem>& items, int selected,
                                       const std::string& fieldText) {
  MenuFolderChoice choice;
  choice.result = MenuFolderItemPath(items, selected);
  if (choice.result.empty()) {
    choice.result = fieldText;
    choice.showError = true;
  }
  return choice;
}

std::string MenuChooserTitle(const InterfaceTexts& texts) { return " " + texts.Get(TextId::RequesterRQ3Titel); }

std::string MenuChooserErrorTitle(const InterfaceTexts& texts) {
  return " " + texts.Get(TextId::RequesterRQ1Titel);
}

}  // namespace brindorel
