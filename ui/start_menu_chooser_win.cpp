#include "ui/start_menu_chooser.h"

#include <windows.h>

#include <commctrl.h>

#include "services/file_system.h"
#include "services/folders.h"
#include "services/utf8.h"
#include "services/wide_win.h"
#include "ui/control_surface.h"
#include "ui/modal_loop.h"

namespace brindorel {
namespace {

const wchar_t kChooserClass[] = L"BrindorelStartMenu";

struct ChooserState {
  HWND tree = nullptr;
  HWND apply = nullptr;
  bool done = false;
  bool applied = false;
  int selected = -1;  // item index at Apply
};

// The item index kept in a tree item's parameter; -1 for none.
int SelectedItem(HWND tree) {
  HTREEITEM item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  if (item == nullptr) return -1;
  TVITEMW data = {};
  data.mask = TVIF_PARAM;
  data.hItem = item;
  if (!SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data))) return -1;
  return static_cast<int>(data.lParam);
}

LRESULT CALLBACK ChooserProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE)
    SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
  auto* state = reinterpret_cast<ChooserState*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!state) return DefWindowProcW(hwnd, msg, wp, lp);
  switch (msg) {
    case WM_COMMAND:
      // Only the button's own click counts: the dialog manager turns Enter
      // and Esc into commands 1 and 2 without a control.
      if (LOWORD(wp) == ApplyButton && HIWORD(wp) == BN_CLICKED && lp != 0 &&
          reinterpret_cast<HWND>(lp) == state->apply && !state->done) {
        state->selected = state->tree ? SelectedItem(state->tree) : -1;
        state->applied = true;
        state->done = true;
      }
      return 0;
    case WM_CLOSE:
      state->done = true;
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      return DefWindowProcW(hwnd, msg, wp, lp);
    default:
      return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

// Centred over `over` (or the screen), kept on the screen.
POINT CentredOver(HWND over, int width, int height) {
  RECT area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  RECT base = area;
  if (over != nullptr) GetWindowRect(over, &base);
  POINT at = {base.left + (base.right - base.left - width) / 2, base.top + (base.bottom - base.top - height) / 2};
  if (at.x + width > area.right) at.x = area.right - width;
  if (at.y + height > area.bottom) at.y = area.bottom - height;
  if (at.x < 0) at.x = 0;
  if (at.y < 0) at.y = 0;
  return at;
}

void FillTree(HWND tree, const std::vector<MenuFolderItem>& items, std::vector<HTREEITEM>& handles) {
  handles.assign(items.size(), nullptr);
  for (std::size_t i = 0; i < items.size(); ++i) {
    const std::wstring text = Wide(items[i].text);
    TVINSERTSTRUCTW insert = {};
    const int parent = items[i].parent;
    insert.hParent = parent >= 0 && static_cast<std::size_t>(parent) < i ? handles[static_cast<std::size_t>(parent)]
                                                                          : TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM;
    insert.item.pszText = const_cast<wchar_t*>(text.c_str());
    insert.item.lParam = static_cast<LPARAM>(i);
    handles[i] = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
  }
}

}  // namespace

std::vector<std::string> StartMenuRoots() { return {GetSpecialFolder(kProgramsFolderId), GetSpecialFolder(kCommonProgramsFolderId)}; }

std::vector<MenuFolderEntry> ListMenuFolder(const std::string& folder) {
  std::vector<MenuFolderEntry> entries;
  if (Utf16Length(folder + "*.*") >= MAX_PATH) return entries;
  const int scan = BeginFolderScan(-1, folder, "*.*");
  if (scan == 0) return entries;
  while (NextFolderEntry(scan) != 0) {
    MenuFolderEntry entry;
    entry.name = FolderEntryName(scan);
    entry.folder = FolderEntryKind(scan) == 2;
    entry.reparsePoint = FolderEntryIsLink(scan);
    entries.push_back(entry);
  }
  EndFolderScan(scan);
  return entries;
}

