// Also runs under Wine.
#include "install/uninstall_record.h"

#include <gtest/gtest.h>

#include <string>

#include "services/ini_document.h"
#include "ui/interface_texts.h"

namespace brindorel {
namespace {

// The first "uninstall.dat" as the builder writes it.
const char kBuilderRecord[] =
    "[Settings]\r\nProgName = Demo\r\nVersion = 1\r\nMutexString = \r\nNoDelAll = 0\r\n"
    "[Files]\r\nF001 = demo.exe\r\nF002 = Uninstall.exe\r\n";

UninstallRecord DemoRecord() {
  UninstallRecord r;
  r.progDir = "C:\\Program Files\\Demo\\";
  r.progExe = "demo.exe";
  r.guid = "{G}";
  r.progLink = "Demo";
  r.startMenu = "C:\\Start\\Demo\\";
  r.desktopIcon = "C:\\Desktop\\Demo.lnk";
  return r;
}

std::string Written(const std::string& before, const UninstallRecord& r) {
  IniDocument doc = IniDocument::Parse(before);
  WriteUninstallRecord(doc, r, DefaultInterfaceTexts("Demo", "1"));
  return doc.Serialize();
}

const char kLanguage[] =
    "[Language]\r\nTitel = uninstall Program\r\n"
    "Msg = Program files And registry entries will be removed.\r\n"
    "UninstInfo = Remove the following Program from your computer:\r\n"
    "DelAll = Delete all(!) files in the directory (including user files).\r\n"
    "Error = Uninstalling Program Not possible.\r\nError2 = Could Not Find 'uninstall.dat':\r\n"
    "Status = Uninstalling completed.\r\nOK = OK\r\nCancel = Cancel\r\nReady = Ready\r\n";

TEST(UninstallRecordTest, CompletesTheBuildersFileInOrder) {
  UninstallRecord r = DemoRecord();
  r.undoList = {"C:\\Desktop\\Tool.lnk", "2147483649|Software\\Demo|Path"};
  const std::string expected =
      std::string("[Settings]\r\nProgName = Demo\r\nVersion = 1\r\nMutexString = \r\nNoDelAll = 0\r\n"
                  "ProgDir = C:\\Program Files\\Demo\\\r\nProgExe = demo.exe\r\nGUID = {G}\r\nProgLink = Demo\r\n"
                  "StartMenu = C:\\Start\\Demo\\\r\nDesktopIcon = C:\\Desktop\\Demo.lnk\r\n"
                  "[Files]\r\nF001 = demo.exe\r\nF002 = Uninstall.exe\r\n") +
      kLanguage +
      "[UserTask]\r\nNumber = 2\r\nTask1 = C:\\Desktop\\Tool.lnk\r\nTask2 = 2147483649|Software\\Demo|Path\r\n";
  const std::string text = Written(kBuilderRecord, r);
  // Compare ignoring the blank lines the rewrite may put between groups.
  std::string compact;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find("\r\n", at);
    if (end == std::string::npos) end = text.size();
    if (end > at) compact += text.substr(at, end - at) + "\r\n";
    at = end + 2;
  }
  EXPECT_EQ(compact, expected);
}

TEST(UninstallRecordTest, ExistingKeysAreReplacedInPlace) {
  UninstallRecord r = DemoRecord();
  const std::string before =
      "[Settings]\r\nProgName = Demo\r\nProgDir = C:\\Old\\\r\nNoDelAll = 1\r\n"
      "[UserTask]\r\nNumber = 5\r\nTask1 = C:\\stale.lnk\r\n";
  IniDocument doc = IniDocument::Parse(before);
  WriteUninstallRecord(doc, r, DefaultInterfaceTexts("Demo", "1"));
  const std::string text = doc.Serialize();
  EXPECT_EQ(text.find("ProgDir"), text.rfind("ProgDir"));
  EXPECT_LT(text.find("ProgDir = C:\\Program Files\\Demo\\"), text.find("NoDelAll"));
  EXPECT_TRUE(HoldsUninstallRecord(doc, r));
  doc.SelectGroup("UserTask");
  EXPECT_EQ(doc.ReadNumber("Number", -1), 0);
}

TEST(UninstallRecordTest, NoTasksNoLinksAndNoFile) {
  UninstallRecord r = DemoRecord();
  r.startMenu.clear();
  r.desktopIcon.clear();
  r.progLink.clear();
  r.progExe = "tool.main.exe";
  // A package without "uninstall.dat": only the groups written here.
  IniDocument doc = IniDocument::Parse("");
  WriteUninstallRecord(doc, r, DefaultInterfaceTexts("Demo", "1"));
  doc.SelectGroup("Settings");
  EXPECT_EQ(doc.ReadString("ProgLink", "-"), "tool");
  EXPECT_EQ(doc.ReadString("StartMenu", "-"), "");
  EXPECT_EQ(doc.ReadString("DesktopIcon", "-"), "");
  EXPECT_EQ(doc.SelectGroup("UserTask"), 1);
  EXPECT_EQ(doc.ReadNumber("Number", -1), 0);
  EXPECT_EQ(doc.ReadString("Task1", "-"), "-");
  EXPECT_EQ(doc.SelectGroup("Files"), 0);
}

TEST(UninstallRecordTest, LanguageTextsComeFromTheChosenLanguage) {
  IniDocument lang = IniDocument::Parse("[Uninstaller]\r\nTitel = Programm entfernen\r\nOK = Gut\r\n");
  InterfaceTexts texts = LoadInterfaceTexts(lang, "Demo", "1");
  IniDocument doc = IniDocument::Parse(kBuilderRecord);
  WriteUninstallRecord(doc, DemoRecord(), texts);
  doc.SelectGroup("Language");
  EXPECT_EQ(doc.ReadString("Titel"), "Programm entfernen");
  EXPECT_EQ(doc.ReadString("OK"), "Gut");
  EXPECT_EQ(doc.ReadString("Cancel"), "Cancel");
}

TEST(UninstallRecordTest, ReadBackCheckNoticesAMissingOrStaleRecord) {
  UninstallRecord r = DemoRecord();
  IniDocument empty = IniDocument::Parse("");
  EXPECT_FALSE(HoldsUninstallRecord(empty, r));
  IniDocument stale = IniDocument::Parse("[Settings]\r\nProgDir = C:\\Old\\\r\n[UserTask]\r\nNumber = 0\r\n");
  EXPECT_FALSE(HoldsUninstallRecord(stale, r));
  r.progDir = "C:\\Old\\";
  EXPECT_TRUE(HoldsUninstallRecord(stale, r));
  r.undoList.push_back("x");
  EXPECT_FALSE(HoldsUninstallRecord(stale, r));
}

// The uninstaller reads the record, perhaps under another code page: ASCII
// stays without the mark, anything else is UTF-8 with it, and a builder's
// file in the code page is read and written back as the same text.
TEST(UninstallRecordTest, NonAsciiRecordsAreUtf8WithTheMark) {
  struct Case {
    const char* name;
    std::string builder;  // the builder's file (a code-page file without the mark)
    std::string progDir;
    bool mark;
  };
  const Case cases[] = {
      {"ascii", kBuilderRecord, "C:\\Program Files\\Demo\\", false},
      {"folder in Greek", kBuilderRecord, "C:\\\xCE\xA0\xCF\x81\xCE\xBF\xCE\xB3\xCF\x81\xCE\xAC\xCE\xBC\xCE\xBC\xCE\xB1\xCF\x84\xCE\xB1\\Demo\\", true},
      {"code-page title", "[Settings]\r\nProgName = Caf\xE9\r\n", "C:\\Demo\\", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UninstallRecord r = DemoRecord();
    r.progDir = c.progDir;
    IniDocument doc = IniDocument::Parse(c.builder, Windows1252());
    WriteUninstallRecord(doc, r, DefaultInterfaceTexts("Demo", "1"));
    const std::string text = doc.Serialize();
    EXPECT_EQ(text.rfind("\xEF\xBB\xBF", 0) == 0, c.mark);
    IniDocument again = IniDocument::Parse(text, Windows1252());
    EXPECT_TRUE(HoldsUninstallRecord(again, r));
    again.SelectGroup("Settings");
    if (c.builder != kBuilderRecord) {
      EXPECT_EQ(again.ReadString("ProgName"), "Caf\xC3\xA9");
    }
  }
}

}  // namespace
}  // namespace brindorel
