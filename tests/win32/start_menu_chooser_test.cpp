// The start-menu chooser under Wine: real folders made by the test below two
// programs folders of its own, the tree read back in order, preselection,
// Apply, the error box, the close box, the owner held while it is open, and a
// junction loop (or, where no junction can be made, a deep tree) that the
// scan does not follow. A thread timer plays the user inside the chooser's
// own message loop.
#include "ui/start_menu_chooser.h"

#include <windows.h>

#include <commctrl.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "ui/control_surface.h"

namespace brindorel {
namespace {

std::string TestRoot() {
  char temp[MAX_PATH];
  const DWORD length = GetTempPathA(MAX_PATH, temp);
  return std::string(temp, length) + "menu-chooser-test\\";
}

void RemoveTree(const std::string& folder) {
  // A junction is removed as the link itself, never followed.
  const DWORD attributes = GetFileAttributesA(folder.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "*.*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        const std::string name = data.cFileName;
        if (name == "." || name == "..") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
          RemoveTree(folder + name + "\\");
        else
          DeleteFileA((folder + name).c_str());
      } while (FindNextFileA(find, &data));
      FindClose(find);
    }
  }
  RemoveDirectoryA(folder.c_str());
}

void MakeFolders(const std::string& root, const std::vector<std::string>& relative) {
  CreateDirectoryA(root.c_str(), nullptr);
  for (const std::string& path : relative) {
    std::string at = root;
    std::size_t start = 0;
    for (;;) {
      const std::size_t end = path.find('\\', start);
      at += path.substr(start, end - start) + "\\";
      CreateDirectoryA(at.c_str(), nullptr);
      if (end == std::string::npos) break;
      start = end + 1;
    }
  }
}

// A junction `link` pointing at `target` (both full paths without final "\").
bool MakeJunction(const std::string& link, const std::string& target) {
  if (!CreateDirectoryA(link.c_str(), nullptr)) return false;
  HANDLE h = CreateFileA(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    RemoveDirectoryA(link.c_str());
    return false;
  }
  // The mount-point reparse buffer: tag, data length, reserved, then the
  // substitute and print names' offsets and lengths and the names.
  struct {
    DWORD tag;
    WORD length;
    WORD reserved;
    WORD substituteOffset, substituteLength, printOffset, printLength;
    WCHAR names[MAX_PATH * 2];
  } buffer = {};
  const std::string nt = "\\??\\" + target;
  WCHAR wide[MAX_PATH + 8] = {};
  const int chars = MultiByteToWideChar(CP_ACP, 0, nt.c_str(), -1, wide, MAX_PATH + 8) - 1;
  const WORD bytes = static_cast<WORD>(chars * 2);
  buffer.tag = IO_REPARSE_TAG_MOUNT_POINT;
  buffer.substituteLength = bytes;
  buffer.printOffset = static_cast<WORD>(bytes + 2);
  std::memcpy(buffer.names, wide, bytes);
  buffer.length = static_cast<WORD>(8 + bytes + 2 + 2);
  DWORD got = 0;
  const BOOL ok = DeviceIoControl(h, FSCTL_SET_REPARSE_POINT, &buffer, 8u + buffer.length, nullptr, 0, &got, nullptr);
  CloseHandle(h);
  const DWORD attributes = GetFileAttributesA(link.c_str());
  if (ok && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return true;
  RemoveDirectoryA(link.c_str());
  return false;
}

// What the user does and what was seen.
struct Seen {
  std::string title;
  SIZE client{};
  RECT treeRect{}, applyRect{};
  std::string applyText;
  std::vector<std::string> items;  // depth-first, each as level + ":" + text
  std::string selectedAtStart;
  bool treeHadFocus = false;
  bool ownerEnabled = true;
  std::string errorTitle;
  std::string errorText;
};

struct Script {
  std::function<void(HWND window, HWND tree, Seen& seen)> act;
  Seen seen;
  bool answeredError = false;
  HWND owner = nullptr;
};
Script* g_script = nullptr;

std::string ItemText(HWND tree, HTREEITEM item) {
  char text[MAX_PATH] = {};
  TVITEMA data = {};
  data.mask = TVIF_TEXT;
  data.hItem = item;
  data.pszText = text;
  data.cchTextMax = sizeof text;
  SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&data));
  return text;
}

void ReadItems(HWND tree, HTREEITEM item, int level, std::vector<std::string>& out) {
  for (; item != nullptr; item = TreeView_GetNextSibling(tree, item)) {
    out.push_back(std::to_string(level) + ":" + ItemText(tree, item));
    ReadItems(tree, TreeView_GetChild(tree, item), level + 1, out);
  }
}

