// Also runs under Wine.
#include "services/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace brindorel {
namespace {

// Every class of code point: the edges of each UTF-8 length, both sides of
// the surrogate block, and the last code point.
TEST(Utf8Test, EveryClassOfCodePointRoundTrips) {
  struct Case {
    char32_t code;
    const char* utf8;
    std::u16string utf16;
  };
  const Case cases[] = {
      {0x0001, "\x01", u"\x0001"},
      {0x007F, "\x7F", u"\x007F"},
      {0x0080, "\xC2\x80", u"\x0080"},
      {0x00E9, "\xC3\xA9", u"\x00E9"},
      {0x07FF, "\xDF\xBF", u"\x07FF"},
      {0x0800, "\xE0\xA0\x80", u"\x0800"},
      {0x4E2D, "\xE4\xB8\xAD", u"\x4E2D"},
      {0xD7FF, "\xED\x9F\xBF", u"\xD7FF"},
      {0xE000, "\xEE\x80\x80", u"\xE000"},
      {0xFFFD, "\xEF\xBF\xBD", u"\xFFFD"},
      {0xFFFF, "\xEF\xBF\xBF", u"\xFFFF"},
      {0x10000, "\xF0\x90\x80\x80", u"\xD800\xDC00"},
      {0x1F600, "\xF0\x9F\x98\x80", u"\xD83D\xDE00"},
      {0x10FFFF, "\xF4\x8F\xBF\xBF", u"\xDBFF\xDFFF"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<unsigned long>(c.code));
    EXPECT_TRUE(IsValidUtf8(c.utf8));
    EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16);
    EXPECT_EQ(Utf16ToUtf8(c.utf16), c.utf8);
    EXPECT_EQ(Utf16Length(c.utf8), c.utf16.size());
  }
  // All of them in one text, and a text with every ASCII character.
  std::string all;
  std::u16string wide;
  for (const Case& c : cases) {
    all += c.utf8;
    wide += c.utf16;
  }
  EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(all)), all);
  EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(wide)), wide);
  std::string ascii;
  for (int b = 1; b < 0x80; ++b) ascii += static_cast<char>(b);
  EXPECT_TRUE(IsAscii(ascii));
  EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(ascii)), ascii);
}

// Ill-formed UTF-8: one U+FFFD for each maximal ill-formed part.
TEST(Utf8Test, IllFormedSequencesBecomeReplacementCharacters) {
  struct Case {
    const char* name;
    std::string bytes;
    std::string valid;
  };
  const std::string r = "\xEF\xBF\xBD";
  const Case cases[] = {
      {"stray continuation", "a\x80" "b", "a" + r + "b"},
      {"two stray continuations", "\xBF\x80", r + r},
      {"lead without continuation", "\xC3" "b", r + "b"},
      {"cut at the end", "ab\xE4\xB8", "ab" + r},
      {"overlong two bytes", "\xC0\xAF", r + r},
      {"overlong zero", "a\xC0\x80", "a" + r + r},
      {"overlong three bytes", "\xE0\x80\xAF", r + r + r},
      {"overlong four bytes", "\xF0\x8F\xBF\xBF", r + r + r + r},
      {"surrogate", "\xED\xA0\x80", r + r + r},
      {"above U+10FFFF", "\xF4\x90\x80\x80", r + r + r + r},
      {"lead F5", "\xF5\x80", r + r},
      {"lead FF", "x\xFFy", "x" + r + "y"},
      {"cut four-byte form", "\xF0\x9F\x98" "!", r + "!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(IsValidUtf8(c.bytes));
    EXPECT_EQ(ValidUtf8(c.bytes), c.valid);
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(c.bytes)), c.valid);
    EXPECT_EQ(Utf16Length(c.bytes), Utf8ToUtf16(c.valid).size());
  }
  EXPECT_EQ(ValidUtf8("gr\xC3\xBC\xC3\x9F"), "gr\xC3\xBC\xC3\x9F");
  EXPECT_FALSE(IsAscii("gr\xC3\xBC"));
}

TEST(Utf8Test, LoneSurrogatesBecomeReplacementCharacters) {
  EXPECT_EQ(Utf16ToUtf8(u"a\xD800" "b"), "a\xEF\xBF\xBD" "b");
  EXPECT_EQ(Utf16ToUtf8(u"\xDC00\xD800"), "\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xD83D')), "\xEF\xBF\xBD");
}

TEST(Utf8Test, Windows1252KeepsEveryByte) {
  const CodePage& page = Windows1252();
  std::string every;
  for (int b = 1; b < 256; ++b) every += static_cast<char>(b);
  const std::string utf8 = page.toUtf8(every);
  EXPECT_TRUE(IsValidUtf8(utf8));
  std::string back;
  ASSERT_TRUE(page.fromUtf8(utf8, back));
  EXPECT_EQ(back, every);

  EXPECT_EQ(page.toUtf8("\x80\xFC\x9F\xA0"), "\xE2\x82\xAC\xC3\xBC\xC5\xB8\xC2\xA0");
  EXPECT_EQ(page.toUtf8("\x81\x9D"), "\xC2\x81\xC2\x9D");  // free bytes: the C1 controls
}

TEST(Utf8Test, Windows1252RefusesWhatItCannotHold) {
  const CodePage& page = Windows1252();
  std::string text;
  const char* refused[] = {
      "\xE4\xB8\xAD",      // a CJK character
      "\xCE\xA3",          // Greek capital sigma
      "\xC2\x80",          // U+0080: byte 80 hex is the euro sign here
      "\xF0\x9F\x98\x80",  // beyond the basic plane
      "ok\xC3",            // not well-formed
  };
  for (const char* utf8 : refused) EXPECT_FALSE(page.fromUtf8(utf8, text)) << utf8;
  ASSERT_TRUE(page.fromUtf8("\xE2\x82\xAC" "5 caf\xC3\xA9", text));
  EXPECT_EQ(text, "\x80" "5 caf\xE9");
}

TEST(Utf8Test, TextOfAnOlderFileIsReadInItsCodePage) {
  EXPECT_EQ(Utf8OrCodePage("caf\xC3\xA9", Windows1252()), "caf\xC3\xA9");  // UTF-8 stays
  EXPECT_EQ(Utf8OrCodePage("caf\xE9", Windows1252()), "caf\xC3\xA9");      // 8-bit is read
  EXPECT_EQ(Utf8OrCodePage("plain", Windows1252()), "plain");
  EXPECT_EQ(Utf8OrCodePage("", Windows1252()), "");
}

}  // namespace
}  // namespace brindorel
