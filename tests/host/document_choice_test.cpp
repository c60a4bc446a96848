#include "ui/document_choice.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace brindorel {
namespace {

struct FormatCase {
  const char* path;
  DocumentFormat format;
};

class DocumentFormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(DocumentFormatTest, FollowsTheLastExtension) {
  EXPECT_EQ(DocumentFormatOf(GetParam().path), GetParam().format) << GetParam().path;
}

INSTANTIATE_TEST_SUITE_P(Paths, DocumentFormatTest, ::testing::Values(
    FormatCase{"C:\\Temp\\Brindorel\\licence.rtf", DocumentFormat::RichText},
    FormatCase{"C:\\Temp\\Brindorel\\LICENCE.RTF", DocumentFormat::RichText},
    FormatCase{"readme.Rtf", DocumentFormat::RichText},
    FormatCase{"readme.txt.rtf", DocumentFormat::RichText},
    FormatCase{"readme.rtf.txt", DocumentFormat::PlainText},
    FormatCase{"readme.txt", DocumentFormat::PlainText},
    FormatCase{"readme.rtfx", DocumentFormat::PlainText},
    FormatCase{"readme.", DocumentFormat::PlainText},
    FormatCase{"readme", DocumentFormat::PlainText},
    // A dot in a folder name is no extension of the file.
    FormatCase{"C:\\docs.rtf\\readme", DocumentFormat::PlainText}));

// Which paths a choice asks about, and which it takes.
struct ChoiceCase {
  const char* name;
  std::set<std::string> present;
  std::string chosen;
  std::vector<std::string> asked;
};

class DocumentChoiceTest : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(DocumentChoiceTest, PrefersRichTextAndStopsAtTheFirstFound) {
  std::vector<std::string> asked;
  const std::string chosen = ChooseDocumentPath("C:\\W\\", "licence", [&](const std::string& path) {
    asked.push_back(path);
    return GetParam().present.count(path) != 0;
  });
  EXPECT_EQ(chosen, GetParam().chosen);
  EXPECT_EQ(asked, GetParam().asked);
}

const std::string kRtf = "C:\\W\\licence.rtf";
const std::string kTxt = "C:\\W\\licence.txt";

INSTANTIATE_TEST_SUITE_P(Folders, DocumentChoiceTest, ::testing::Values(
    ChoiceCase{"both", {kRtf, kTxt}, kRtf, {kRtf}},
    ChoiceCase{"rtf_only", {kRtf}, kRtf, {kRtf}},
    ChoiceCase{"txt_only", {kTxt}, kTxt, {kRtf, kTxt}},
    ChoiceCase{"none", {}, "", {kRtf, kTxt}},
    ChoiceCase{"other_base_name", {"C:\\W\\readme.rtf"}, "", {kRtf, kTxt}}),
    [](const ::testing::TestParamInfo<ChoiceCase>& p) { return std::string(p.param.name); });

TEST(DocumentReadSizeTest, NeverDeliversPastTheBudget) {
  struct Case {
    std::uint32_t requested;
    std::uint64_t delivered;
    std::uint32_t expected;
  };
  const Case cases[] = {
      {4096, 0, 4096},
      {0, 0, 0},
      {4096, kDocumentMaxBytes - 100, 100},
      {4096, kDocumentMaxBytes - 4096, 4096},
      {4096, kDocumentMaxBytes, 0},
      {4096, kDocumentMaxBytes + 1, 0},
      {0xFFFFFFFFu, 0, kDocumentMaxBytes},
      {0xFFFFFFFFu, 0xFFFFFFFFFFFFFFFFull, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(DocumentReadSize(c.requested, c.delivered), c.expected) << c.requested << " after " << c.delivered;
  // The limit set on a view holds everything the budget lets through.
  EXPECT_GE(kDocumentTextLimit, kDocumentMaxBytes);
  EXPECT_GT(kDocumentTextLimit, 32767u);
}

// Plain text by its mark: UTF-8, UTF-16 little-endian, else the code page;
// never more characters than bytes, so the view's limit holds.
TEST(PlainDocumentTest, TheMarkDecidesTheEncoding) {
  struct Case {
    const char* name;
    std::string bytes;
    std::u16string text;
  };
  const Case cases[] = {
      {"code page", "caf\xE9 \x80", u"caf\u00E9 \u20AC"},
      {"utf-8 mark", "\xEF\xBB\xBF" "caf\xC3\xA9 \xE4\xB8\xAD", u"caf\u00E9 \u4E2D"},
      {"utf-8 without mark is the code page", "\xC3\xA9", u"\u00C3\u00A9"},
      {"utf-16 mark", std::string("\xFF\xFE" "a\0\x2D\x4E", 6), u"a\u4E2D"},
      {"utf-16 odd byte dropped", std::string("\xFF\xFE" "a\0b", 5), u"a"},
      {"utf-16 big-endian mark is not one", "\xFE\xFF", u"\u00FE\u00FF"},
      {"only the utf-8 mark", "\xEF\xBB\xBF", u""},
      {"empty", "", u""},
      {"bad utf-8 after the mark", "\xEF\xBB\xBF" "a\xFF", u"a\uFFFD"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::u16string text = PlainDocumentText(c.bytes, Windows1252());
    EXPECT_EQ(text, c.text);
    EXPECT_LE(text.size(), c.bytes.size());
  }
}

}  // namespace
}  // namespace brindorel