// The item whose path (texts joined by "\") is `path`, or nullptr.
HTREEITEM ItemByPath(HWND tree, const std::string& path) {
  HTREEITEM item = TreeView_GetRoot(tree);
  HTREEITEM found = nullptr;
  std::size_t start = 0;
  while (item != nullptr) {
    const std::size_t end = path.find('\\', start);
    const std::string part = path.substr(start, end - start);
    while (item != nullptr && ItemText(tree, item) != part) item = TreeView_GetNextSibling(tree, item);
    if (item == nullptr) return nullptr;
    found = item;
    if (end == std::string::npos) return found;
    start = end + 1;
    item = TreeView_GetChild(tree, item);
  }
  return nullptr;
}

std::string PathOf(HWND tree, HTREEITEM item) {
  std::string path;
  for (; item != nullptr; item = TreeView_GetParent(tree, item))
    path = path.empty() ? ItemText(tree, item) : ItemText(tree, item) + "\\" + path;
  return path;
}

void CALLBACK PlayUser(HWND, UINT, UINT_PTR id, DWORD) {
  Script& script = *g_script;
  // The error box: read it, press OK.
  HWND box = FindWindowA("#32770", nullptr);
  if (box != nullptr && !script.answeredError) {
    char text[256] = {};
    GetWindowTextA(box, text, sizeof text);
    script.seen.errorTitle = text;
    HWND label = GetDlgItem(box, 0xFFFF);
    if (label != nullptr) {
      GetWindowTextA(label, text, sizeof text);
      script.seen.errorText = text;
    }
    script.answeredError = true;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    return;
  }
  HWND window = FindWindowA("BrindorelStartMenu", nullptr);
  if (window == nullptr || !IsWindowVisible(window) || !script.act) return;
  HWND tree = GetDlgItem(window, MenuFolderTree);
  HWND apply = GetDlgItem(window, ApplyButton);
  Seen& seen = script.seen;
  char text[256] = {};
  GetWindowTextA(window, text, sizeof text);
  seen.title = text;
  RECT client{};
  GetClientRect(window, &client);
  seen.client = {client.right, client.bottom};
  GetWindowRect(tree, &seen.treeRect);
  MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&seen.treeRect), 2);
  GetWindowRect(apply, &seen.applyRect);
  MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&seen.applyRect), 2);
  GetWindowTextA(apply, text, sizeof text);
  seen.applyText = text;
  ReadItems(tree, TreeView_GetRoot(tree), 0, seen.items);
  seen.selectedAtStart = PathOf(tree, TreeView_GetSelection(tree));
  seen.treeHadFocus = GetFocus() == tree;
  if (script.owner != nullptr) seen.ownerEnabled = IsWindowEnabled(script.owner) != 0;
  auto act = script.act;
  script.act = nullptr;  // once; the timer goes on for the error box
  act(window, tree, seen);
  (void)id;
}

std::string RunChooser(const std::vector<std::string>& roots, const std::string& field, Script& script) {
  g_script = &script;
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, PlayUser);
  const std::string result =
      RunStartMenuChooser(DefaultInterfaceTexts("Acme", "1.0"), roots, field, script.owner);
  KillTimer(nullptr, timer);
  g_script = nullptr;
  return result;
}

void Select(HWND tree, const std::string& path) {
  HTREEITEM item = ItemByPath(tree, path);
  if (item != nullptr) TreeView_SelectItem(tree, item);
}

void PressApply(HWND window) { PostMessageW(GetDlgItem(window, ApplyButton), BM_CLICK, 0, 0); }

class StartMenuChooserWin : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoveTree(TestRoot());
    CreateDirectoryA(TestRoot().c_str(), nullptr);
    user_ = TestRoot() + "user\\";
    common_ = TestRoot() + "common\\";
    MakeFolders(user_, {"Microsoft Office Tools", "Microsoft Office\\Tools", "beta", "Tools\\Mine"});
    MakeFolders(common_, {"Alpha", "tools\\Shared", "Gamma\\Deep\\Er"});
    CloseHandle(CreateFileA((user_ + "beta\\link.lnk").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                            nullptr));
  }
  void TearDown() override { RemoveTree(TestRoot()); }
  std::string user_, common_;
};