std::string RunStartMenuChooser(const InterfaceTexts& texts, const std::vector<std::string>& roots,
                                const std::string& fieldText, void* ownerHandle) {
  HWND owner = static_cast<HWND>(ownerHandle);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  INITCOMMONCONTROLSEX common = {sizeof common, ICC_TREEVIEW_CLASSES};
  InitCommonControlsEx(&common);
  WNDCLASSW wc = {};
  if (!GetClassInfoW(instance, kChooserClass, &wc)) {
    wc.lpfnWndProc = ChooserProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kChooserClass;
    if (!RegisterClassW(&wc)) return std::string();
  }

  // 1. The window, hidden until its controls exist.
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  RECT frame = {0, 0, kMenuChooserClientWidth, kMenuChooserClientHeight};
  AdjustWindowRectEx(&frame, style, FALSE, WS_EX_CONTROLPARENT);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  HWND active = GetActiveWindow();
  const POINT at = CentredOver(active != nullptr ? active : owner, width, height);
  ChooserState state;
  const std::string title = MenuChooserTitle(texts);
  HWND window = CreateWindowExW(WS_EX_CONTROLPARENT, kChooserClass, Wide(title).c_str(), style, at.x, at.y, width, height,
                                owner, nullptr, instance, &state);
  if (!window) return std::string();

  const std::vector<ChooserControlLayout>& layout = MenuChooserControls();
  const ChooserControlLayout& treeAt = layout[0];
  const ChooserControlLayout& applyAt = layout[1];
  state.tree = CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"",
                               WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT |
                                   TVS_SHOWSELALWAYS,
                               treeAt.x, treeAt.y, treeAt.width, treeAt.height, window,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(MenuFolderTree)), instance, nullptr);
  const std::string applyText = texts.Get(TextId::ButtonsApply);
  state.apply = CreateWindowExW(0, L"BUTTON", Wide(applyText).c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                                applyAt.x, applyAt.y, applyAt.width, applyAt.height, window,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(ApplyButton)), instance, nullptr);
  HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  for (HWND h : {state.tree, state.apply})
    if (h) SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);

  // 2.-3. The folders of both roots as a tree.
  const std::vector<MenuFolderItem> items = BuildMenuFolderTree(roots, ListMenuFolder);
  std::vector<HTREEITEM> handles;
  if (state.tree) FillTree(state.tree, items, handles);

  // The wizard takes no input while the chooser is open.
  const bool ownerWasEnabled = owner != nullptr && IsWindowEnabled(owner);
  if (ownerWasEnabled) EnableWindow(owner, FALSE);
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);

  // 4.-5. Focus on the tree, the field's folder preselected.
  // A tree that gets the focus without a selection selects its first item;
  // when the field names no folder, nothing stays selected.
  if (state.tree) {
    SetFocus(state.tree);
    const int preselected = FindMenuFolderItem(items, fieldText);
    HTREEITEM item = preselected >= 0 ? handles[static_cast<std::size_t>(preselected)] : nullptr;
    SendMessageW(state.tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
  }

  // 6. Until Apply or the close box; messages for the wizard are handled by
  // its window, and the events it queues meanwhile are dropped by the caller.
  RunModalLoop(window, state.done);

  std::string result;
  if (state.applied) {
    const MenuFolderChoice choice = ApplyMenuFolderChoice(items, state.selected, fieldText);
    if (choice.showError) {
      const std::string message = texts.Get(TextId::RequesterRQ1Msg);
      const std::string errorTitle = MenuChooserErrorTitle(texts);
      MessageBoxW(window, Wide(message).c_str(), Wide(errorTitle).c_str(), MB_OK | MB_ICONHAND);
    }
    result = choice.result;
  }

  // 7. The owner is enabled before the chooser goes, so it gets the activation back.
  if (ownerWasEnabled) EnableWindow(owner, TRUE);
  DestroyWindow(window);
  if (owner != nullptr && IsWindow(owner)) SetActiveWindow(owner);
  return result;
}

}  // namespace brindorel
