// Also runs under Wine.
#include "services/text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace brindorel {
namespace {

struct FieldCase {
  const char* text;
  std::int32_t field;
  const char* separator;
  const char* expected;
};

class TextFieldTest : public ::testing::TestWithParam<FieldCase> {};

TEST_P(TextFieldTest, PicksField) {
  const FieldCase& c = GetParam();
  EXPECT_EQ(TextField(c.text, c.field, c.separator), c.expected)
      << '"' << c.text << "\" field " << c.field << " at \"" << c.separator << '"';
}

INSTANTIATE_TEST_SUITE_P(Cases, TextFieldTest, ::testing::Values(
    FieldCase{"deutsch.lng#7|", 1, "#", "deutsch.lng"},
    FieldCase{"deutsch.lng#7|", 2, "#", "7|"},
    FieldCase{"dat|", 1, "|", "dat"},
    FieldCase{"dat|", 2, "|", ""},
    FieldCase{"a|b|c", 0, "|", "a"},
    FieldCase{"a|b|c", 3, "|", "c"},
    FieldCase{"a|b|c", 4, "|", ""},
    FieldCase{"a||c", 2, "|", ""},
    FieldCase{"a||c", 3, "|", "c"},
    FieldCase{"|a", 1, "|", ""},
    FieldCase{"a|b#c", 2, "|#", "b#c"},
    FieldCase{"aXbxc", 2, "x", "c"},
    FieldCase{"a|b", 1, "", "a|b"},
    FieldCase{"a|b", 2, "", ""},
    FieldCase{"", 1, "|", ""}));

TEST(TextTest, CountOccurrencesIsNonOverlapping) {
  EXPECT_EQ(CountOccurrences("%%%", "%%"), 1);
  EXPECT_EQ(CountOccurrences("%%%%", "%%"), 2);
  EXPECT_EQ(CountOccurrences("%name%", "%"), 2);
  EXPECT_EQ(CountOccurrences("abc", ""), 0);
  EXPECT_EQ(CountOccurrences("", "a"), 0);
  EXPECT_EQ(CountOccurrences("aAa", "a"), 2);
}

TEST(TextTest, ReplaceAllDoesNotRescanReplacement) {
  EXPECT_EQ(ReplaceAll("aaa", "a", "aa"), "aaaaaa");
  EXPECT_EQ(ReplaceAll("%%%", "%%", "%"), "%%");
  EXPECT_EQ(ReplaceAll("x%A%y", "%A%", "C:\\"), "xC:\\y");
  EXPECT_EQ(ReplaceAll("abc", "B", "x"), "abc");
  EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
  EXPECT_EQ(RemoveAll("a|b|c|", "|"), "abc");
  EXPECT_EQ(RemoveAll("abc", ""), "abc");
}

TEST(TextTest, PartsClampTheirArguments) {
  EXPECT_EQ(LeftPart("abcdef", 2), "ab");
  EXPECT_EQ(LeftPart("abc", -1), "");
  EXPECT_EQ(LeftPart("abc", 99), "abc");
  EXPECT_EQ(RightPart("abcdef", 2), "ef");
  EXPECT_EQ(RightPart("abc", -1), "");
  EXPECT_EQ(RightPart("abc", 99), "abc");
  EXPECT_EQ(MiddlePart("abcdef", 2, 3), "bcd");
  EXPECT_EQ(MiddlePart("abcdef", 0, 2), "ab");
  EXPECT_EQ(MiddlePart("abcdef", -7, 2), "ab");
  EXPECT_EQ(MiddlePart("abcdef", 6, 9), "f");
  EXPECT_EQ(MiddlePart("abcdef", 7, 1), "");
  EXPECT_EQ(MiddlePart("abcdef", 2, -1), "");
  EXPECT_EQ(MiddlePart("abc", 2, INT32_MAX), "bc");
}

TEST(TextTest, TrimSpacesRemovesOnlySpaces) {
  EXPECT_EQ(TrimSpaces("  a b  "), "a b");
  EXPECT_EQ(TrimSpaces("\ta "), "\ta");
  EXPECT_EQ(TrimSpaces("   "), "");
  EXPECT_EQ(TrimSpaces(""), "");
}

TEST(TextTest, UpperCaseRaisesAsciiOnlyAndKeepsUtf8Whole) {
  EXPECT_EQ(UpperCase("abz{AZ09"), "ABZ{AZ09");
  // "Ã¤" (a umlaut), "ä¸­" (a CJK character): their bytes stay.
  EXPECT_EQ(UpperCase("\xC3\xA4x\xE4\xB8\xAD\xF7\xFF"), "\xC3\xA4X\xE4\xB8\xAD\xF7\xFF");
  EXPECT_EQ(UpperCase("`"), "`");
}

struct NumberCase {
  const char* text;
  std::uint32_t bits;
};

class TextToNumberTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(TextToNumberTest, Converts) {
  EXPECT_EQ(static_cast<std::uint32_t>(TextToNumber(GetParam().text)), GetParam().bits)
      << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(Cases, TextToNumberTest, ::testing::Values(
    NumberCase{"123abc", 123u},
    NumberCase{"abc", 0u},
    NumberCase{"  -7", static_cast<std::uint32_t>(-7)},
    NumberCase{"\t +42", 42u},
    NumberCase{"- 5", 0u},
    NumberCase{"--5", 0u},
    NumberCase{"2147483647", 0x7FFFFFFFu},
    NumberCase{"2147483649", 0x80000001u},
    NumberCase{"-2147483647", 0x80000001u},
    NumberCase{"-2147483648", 0x80000000u},
    NumberCase{"4294967296", 0u},
    NumberCase{"99999999999999999999", 0x630FFFFFu},
    NumberCase{"12 34", 12u}));

TEST(TextTest, NumbersToText) {
  EXPECT_EQ(NumberToText(0), "0");
  EXPECT_EQ(NumberToText(-15), "-15");
  EXPECT_EQ(NumberToText(INT32_MAX), "2147483647");
  EXPECT_EQ(NumberToText(INT32_MIN), "-2147483648");
  EXPECT_EQ(UnsignedToText(0x80000001u), "2147483649");
  EXPECT_EQ(UnsignedToText(0xFFFFFFFFu), "4294967295");
}

struct PathCase {
  const char* path;
  const char* extension;
  const char* file_name;
  const char* folder;
};

class PathPartsTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(PathPartsTest, Splits) {
  const PathCase& c = GetParam();
  EXPECT_EQ(PathExtension(c.path), c.extension) << c.path;
  EXPECT_EQ(PathFileName(c.path), c.file_name) << c.path;
  EXPECT_EQ(PathFolderPart(c.path), c.folder) << c.path;
}

INSTANTIATE_TEST_SUITE_P(Cases, PathPartsTest, ::testing::Values(
    PathCase{"C:\\Apps\\run.exe", "exe", "run.exe", "C:\\Apps\\"},
    PathCase{"C:/Apps/run.exe", "exe", "run.exe", "C:/Apps/"},
    PathCase{"\"C:\\Apps\\run.exe\"", "exe", "run.exe", "C:\\Apps\\"},
    PathCase{"\"C:\\Apps\\run.exe\" -x", "exe", "run.exe", "C:\\Apps\\"},
    PathCase{"C:\\my.dir\\readme", "", "readme", "C:\\my.dir\\"},
    PathCase{"name.tar.gz", "gz", "name.tar.gz", ""},
    PathCase{"noext", "", "noext", ""},
    PathCase{"C:\\Apps\\", "", "", "C:\\Apps\\"},
    PathCase{"C:\\A\\f.txt|D:\\B\\g", "", "g", "C:\\A\\"},
    PathCase{"file|D:\\B\\g", "", "g", ""},
    PathCase{"", "", "", ""}));

TEST(TextTest, EqualIgnoringAsciiCaseFoldsOnlyAtoZ) {
  EXPECT_TRUE(EqualIgnoringAsciiCase("Settings", "sETTINGS"));
  EXPECT_FALSE(EqualIgnoringAsciiCase("\xE4", "\xC4"));
  EXPECT_FALSE(EqualIgnoringAsciiCase("@", "`"));
  EXPECT_FALSE(EqualIgnoringAsciiCase("ab", "abc"));
  EXPECT_TRUE(EqualIgnoringAsciiCase("", ""));
}

}  // namespace
}  // namespace brindorel
