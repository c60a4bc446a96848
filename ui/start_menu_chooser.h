// The start-menu folder chooser: the folders below the user's and all users'
// programs folders merged into one list, sorted level by level, placed as a
// tree, the item a field's text preselects, and the relative path of the
// selected item. The folders are listed through a callback, so the decisions
// hold without a file system; the Windows edge adds the window and the real
// folder listing.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "services/file_system.h"
#include "ui/interface_texts.h"

namespace brindorel {

// The deepest folder listed: at most this many levels below a root. Deeper
// folders are neither listed nor opened.
constexpr int kMenuFolderLevels = 8;
// The longest folder path (trailing "\" included, in UTF-16 units) that is
// listed and opened: the path, the pattern "*.*" and the closing zero fit in
// kPathLimit, as the links later made there must.
constexpr std::size_t kLongestMenuFolderPath = kPathLimit - 4;

// The chooser's window: client area 220 x 300 with the tree and the Apply button.
constexpr int kMenuChooserClientWidth = 220;
constexpr int kMenuChooserClientHeight = 300;
struct ChooserControlLayout {
  int number;
  int x, y, width, height;
};
// MenuFolderTree, then ApplyButton.
const std::vector<ChooserControlLayout>& MenuChooserControls();

// One entry of a folder listing.
struct MenuFolderEntry {
  std::string name;
  bool folder = false;
  bool reparsePoint = false;  // a junction or link: never followed
};

// Lists the entries of `folder` (a full path ending in "\"); an empty list
// when it cannot be listed.
using MenuFolderLister = std::function<std::vector<MenuFolderEntry>(const std::string& folder)>;

// The relative paths ("Accessories", "Accessories\Games") of every folder
// below the roots, each held once (letter case of A-Z ignored, the first
// spelling kept), unsorted. Empty roots are skipped. Left out, together with
// everything below them: "." and "..", reparse points, names that would leave
// the programs folder, folders deeper than kMenuFolderLevels and folders
// whose path is longer than kLongestMenuFolderPath.
std::vector<std::string> ScanMenuFolders(const std::vector<std::string>& roots, const MenuFolderLister& list);

// The tree's order: path levels compared one by one, letter case of A-Z
// ignored, so a folder comes right before the folders inside it
// ("Office", "Office\Tools", "Office Tools").
bool MenuFolderPathLess(const std::string& a, const std::string& b);
void SortMenuFolders(std::vector<std::string>& folders);

// One tree item: the last level of its path, its depth (the number of "\" in
// the path) and the index of its parent item (-1 at the top).
struct MenuFolderItem {
  std::string text;
  int level = 0;
  int parent = -1;
};

// The items of a sorted list in list order. An item deeper than the one before
// becomes its child, an equal one its sibling, a shallower one the sibling of
// that item's ancestor at its level; a jump of more than one level is held at
// one level deeper than the item before.
std::vector<MenuFolderItem> PlaceMenuFolders(const std::vector<std::string>& sortedFolders);

// Scan, sort and place in one.
std::vector<MenuFolderItem> BuildMenuFolderTree(const std::vector<std::string>& roots, const MenuFolderLister& list);

// The item that `path` names, level by level with exact comparison; the
// deepest matching prefix wins; -1 when not even its first level matches.
int FindMenuFolderItem(const std::vector<MenuFolderItem>& items, const std::string& path);

// The relative path of item `index` ("Accessories\Games"); the empty text
// for -1 or an index outside the items.
std::string MenuFolderItemPath(const std::vector<MenuFolderItem>& items, int index);

// What Apply gives: the selected item's path; without a usable selection the
// error box is shown and the field's text is the result.
struct MenuFolderChoice {
  std::string result;
  bool showError = false;
};
MenuFolderChoice ApplyMenuFolderChoice(const std::vector<MenuFolderItem>& items, int selected,
                                       const std::string& fieldText);

// The chooser's title " " + Requester/RQ3_Titel and its error box's title
// " " + Requester/RQ1_Titel.
std::string MenuChooserTitle(const InterfaceTexts& texts);
std::string MenuChooserErrorTitle(const InterfaceTexts& texts);

// ---- Windows only (start_menu_chooser_win.cpp) ----

// The user's and all users' programs folders (either may be empty).
std::vector<std::string> StartMenuRoots();

// Lists a folder with FindFirstFileW, reporting reparse points.
std::vector<MenuFolderEntry> ListMenuFolder(const std::string& folder);

// Opens the chooser over `owner` (an HWND, may be null) with the folders of
// `roots`, preselects the folder `fieldText` names and waits. Apply with a
// folder selected gives its relative path; Apply without one shows the error
// box and gives `fieldText`; closing the window, or a window that cannot be
// opened, gives the empty text. The owner is disabled meanwhile; messages for
// it are still dispatched (it repaints), so a caller that queues events in its
// window procedure drops those queued meanwhile. The window is gone when it
// returns.
std::string RunStartMenuChooser(const InterfaceTexts& texts, const std::vector<std::string>& roots,
                                const std::string& fieldText, void* owner);

}  // namespace brindorel
