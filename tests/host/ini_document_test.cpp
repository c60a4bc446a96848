// Also runs under Wine.
#include "services/ini_document.h"

#include <gtest/gtest.h>

#include <string>

namespace brindorel {
namespace {

TEST(IniDocumentTest, SpacingAndLineEndsDoNotChangeValues) {
  IniDocument doc = IniDocument::Parse(
      "[Setup]\rTight=a b\r\n \t Loose \t=\t a b \t\n\n\r\r\nEq = x=y=z\nBare\nNext=1\r\n"
      "  [Spaced ] tail\n=nameless\n");
  EXPECT_EQ(doc.SelectGroup("Setup"), 1);
  EXPECT_EQ(doc.ReadString("Tight"), "a b");
  EXPECT_EQ(doc.ReadString("Loose"), "a b");
  EXPECT_EQ(doc.ReadString("Eq"), "x=y=z");
  EXPECT_EQ(doc.ReadString("Bare", "default"), "");
  EXPECT_EQ(doc.ReadNumber("Next", -1), 1);
  EXPECT_EQ(doc.SelectGroup("Spaced "), 1);
  EXPECT_EQ(doc.SelectGroup("Spaced"), 0);
  EXPECT_EQ(doc.SelectGroup("Spaced "), 1);
  EXPECT_EQ(doc.ReadString(""), "nameless");
  EXPECT_FALSE(doc.modified());
}

// Lines are numbered as editors number them, whatever the line ends; the
// mark is not a line, and what a write adds has no line.
TEST(IniDocumentTest, EntriesKeepTheLineTheyWereReadFrom) {
  IniDocument doc = IniDocument::Parse("\xEF\xBB\xBF; c\r\n[A]\n\nOne=1\r\r\n  Two\r[B]\n\n\n");
  doc.SelectGroup("A");
  doc.WriteString("Three", "3");
  std::vector<std::pair<std::string, std::uint32_t>> got;
  for (const IniLine& line : doc.Lines()) got.emplace_back(line.kind == IniLine::Kind::Key ? line.key : line.value, line.number);
  const std::vector<std::pair<std::string, std::uint32_t>> want = {{"c", 1}, {"A", 2}, {"One", 4}, {"Two", 6}, {"Three", 0}, {"B", 7}};
  EXPECT_EQ(got, want);
}

TEST(IniDocumentTest, ZeroByteEndsALineButKeepsTheRest) {
  const std::string text("[A]\nOne=1\0Two=2\n", 16);
  IniDocument doc = IniDocument::Parse(text);
  doc.SelectGroup("A");
  EXPECT_EQ(doc.ReadNumber("One", 0), 1);
  EXPECT_EQ(doc.ReadNumber("Two", 0), 2);
}

TEST(IniDocumentTest, RewriteNormalisesLayout) {
  IniDocument doc = IniDocument::Parse(
      "  ;  two spaces\n;none\n[Info]  trailing\n\n Tight=a b\n\tLoose \t=\t a b \t\n");
  doc.SelectGroup("Info");
  doc.WriteString("New", "v");
  EXPECT_TRUE(doc.modified());
  EXPECT_EQ(doc.Serialize(),
            ";  two spaces\r\n; none\r\n[Info]\r\nTight = a b\r\nLoose = a b \t\r\nNew = v\r\n");
}

TEST(IniDocumentTest, NamesMatchIgnoringOnlyAsciiCase) {
  // A file in the code page: its a-umlaut reads as UTF-8 and goes back as it was.
  IniDocument doc = IniDocument::Parse("[Settings]\nTitel=Demo\n\xE4=umlaut\n");
  EXPECT_EQ(doc.SelectGroup("sETTINGS"), 1);
  EXPECT_EQ(doc.ReadString("TITEL"), "Demo");
  EXPECT_EQ(doc.ReadString("titel"), "Demo");
  EXPECT_EQ(doc.ReadString("\xC3\xA4"), "umlaut");
  EXPECT_EQ(doc.ReadString("\xC3\x84", "none"), "none");
  doc.WriteString("tItEl", "Other");
  EXPECT_EQ(doc.Serialize(), "[Settings]\r\ntItEl = Other\r\n\xE4 = umlaut\r\n");
}

TEST(IniDocumentTest, FirstGroupAndFirstKeyOfANameWin) {
  IniDocument doc = IniDocument::Parse(
      "[Info]\nVersion=1\nVersion=2\n[Info]\nOnlySecond=x\nVersion=3\n");
  doc.SelectGroup("Info");
  EXPECT_EQ(doc.ReadNumber("Version", 0), 1);
  EXPECT_EQ(doc.ReadString("OnlySecond", "missing"), "missing");
  doc.WriteNumber("Version", 9);
  EXPECT_EQ(doc.Serialize(),
            "[Info]\r\nVersion = 9\r\nVersion = 2\r\n[Info]\r\nOnlySecond = x\r\nVersion = 3\r\n");
}

TEST(IniDocumentTest, BlankValueIsEmptyNotDefault) {
  IniDocument doc = IniDocument::Parse("Blank=  \t \nNumber= -12x\n");
  EXPECT_EQ(doc.ReadString("Blank", "default"), "");
  EXPECT_EQ(doc.ReadString("Missing", "default"), "default");
  EXPECT_EQ(doc.ReadNumber("Number", 5), -12);
  EXPECT_EQ(doc.ReadNumber("Blank", 5), 0);
  EXPECT_EQ(doc.ReadNumber("Missing", 5), 5);
}

TEST(IniDocumentTest, PendingGroupHidesKeysAndIsAppendedByAWrite) {
  IniDocument doc = IniDocument::Parse("Top=1\n[A]\nKey=a\n[B]\nKey=b\n");
  doc.SelectGroup("A");
  EXPECT_EQ(doc.SelectGroup("Tasks"), 0);
  // The current group stays A, but nothing is found while Tasks is pending.
  EXPECT_EQ(doc.ReadString("Key", "default"), "default");
  EXPECT_EQ(doc.ReadNumber("Key", 7), 7);
  EXPECT_EQ(doc.SelectGroup("Other"), 0);
  doc.WriteString("Task1", "x");
  doc.WriteString("Task2", "y");
  EXPECT_EQ(doc.SelectGroup("other"), 1);
  EXPECT_EQ(doc.ReadString("Task1"), "x");
  EXPECT_EQ(doc.Serialize(),
            "Top = 1\r\n[A]\r\nKey = a\r\n[B]\r\nKey = b\r\n[Other]\r\nTask1 = x\r\nTask2 = y\r\n");
}

struct PlacementCase {
  const char* name;
  const char* text;
  const char* group;
  const char* expected;
};

class IniPlacementTest : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(IniPlacementTest, NewKeyGoesAfterTheGroupsLastEntry) {
  const PlacementCase& c = GetParam();
  IniDocument doc = IniDocument::Parse(c.text);
  doc.SelectGroup(c.group);
  doc.WriteString("N", "v");
  EXPECT_EQ(doc.Serialize(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, IniPlacementTest, ::testing::Values(
    PlacementCase{"EmptyDocument", "", "", "N = v\r\n"},
    PlacementCase{"UnnamedBeforeHeader", "a=1\n;c\n[G]\nb=2\n", "",
                  "a = 1\r\n; c\r\nN = v\r\n[G]\r\nb = 2\r\n"},
    PlacementCase{"UnnamedWhenHeaderFirst", "[G]\nb=2\n", "", "N = v\r\n[G]\r\nb = 2\r\n"},
    PlacementCase{"MiddleGroup", "[A]\na=1\n[B]\nb=2\n", "A",
                  "[A]\r\na = 1\r\nN = v\r\n[B]\r\nb = 2\r\n"},
    PlacementCase{"EmptyGroup", "[A]\n[B]\n", "A", "[A]\r\nN = v\r\n[B]\r\n"},
    PlacementCase{"LastGroup", "[A]\na=1\n", "A", "[A]\r\na = 1\r\nN = v\r\n"},
    PlacementCase{"MissingGroup", "[A]\na=1\n", "Z", "[A]\r\na = 1\r\n[Z]\r\nN = v\r\n"}),
    [](const ::testing::TestParamInfo<PlacementCase>& param_info) { return std::string(param_info.param.name); });

TEST(IniDocumentTest, Utf8DocumentKeepsItsTextAndItsMark) {
  // Group "Über" and key "Größe" spelt in UTF-8 in the file.
  IniDocument doc = IniDocument::Parse(
      "\xEF\xBB\xBF[\xC3\x9C" "ber]\nGr\xC3\xB6\xC3\x9F" "e=gro\xC3\x9F  \n");
  ASSERT_TRUE(doc.utf8());
  EXPECT_EQ(doc.SelectGroup("\xC3\x9C" "ber"), 1);
  EXPECT_EQ(doc.ReadString("Gr\xC3\xB6\xC3\x9F" "e"), "gro\xC3\x9F");
  doc.WriteString("\xC3\x84", "\xE4\xB8\xAD");
  EXPECT_EQ(doc.Serialize(),
            "\xEF\xBB\xBF\r\n[\xC3\x9C" "ber]\r\nGr\xC3\xB6\xC3\x9F" "e = gro\xC3\x9F  \r\n"
            "\xC3\x84 = \xE4\xB8\xAD\r\n");
  EXPECT_EQ(doc.ReadString("\xC3\x84"), "\xE4\xB8\xAD");

  IniDocument plain = IniDocument::Parse("\xEF\xBB");
  EXPECT_FALSE(plain.utf8());
  EXPECT_EQ(IniDocument::Parse("\xEF\xBB\xBF").Serialize(), "\xEF\xBB\xBF\r\n");
}

struct DecodeCase {
  const char* raw;
  const char* expected;
};

class IniUtf8DecodeTest : public ::testing::TestWithParam<DecodeCase> {};

// Values of a UTF-8 file come back as they are; what is not well-formed
// reads as U+FFFD ("\xEF\xBF\xBD"), never as a cut or empty text.
TEST_P(IniUtf8DecodeTest, ReadsValue) {
  IniDocument doc = IniDocument::Parse(std::string("\xEF\xBB\xBFK=") + GetParam().raw + "\n");
  EXPECT_EQ(doc.ReadString("K", "default"), GetParam().expected) << GetParam().raw;
}

INSTANTIATE_TEST_SUITE_P(Cases, IniUtf8DecodeTest, ::testing::Values(
    DecodeCase{"plain", "plain"},
    DecodeCase{"a\xC3\xA4" "b", "a\xC3\xA4" "b"},
    DecodeCase{"x\xC4\x80", "x\xC4\x80"},                     // U+0100 is a character like any other
    DecodeCase{"x\x80y", "x\xEF\xBF\xBDy"},                   // stray continuation byte
    DecodeCase{"x\xF8\x80", "x\xEF\xBF\xBD\xEF\xBF\xBD"},     // lead byte above F4
    DecodeCase{"x\xC3y", "x\xEF\xBF\xBDy"},                   // bad continuation byte
    DecodeCase{"ab\xC3", "ab\xEF\xBF\xBD"},                   // cut off at the end
    DecodeCase{"\xE0\x83\xBF", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // long form of U+00FF
    DecodeCase{"a\xC0\x80" "b", "a\xEF\xBF\xBD\xEF\xBF\xBD" "b"},        // a long form of zero
    DecodeCase{"a \xC2\xA0", "a \xC2\xA0"}));  // only spaces and tabs are trimmed

// A file without the mark is in a code page: read as UTF-8 inside, written
// back in the page, and as UTF-8 with the mark once it must hold a
// character the page lacks, never with "?".
TEST(IniDocumentTest, CodePageDocumentSwitchesToUtf8OnlyWhenItMust) {
  struct Case {
    const char* name;
    std::string written;   // value written to [S] K
    std::string expected;  // the whole rewrite
  };
  const std::string mark = "\xEF\xBB\xBF\r\n";
  const Case cases[] = {
      {"ascii", "plain", "[S]\r\nA = caf\xE9\r\nK = plain\r\n"},
      {"fits the page", "\xE2\x82\xAC" "5", "[S]\r\nA = caf\xE9\r\nK = \x80" "5\r\n"},
      {"cjk", "\xE4\xB8\xAD", mark + "[S]\r\nA = caf\xC3\xA9\r\nK = \xE4\xB8\xAD\r\n"},
      {"greek", "\xCE\xA3", mark + "[S]\r\nA = caf\xC3\xA9\r\nK = \xCE\xA3\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    IniDocument doc = IniDocument::Parse("[S]\r\nA=caf\xE9\r\n", Windows1252());
    EXPECT_EQ(doc.ReadString("A"), "");  // no group selected yet
    doc.SelectGroup("S");
    EXPECT_EQ(doc.ReadString("A"), "caf\xC3\xA9");
    doc.WriteString("K", c.written);
    EXPECT_EQ(doc.Serialize(), c.expected);
    // Read back in the same page, the text is the same.
    IniDocument again = IniDocument::Parse(doc.Serialize(), Windows1252());
    again.SelectGroup("S");
    EXPECT_EQ(again.ReadString("K"), c.written);
    EXPECT_EQ(again.ReadString("A"), "caf\xC3\xA9");
  }
}

TEST(IniDocumentTest, RecordsForOtherProgramsTakeTheMarkForAnyNonAsciiText) {
  IniDocument ascii = IniDocument::Parse("[S]\r\nA=1\r\n");
  ascii.PreferUtf8ForNonAscii();
  EXPECT_FALSE(ascii.WritesUtf8());
  EXPECT_EQ(ascii.Serialize(), "[S]\r\nA = 1\r\n");
  ascii.SelectGroup("S");
  ascii.WriteString("B", "caf\xC3\xA9");  // fits the page, but takes the mark
  EXPECT_TRUE(ascii.WritesUtf8());
  EXPECT_EQ(ascii.Serialize(), "\xEF\xBB\xBF\r\n[S]\r\nA = 1\r\nB = caf\xC3\xA9\r\n");
}

TEST(IniDocumentTest, WrittenTextIsKeptWellFormed) {
  IniDocument doc = IniDocument::Parse("");
  doc.SelectGroup("G\xFF");
  doc.WriteString("K\x80", "v\xC3");
  EXPECT_EQ(doc.SelectGroup("G\xEF\xBF\xBD"), 1);
  EXPECT_EQ(doc.ReadString("K\xEF\xBF\xBD"), "v\xEF\xBF\xBD");
  EXPECT_EQ(doc.ReadString("K\x80"), "v\xEF\xBF\xBD");  // the key is made well-formed for the look-up too
}

}  // namespace
}  // namespace brindorel