TEST_F(StartMenuChooserWin, ShowsTheMergedTreeInOrderAndApplyGivesTheSelectedFolder) {
  Script script;
  script.act = [](HWND window, HWND tree, Seen&) {
    Select(tree, "Gamma\\Deep");
    PressApply(window);
  };
  EXPECT_EQ(RunChooser({user_, "", common_}, "Microsoft Office\\Tools\\Acme", script), "Gamma\\Deep");
  const Seen& seen = script.seen;
  EXPECT_EQ(seen.title, " " + DefaultInterfaceTexts("Acme", "1.0").Get(TextId::RequesterRQ3Titel));
  EXPECT_EQ(seen.client.cx, 220);
  EXPECT_EQ(seen.client.cy, 300);
  EXPECT_EQ(seen.treeRect.left, 10);
  EXPECT_EQ(seen.treeRect.top, 10);
  EXPECT_EQ(seen.treeRect.right - seen.treeRect.left, 200);
  EXPECT_EQ(seen.treeRect.bottom - seen.treeRect.top, 260);
  EXPECT_EQ(seen.applyRect.left, 75);
  EXPECT_EQ(seen.applyRect.top, 276);
  EXPECT_EQ(seen.applyRect.right - seen.applyRect.left, 70);
  EXPECT_EQ(seen.applyRect.bottom - seen.applyRect.top, 20);
  EXPECT_EQ(seen.applyText, DefaultInterfaceTexts("Acme", "1.0").Get(TextId::ButtonsApply));
  // "tools" of all users is merged into the user's "Tools"; the subfolder of
  // "Microsoft Office" sits under it, before "Microsoft Office Tools".
  EXPECT_EQ(seen.items, (std::vector<std::string>{"0:Alpha", "0:beta", "0:Gamma", "1:Deep", "2:Er",
                                                  "0:Microsoft Office", "1:Tools", "0:Microsoft Office Tools",
                                                  "0:Tools", "1:Mine", "1:Shared"}));
  EXPECT_EQ(seen.selectedAtStart, "Microsoft Office\\Tools");
  EXPECT_TRUE(seen.treeHadFocus);
}

TEST_F(StartMenuChooserWin, ApplyWithoutSelectionShowsTheErrorBoxAndKeepsTheField) {
  Script script;
  script.act = [](HWND window, HWND, Seen&) { PressApply(window); };
  EXPECT_EQ(RunChooser({user_, common_}, "Nowhere\\Acme", script), "Nowhere\\Acme");
  EXPECT_EQ(script.seen.selectedAtStart, "");
  EXPECT_TRUE(script.answeredError);
  const InterfaceTexts texts = DefaultInterfaceTexts("Acme", "1.0");
  EXPECT_EQ(script.seen.errorTitle, " " + texts.Get(TextId::RequesterRQ1Titel));
  EXPECT_EQ(script.seen.errorText, texts.Get(TextId::RequesterRQ1Msg));
}

TEST_F(StartMenuChooserWin, TheCloseBoxGivesTheEmptyTextAndTheOwnerIsHeldMeanwhile) {
  HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200, nullptr,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(owner, nullptr);
  Script script;
  script.owner = owner;
  script.act = [](HWND window, HWND tree, Seen&) {
    Select(tree, "Alpha");
    PostMessageW(window, WM_CLOSE, 0, 0);
  };
  EXPECT_EQ(RunChooser({user_, common_}, "beta", script), "");
  EXPECT_EQ(script.seen.selectedAtStart, "beta");
  EXPECT_FALSE(script.seen.ownerEnabled);
  EXPECT_TRUE(IsWindowEnabled(owner));
  EXPECT_EQ(FindWindowA("BrindorelStartMenu", nullptr), nullptr);
  DestroyWindow(owner);
}

// The keyboard alone: the arrows move in the tree, Return takes the
// selection, Esc closes without a result.
void PostKeys(HWND target, std::initializer_list<WPARAM> keys) {
  for (WPARAM key : keys) {
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
  }
}

TEST_F(StartMenuChooserWin, ReturnTakesTheSelectionAndEscClosesWithoutOne) {
  Script script;
  // "Alpha", "beta", "Gamma": Down from "beta" is "Gamma".
  script.act = [](HWND, HWND tree, Seen&) { PostKeys(tree, {VK_DOWN, VK_RETURN}); };
  EXPECT_EQ(RunChooser({user_, common_}, "beta", script), "Gamma");
  EXPECT_TRUE(script.seen.treeHadFocus);

  Script escape;
  escape.act = [](HWND, HWND tree, Seen&) { PostKeys(tree, {VK_DOWN, VK_ESCAPE}); };
  EXPECT_EQ(RunChooser({user_, common_}, "beta", escape), "");

  // Return on the Apply button, reached with Tab.
  Script tab;
  tab.act = [](HWND window, HWND tree, Seen&) {
    PostKeys(tree, {VK_TAB});
    PostMessageW(window, WM_NULL, 0, 0);
    PostKeys(GetDlgItem(window, ApplyButton), {VK_RETURN});
  };
  EXPECT_EQ(RunChooser({user_, common_}, "Tools\\Mine", tab), "Tools\\Mine");
}

