#include "ui/interface_texts.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "services/ini_document.h"

namespace brindorel {
namespace {

InterfaceTexts Load(const std::string& languageFile, const std::string& titel = "Acme Tool",
                    const std::string& version = "2.1") {
  IniDocument ini = IniDocument::Parse(languageFile);
  return LoadInterfaceTexts(ini, titel, version);
}

TEST(InterfaceTexts, TableHoldsEveryTextOnce) {
  std::set<std::string> names;
  for (int i = 0; i < kInterfaceTextCount; ++i) {
    const InterfaceTextEntry& e = InterfaceTextAt(static_cast<TextId>(i));
    EXPECT_TRUE(names.insert(std::string(e.group) + "/" + e.key).second) << e.group << "/" << e.key;
  }
  // 53 of the language files plus Install/Failed, Install/Damaged, Page03/BadFolder and the two scope options
  EXPECT_EQ(names.size(), 58u);
}

TEST(InterfaceTexts, DefaultsComposeTitleAndVersion) {
  const InterfaceTexts t = Load("");
  EXPECT_EQ(t.Get(TextId::Page01Titel), "Welcome to the installation of 'Acme Tool'");
  EXPECT_EQ(t.Get(TextId::Page01Msg1), "Brindorel will now install 'Acme Tool' version 2.1 on your computer.");
  EXPECT_EQ(t.Get(TextId::Page05Install), "Install Program 'Acme Tool'");
  EXPECT_EQ(t.Get(TextId::RequesterRQ4Msg), "Close Program 'Acme Tool' first!");
  EXPECT_EQ(t.Get(TextId::UninstallerError2), "Could Not Find 'uninstall.dat':");
  EXPECT_EQ(t.Get(TextId::InstallFailed), "Failed");
  EXPECT_EQ(t.Get("page01", "MSG1"), t.Get(TextId::Page01Msg1));
  EXPECT_EQ(t.Get("Page01", "NoSuchKey"), "");

  // An empty version leaves two spaces; a title holding a template word stays as written.
  const InterfaceTexts odd = Load("", "{Version}", "");
  EXPECT_EQ(odd.Get(TextId::Page01Msg1), "Brindorel will now install '{Version}' version  on your computer.");
}

TEST(InterfaceTexts, FileValuesReplaceDefaultsGroupByGroup) {
  const InterfaceTexts t = Load(
      "\xEF\xBB\xBF[About]\nAuthor=someone\n"
      "[page01]\nTitel=Willkommen $Titel\nMsg2=\n"
      "[Buttons]\nnext=Weiter\n"
      "[Requester]\nRQ4_Msg=Bitte $Titel schliessen ($Titel)\nRQ4_Msg2=Dann OK!\n");
  EXPECT_EQ(t.Get(TextId::Page01Titel), "Willkommen $Titel");  // only RQ4_Msg is expanded
  EXPECT_EQ(t.Get(TextId::Page01Msg2), "");                     // present and empty
  EXPECT_EQ(t.Get(TextId::Page01Msg3), "Please close all other applications before continuing.");
  EXPECT_EQ(t.Get(TextId::ButtonsNext), "Weiter");
  EXPECT_EQ(t.Get(TextId::ButtonsBack), "Back");
  // [Page02] is missing: its defaults.
  EXPECT_EQ(t.Get(TextId::Page02Titel), "Licence Agreement");
  EXPECT_EQ(RunningWarningText(t, "Acme"), "Bitte Acme schliessen (Acme)\nDann OK!");
  EXPECT_EQ(RunningWarningText(t, "$Titel"), "Bitte $Titel schliessen ($Titel)\nDann OK!");
}

struct ChoiceCase {
  const char* list;
  std::uint16_t languageId;
  const char* file;      // expected result
  bool chooserAsked;
};

class LanguageChoiceTest : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(LanguageChoiceTest, PicksFile) {
  const ChoiceCase& c = GetParam();
  bool asked = false;
  const std::string file = ChooseLanguageFile(c.list, c.languageId, [&](const std::string& list) {
    asked = true;
    return LanguageEntryFile(list, 1);  // the chooser's first line, as OK on the default selection
  });
  EXPECT_EQ(file, c.file) << c.list;
  EXPECT_EQ(asked, c.chooserAsked) << c.list;
}

INSTANTIATE_TEST_SUITE_P(
    Lists, LanguageChoiceTest,
    ::testing::Values(ChoiceCase{"german.lng#7|", 0x040C, "german.lng", false},
                      ChoiceCase{"english.lng", 0x0409, "english.lng", false},
                      ChoiceCase{"", 0x0409, "", false},
                      ChoiceCase{"english.lng#9|german.lng#7", 0x0407, "english.lng", false},
                      ChoiceCase{"english.lng#9|german.lng#7|", 0x0407, "german.lng", false},
                      ChoiceCase{"english.lng#9|german.lng#7|", 0x040C, "english.lng", true},
                      ChoiceCase{"a.lng#7|b.lng# 7x|c.lng#9|", 0x0407, "b.lng", false},  // last match wins
                      // Only the low 9 bits of the id count: 0x409 -> 9, 0x509 -> 265.
                      ChoiceCase{"a.lng#9|b.lng#265|", 0x0409, "a.lng", false},
                      ChoiceCase{"a.lng#9|b.lng#265|", 0x0509, "b.lng", false}));

TEST(LanguageList, ChooserLinesAndEntries) {
  const std::string list = "english.lng#9|deutsch.lng#7|\xC3\xA4rabic#1|";
  EXPECT_EQ(LanguageEntryCount(list), 3);
  const std::vector<std::string> lines = LanguageChooserLines(list);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], " ENGLISH");
  EXPECT_EQ(lines[1], " DEUTSCH");
  EXPECT_EQ(lines[2], " \xC3\xA4RABIC");  // ends at the "#"; only A-Z change case
  EXPECT_EQ(LanguageEntryFile(list, 2), "deutsch.lng");
  EXPECT_EQ(LanguageEntryFile(list, 9), "");
}

}  // namespace
}  // namespace brindorel
