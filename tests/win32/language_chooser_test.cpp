// Runs the language chooser under Wine; a thread timer plays the user.
#include "ui/language_chooser.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "services/wide_win.h"
#include "ui/control_surface.h"

namespace brindorel {
namespace {

// What the timer saw and which answer it gives.
struct Script {
  int selectLine = 0;  // -1: clear the selection and press OK, then close
  bool close = false;
  std::string title;
  std::vector<std::string> lines;
  int selectedAtStart = -2;
};
Script g_script;

void CALLBACK PlayUser(HWND, UINT, UINT_PTR id, DWORD) {
  HWND window = FindWindowA("BrindorelLanguage", nullptr);
  if (!window) return;
  KillTimer(nullptr, id);
  char text[64];
  GetWindowTextA(window, text, sizeof text);
  g_script.title = text;
  HWND list = GetDlgItem(window, LanguageList);
  HWND ok = GetDlgItem(window, LanguageOk);
  const int count = static_cast<int>(SendMessageW(list, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    wchar_t line[64] = {};
    SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(line));
    g_script.lines.push_back(NarrowUntilZero(line, 64));
  }
  g_script.selectedAtStart = static_cast<int>(SendMessageW(list, CB_GETCURSEL, 0, 0));
  if (g_script.close) {
    PostMessageW(window, WM_CLOSE, 0, 0);
    return;
  }
  SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(g_script.selectLine), 0);
  SendMessageW(ok, BM_CLICK, 0, 0);  // ignored while nothing is selected
  if (g_script.selectLine < 0) PostMessageW(window, WM_CLOSE, 0, 0);
}

std::string RunWithUser(const std::string& list, Script script) {
  g_script = script;
  SetTimer(nullptr, 0, 50, PlayUser);
  return RunLanguageChooser(list);
}

TEST(LanguageChooser, ShowsEntriesAndReturnsTheChosenFile) {
  const std::string list = "english.lng#9|german.lng#7|";
  EXPECT_EQ(RunWithUser(list, Script{}), "english.lng");
  EXPECT_EQ(g_script.title, " Brindorel");
  EXPECT_EQ(g_script.lines, (std::vector<std::string>{" ENGLISH", " GERMAN"}));
  EXPECT_EQ(g_script.selectedAtStart, 0);

  Script second;
  second.selectLine = 1;
  EXPECT_EQ(RunWithUser(list, second), "german.lng");
  EXPECT_EQ(FindWindowA("BrindorelLanguage", nullptr), nullptr);  // closed again
}

TEST(LanguageChooser, CloseOrOkWithoutSelectionGivesNoFile) {
  Script close;
  close.close = true;
  EXPECT_EQ(RunWithUser("english.lng#9|german.lng#7|", close), "");
  Script none;
  none.selectLine = -1;
  EXPECT_EQ(RunWithUser("english.lng#9|german.lng#7|", none), "");
}

// The keyboard alone: the list has the focus, the arrows choose, Return
// takes the choice, Esc closes without one.
std::vector<WPARAM> g_keys;
bool g_listHadFocus = false;

void CALLBACK PressKeys(HWND, UINT, UINT_PTR id, DWORD) {
  HWND window = FindWindowA("BrindorelLanguage", nullptr);
  if (!window || !IsWindowVisible(window)) return;
  KillTimer(nullptr, id);
  HWND focus = GetFocus();
  g_listHadFocus = focus == GetDlgItem(window, LanguageList);
  for (WPARAM key : g_keys) {
    PostMessageW(focus, WM_KEYDOWN, key, 1);
    PostMessageW(focus, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
  }
}

std::string RunWithKeys(std::vector<WPARAM> keys) {
  g_keys = keys;
  g_listHadFocus = false;
  SetTimer(nullptr, 0, 50, PressKeys);
  return RunLanguageChooser("english.lng#9|german.lng#7|finnish.lng#11|");
}

TEST(LanguageChooser, ReturnTakesTheChoiceAndEscClosesWithoutOne) {
  EXPECT_EQ(RunWithKeys({VK_DOWN, VK_DOWN, VK_RETURN}), "finnish.lng");
  EXPECT_TRUE(g_listHadFocus);
  EXPECT_EQ(RunWithKeys({VK_DOWN, VK_DOWN, VK_UP, VK_RETURN}), "german.lng");
  EXPECT_EQ(RunWithKeys({VK_RETURN}), "english.lng");
  EXPECT_EQ(RunWithKeys({VK_DOWN, VK_ESCAPE}), "");
  EXPECT_EQ(FindWindowA("BrindorelLanguage", nullptr), nullptr);
}

}  // namespace
}  // namespace brindorel
