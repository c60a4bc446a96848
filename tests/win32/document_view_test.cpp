// The licence and readme views of the real wizard window under Wine: which
// file is streamed, as which format, with which limit and font, and that odd
// documents leave the view usable.
#include "ui/document_view.h"

#include <windows.h>

#include <richedit.h>

#include <gtest/gtest.h>

#include <string>

#include "services/wide_win.h"
#include "ui/document_choice.h"
#include "ui/wizard_window.h"

namespace brindorel {
namespace {

class DocumentViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    folder_ = std::string(temp) + "brindorel_docs_" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(folder_.c_str(), nullptr);
    texts_ = DefaultInterfaceTexts("Acme Tool", "2.1");
    window_ = BuildWizardWindow(texts_, "Acme Tool", "2.1", 0);
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    window_.reset();
    for (const char* name : {"licence.rtf", "licence.txt", "readme.rtf", "readme.txt"})
      DeleteFileA((folder_ + name).c_str());
    RemoveDirectoryA(folder_.c_str());
  }

  void Write(const char* name, const std::string& bytes) {
    HANDLE f = CreateFileA((folder_ + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    DWORD put = 0;
    WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
    CloseHandle(f);
  }
  HWND View(int control) const { return static_cast<HWND>(window_->ControlHandle(control)); }
  std::string Path(const char* name) const { return folder_ + name; }

  std::string folder_;
  InterfaceTexts texts_;
  std::unique_ptr<WizardWindowSurface> window_;
};

TEST_F(DocumentViewTest, RichTextIsPreferredAndFormattedPlainTextShownAsIs) {
  Write("licence.rtf", "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\b Agreement}\\par Terms follow.\\par}");
  Write("licence.txt", "the plain licence");
  Write("readme.txt", "{\\rtf1 not read as rich text}\r\nsecond line");
  window_->SetState(AcceptOption, 1);
  LoadPackageDocuments(*window_, *window_, folder_);

  const std::string licence = window_->GetText(LicenceView);
  EXPECT_EQ(licence.find("Agreement"), 0u) << licence;
  EXPECT_NE(licence.find("Terms follow."), std::string::npos);
  EXPECT_EQ(licence.find("plain licence"), std::string::npos);
  EXPECT_EQ(licence.find("\\rtf1"), std::string::npos);
  // The bold run came through as formatting.
  CHARFORMATA format = {};
  format.cbSize = sizeof format;
  SendMessageA(View(LicenceView), EM_SETSEL, 0, 3);
  SendMessageA(View(LicenceView), EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
  EXPECT_TRUE(format.dwEffects & CFE_BOLD);

  const std::string readme = window_->GetText(ReadmeView);
  EXPECT_EQ(readme.find("{\\rtf1 not read as rich text}"), 0u) << readme;
  EXPECT_NE(readme.find("second line"), std::string::npos);
  // The agreement starts declined.
  EXPECT_EQ(window_->GetState(DeclineOption), 1);
  EXPECT_EQ(window_->GetState(AcceptOption), 1);  // set by the test; the radio pair is only cleared by clicks
}

TEST_F(DocumentViewTest, MissingAndEmptyDocumentsLeaveTheViewsEmpty) {
  Write("licence.txt", "");
  LoadPackageDocuments(*window_, *window_, folder_);
  EXPECT_EQ(window_->GetText(LicenceView), "");
  EXPECT_EQ(window_->GetText(ReadmeView), "");
  EXPECT_EQ(window_->GetState(DeclineOption), 1);
  // A path that cannot be opened changes nothing.
  Write("readme.txt", "kept");
  LoadTextIntoView(*window_, ReadmeView, Path("readme.txt"));
  LoadTextIntoView(*window_, ReadmeView, Path("missing.txt"));
  EXPECT_EQ(window_->GetText(ReadmeView), "kept");
}

TEST_F(DocumentViewTest, LongRichTextIsNotCutAndTheLimitIsRaised) {
  // About 40,000 characters, past the control's default of 32,767.
  std::string rtf = "{\\rtf1\\ansi ";
  std::string line(99, 'x');
  for (int i = 0; i < 400; ++i) rtf += line + std::to_string(i % 10) + "\\par\n";
  rtf += "END}";
  Write("licence.rtf", rtf);
  LoadTextIntoView(*window_, LicenceView, Path("licence.rtf"));
  EXPECT_EQ(static_cast<std::uint32_t>(SendMessageA(View(LicenceView), EM_GETLIMITTEXT, 0, 0)), kDocumentTextLimit);
  const std::string text = window_->GetText(LicenceView);
  EXPECT_GT(text.size(), 40000u);
  EXPECT_NE(text.find("END"), std::string::npos);
}

TEST_F(DocumentViewTest, PlainTextTakesTheGuiFontAndWrapsAtTheViewWidth) {
  std::string words;
  for (int i = 0; i < 60; ++i) words += "word" + std::to_string(i) + " ";
  Write("readme.txt", words);
  LoadTextIntoView(*window_, ReadmeView, Path("readme.txt"));
  LOGFONTA gui;
  ASSERT_TRUE(GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof gui, &gui));
  CHARFORMATA format = {};
  format.cbSize = sizeof format;
  SendMessageA(View(ReadmeView), EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
  EXPECT_STREQ(format.szFaceName, gui.lfFaceName);
  EXPECT_FALSE(format.dwEffects & CFE_BOLD);
  // One line of text without breaks takes several lines of the view.
  EXPECT_GT(SendMessageA(View(ReadmeView), EM_GETLINECOUNT, 0, 0), 1);
}

TEST_F(DocumentViewTest, OddDocumentsNeverBreakTheView) {
  // Every byte value, a zero byte among them, in a plain text past 32 KB.
  std::string bytes;
  for (int round = 0; round < 160; ++round)
    for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
  Write("readme.txt", bytes);
  LoadTextIntoView(*window_, ReadmeView, Path("readme.txt"));
  EXPECT_TRUE(IsWindow(View(ReadmeView)));

  // Bytes that are no Rich Text at all, and a rich text cut in a group.
  std::string noise;
  std::uint32_t seed = 12345;
  for (int i = 0; i < 20000; ++i) {
    seed = seed * 1103515245u + 12345u;
    noise += static_cast<char>(seed >> 24);
  }
  Write("licence.rtf", noise);
  LoadTextIntoView(*window_, LicenceView, Path("licence.rtf"));
  Write("licence.rtf", "{\\rtf1\\ansi{\\fonttbl{\\f0 Ari");
  LoadTextIntoView(*window_, LicenceView, Path("licence.rtf"));
  EXPECT_TRUE(IsWindow(View(LicenceView)));

  // The views stay read-only and answer.
  SendMessageA(View(ReadmeView), WM_CHAR, 'Z', 0);
  EXPECT_TRUE(GetWindowLongA(View(ReadmeView), GWL_STYLE) & ES_READONLY);
  window_->GetText(ReadmeView);
}

// Plain text by its mark: UTF-8, UTF-16 little-endian, else the system's
// code page; every character arrives in the view.
TEST_F(DocumentViewTest, PlainTextEncodingsFollowTheMark) {
  const std::string greek = "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAC \xE6\x96\x87";
  struct Case {
    const char* name;
    std::string bytes;
    std::string shown;
  };
  const Case cases[] = {
      {"utf-8", "\xEF\xBB\xBF" + greek, greek},
      {"utf-16", std::string("\xFF\xFE\x95\x03\xBB\x03\x20\x00\x87\x65", 10), "\xCE\x95\xCE\xBB \xE6\x96\x87"},
      {"code page", "caf\xE9", SystemCodePage().toUtf8("caf\xE9")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Write("readme.txt", c.bytes);
    LoadTextIntoView(*window_, ReadmeView, Path("readme.txt"));
    EXPECT_EQ(window_->GetText(ReadmeView), c.shown);
  }
}

TEST_F(DocumentViewTest, RichEditComesFromTheSystemFolderAndStaysLoaded) {
  HMODULE module = GetModuleHandleA("riched20.dll");
  ASSERT_NE(module, nullptr);
  char loaded[MAX_PATH];
  char system[MAX_PATH];
  GetModuleFileNameA(module, loaded, MAX_PATH);
  GetSystemDirectoryA(system, MAX_PATH);
  EXPECT_EQ(lstrcmpiA((std::string(system) + "\\riched20.dll").c_str(), loaded), 0) << loaded;
  Write("readme.txt", "still here");
  LoadTextIntoView(*window_, ReadmeView, Path("readme.txt"));
  EXPECT_NE(GetModuleHandleA("riched20.dll"), nullptr);
  EXPECT_EQ(window_->GetText(ReadmeView), "still here");
}

}  // namespace
}  // namespace brindorel