TEST_F(StartMenuChooserWin, WindowAndControlsFollowTheScreenResolution) {
  Script script;
  script.act = [](HWND window, HWND, Seen& seen) {
    RECT frame;
    GetWindowRect(window, &frame);
    RECT suggested = {frame.left, frame.top, frame.left + 400, frame.top + 500};
    SendMessageW(window, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
    RECT client{};
    GetClientRect(window, &client);
    seen.client = {client.right, client.bottom};
    GetWindowRect(GetDlgItem(window, ApplyButton), &seen.applyRect);
    MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&seen.applyRect), 2);
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(GetDlgItem(window, ApplyButton), WM_GETFONT, 0, 0)), sizeof font,
               &font);
    seen.errorText = std::to_string(font.lfHeight);
    PostMessageW(window, WM_CLOSE, 0, 0);
  };
  EXPECT_EQ(RunChooser({user_, common_}, "beta", script), "");
  EXPECT_EQ(script.seen.client.cx, 440);
  EXPECT_EQ(script.seen.client.cy, 600);
  EXPECT_EQ(script.seen.applyRect.left, 150);
  EXPECT_EQ(script.seen.applyRect.top, 552);
  EXPECT_EQ(script.seen.applyRect.right - script.seen.applyRect.left, 140);
  EXPECT_EQ(script.seen.applyRect.bottom - script.seen.applyRect.top, 40);
  EXPECT_EQ(script.seen.errorText, std::to_string(-MulDiv(8, 192, 72)));
}

TEST_F(StartMenuChooserWin, EmptyRootsGiveAnEmptyTree) {
  Script script;
  script.act = [](HWND window, HWND, Seen&) { PressApply(window); };
  EXPECT_EQ(RunChooser({"", TestRoot() + "missing\\"}, "Acme", script), "Acme");
  EXPECT_TRUE(script.seen.items.empty());
  EXPECT_TRUE(script.answeredError);
}

// A junction that points back at its own root would make the scan endless;
// it is skipped. A deep tree ends at the depth cap either way.
TEST_F(StartMenuChooserWin, AJunctionLoopIsNotFollowedAndDeepTreesAreCapped) {
  const std::string root = TestRoot() + "loop\\";
  std::string deep = "d0";
  for (int i = 1; i < kMenuFolderLevels + 4; ++i) deep += "\\d" + std::to_string(i);
  MakeFolders(root, {"Real", deep});
  const bool junction = MakeJunction(root + "Real\\Back", root.substr(0, root.size() - 1));
  if (!junction) std::printf("[ note ] no junction could be made here; the depth cap is tested alone\n");

  const std::vector<std::string> folders = ScanMenuFolders({root}, ListMenuFolder);
  std::size_t deepCount = 0;
  for (const std::string& f : folders) {
    EXPECT_EQ(f.find("Back"), std::string::npos) << f;
    if (f.compare(0, 2, "d0") == 0) ++deepCount;
  }
  EXPECT_EQ(deepCount, static_cast<std::size_t>(kMenuFolderLevels));
  EXPECT_NE(std::find(folders.begin(), folders.end(), "Real"), folders.end());
  if (junction) {
    const std::vector<MenuFolderEntry> entries = ListMenuFolder(root + "Real\\");
    bool flagged = false;
    for (const MenuFolderEntry& e : entries)
      if (e.name == "Back") flagged = e.reparsePoint;
    EXPECT_TRUE(flagged);
  }
}

TEST(StartMenuRootsWin, BothProgramsFoldersEndInASeparator) {
  const std::vector<std::string> roots = StartMenuRoots();
  ASSERT_EQ(roots.size(), 2u);
  for (const std::string& root : roots) {
    ASSERT_FALSE(root.empty());
    EXPECT_EQ(root.back(), '\\');
    EXPECT_NE(GetFileAttributesA(root.c_str()), INVALID_FILE_ATTRIBUTES) << root;
  }
  EXPECT_NE(roots[0], roots[1]);
}

}  // namespace
}  // namespace brindorel
