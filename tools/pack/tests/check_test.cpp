// The package check: a sound folder made by the tests is clean, each broken
// copy of it (one mistake each) gives exactly the diagnostics expected, the
// example is clean, and build, --werror and the JSON output behave.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

#include "install/setup_keys.h"
#include "tests/host/picture_writer.h"
#include "tools/pack/pack_check.h"
#include "ui/interface_texts.h"

namespace brindorel::pack {
namespace {
namespace fs = std::filesystem;

void Write(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A TGA picture of type 2 (or 10: one run-length packet a pixel).
std::string Tga(std::uint32_t width, std::uint32_t height, std::uint8_t depth = 24, std::uint8_t type = 2) {
  std::string t(18, '\0');
  t[2] = static_cast<char>(type);
  t[12] = static_cast<char>(width), t[13] = static_cast<char>(width >> 8);
  t[14] = static_cast<char>(height), t[15] = static_cast<char>(height >> 8);
  t[16] = static_cast<char>(depth);
  const std::string pixel(depth / 8u, '\x40');
  for (std::uint32_t i = 0; i < width * height; ++i) t += (type == 10 ? std::string(1, '\0') : "") + pixel;
  return t;
}

// The sound package's settings, one line a key (line numbers are the cases').
const char* const kSetupLines[] = {
    "[Settings]",                                   // 1
    "Language=english.lng#9|",                      // 2
    "ProgExe=acme.exe",                             // 3
    "DefaultDir=%ProgramFiles%Acme Tool",           // 4
    "NoCopyExt=dat|",                               // 5
    "IconID=0",                                     // 6
    "[Info]",                                       // 7
    "Titel=Acme Tool",                              // 8
    "Version=2.1",                                  // 9
    "GUID={7D1E6F52-2C4B-4A8E-9B3D-1F0A6C5E8D24}",  // 10
    "[StartMenue]",                                 // 11
    "DefaultDir=Acme Tool",                         // 12
    "Help=docs\\notes.txt",                         // 13
    "[Task]",                                       // 14
    "Reboot=0",                                     // 15
    "StartMenu=1",                                  // 16
    "[UserTask]",                                   // 17
    "Number=2",                                     // 18
    "Task1=0|Acme Tool|acme.exe|0",                 // 19
    "Task2=5|data.ini|data.ini|%AppData%",          // 20
};

// Every text of the table, one a line: 9 groups and 56 keys.
std::string FullLanguageFile() {
  std::string text, group;
  for (int i = 0; i < kInterfaceTextCount; ++i) {
    const InterfaceTextEntry& e = InterfaceTextAt(static_cast<TextId>(i));
    if (group != e.group) text += "[" + (group = e.group) + "]\r\n";
    text += std::string(e.key) + "=x\r\n";
  }
  return text;
}

std::string ReplaceFirst(std::string text, const std::string& what, const std::string& by) {
  return text.replace(text.find(what), what.size(), by);
}

class Package {
 public:
  explicit Package(const std::string& name) {
    root_ = fs::temp_directory_path() / ("brindorel-check-" + std::to_string(::getpid()) + "-" + name);
    fs::remove_all(root_);
    folder_ = root_ / "package";
    for (const char* line : kSetupLines) setup_ += std::string(line) + "\r\n";
    Write(folder_ / "setup.ini", setup_);
    Write(folder_ / "english.lng", FullLanguageFile());
    Write(folder_ / "licence.txt", "Terms.\r\n");
    Write(folder_ / "splash.tga", Tga(130, 300));
    const testing_pictures::Bytes icon = testing_pictures::Icon(32);
    Write(folder_ / "header.ico", std::string(icon.begin(), icon.end()));
    Write(folder_ / "data.ini", "[Data]\r\n");
    Write(folder_ / "program" / "acme.exe", "MZ program");
    Write(folder_ / "program" / "docs" / "notes.txt", "notes");
    Write(folder_ / "program" / "settings.dat", "x=1");
  }
  ~Package() { fs::remove_all(root_); }

  // Replaces the setup.ini line that reads `line` exactly (all of it when
  // `line` is empty); an empty `by` removes the line.
  void Setup(const std::string& line, const std::string& by) {
    const std::string old = line + "\r\n";
    const std::size_t at = setup_.find(old);
    ASSERT_NE(at, std::string::npos) << line;
    setup_.replace(at, old.size(), by.empty() ? "" : by + "\r\n");
    Write(folder_ / "setup.ini", setup_);
  }
  std::vector<Diagnostic> Check(const std::vector<std::pair<std::string, fs::path>>& extra = {}) const {
    CheckOptions options;
    options.packageFolder = folder_;
    options.extraFiles = extra;
    return CheckPackageFolder(options);
  }
  const fs::path& folder() const { return folder_; }
  const fs::path& root() const { return root_; }

 private:
  fs::path root_, folder_;
  std::string setup_;
};

std::string Describe(const std::vector<Diagnostic>& list) {
  std::string text;
  for (const Diagnostic& d : list) text += DiagnosticText(d, "") + " [" + d.code + "]\n";
  return text;
}

std::vector<Diagnostic> WithoutNotes(std::vector<Diagnostic> list) {
  list.erase(std::remove_if(list.begin(), list.end(), [](const Diagnostic& d) { return d.severity == Severity::Note; }),
             list.end());
  return list;
}

TEST(PackCheck, TheSoundPackageIsClean) {
  Package package("sound");
  const std::vector<Diagnostic> found = package.Check();
  EXPECT_TRUE(WithoutNotes(found).empty()) << Describe(found);
}

struct Expected {
  const char* file;
  std::uint32_t line;
  Severity severity;
  const char* code;
  std::vector<const char*> words;
};

struct BrokenCase {
  const char* name;
  std::function<void(Package&)> breakIt;
  std::vector<Expected> expected;
};

constexpr Severity E = Severity::Error;
constexpr Severity W = Severity::Warning;

std::function<void(Package&)> Line(const char* line, const char* by) {
  return [=](Package& p) { p.Setup(line, by); };
}
std::function<void(Package&)> File(const char* name, std::string bytes) {
  return [=](Package& p) { Write(p.folder() / name, bytes); };
}
std::function<void(Package&)> Remove(const char* name) {
  return [=](Package& p) { fs::remove(p.folder() / name); };
}

const std::vector<BrokenCase>& BrokenCases() {
  static const std::vector<BrokenCase> cases = {
      // setup.ini
      {"misspelt key",
       Line("ProgExe=acme.exe", "ProgExee=acme.exe"),
       {{"setup.ini", 3, W, "unknown-key", {"'ProgExee' in [Settings]", "did you mean 'ProgExe'"}},
        {"setup.ini", 0, E, "missing-key", {"ProgExe is missing"}}}},
      {"no equals sign",
       Line("ProgExe=acme.exe", "ProgExe acme.exe"),
       {{"setup.ini", 3, W, "unknown-key", {"'=' after 'ProgExe'"}}, {"setup.ini", 0, E, "missing-key", {"ProgExe"}}}},
      {"no GUID",
       Line("GUID={7D1E6F52-2C4B-4A8E-9B3D-1F0A6C5E8D24}", ""),
       {{"setup.ini", 0, W, "no-guid", {"choices"}}}},
      {"language entry without its number",
       Line("Language=english.lng#9|", "Language=english.lng#9|english.lng|"),
       {{"setup.ini", 2, W, "language-number", {"'english.lng'", "no '#'"}}}},
      {"empty task",
       Line("Task1=0|Acme Tool|acme.exe|0", "Task1= "),
       {{"setup.ini", 19, W, "empty-task", {"skipped"}}}},
      {"title spelt in English",
       Line("Titel=Acme Tool", "Title=Acme Tool"),
       {{"setup.ini", 8, W, "unknown-key", {"'Title'", "did you mean 'Titel'"}},
        {"setup.ini", 0, E, "missing-key", {"Titel is missing"}}}},
      {"garbage",
       File("setup.ini", std::string("MZ\x90\0\x03", 5)),
       {{"setup.ini", 1, E, "not-ini", {"binary byte 00"}}}},
      {"no group", File("setup.ini", "Titel=Acme\r\n"), {{"setup.ini", 0, E, "not-ini", {"no [group]"}}}},
      {"key twice",
       Line("Version=2.1", "Version=2.1\r\nVersion=2.2"),
       {{"setup.ini", 10, W, "duplicate-key", {"'Version'", "first one (line 9)"}}}},
      {"group twice",
       Line("[UserTask]", "[Info]\r\nWeb=x\r\n[UserTask]"),
       {{"setup.ini", 17, W, "duplicate-group", {"only the first [Info] (line 7)"}}}},
      {"unknown group",
       Line("[Task]", "[Tasks]"),
       {{"setup.ini", 14, W, "unknown-group", {"[Tasks]", "did you mean [Task]"}},
        {"setup.ini", 13, W, "not-read", {"Help", "StartMenu is not set"}}}},
      {"key in the wrong group",
       Line("Reboot=0", "Reboot=0\r\nTitel=x"),
       {{"setup.ini", 16, W, "unknown-key", {"'Titel' in [Task]", "belongs in [Info]"}}}},
      {"flag cut to 8 bits",
       Line("Reboot=0", "Reboot=256"),
       {{"setup.ini", 15, E, "out-of-range", {"256", "not set"}}}},
      {"flag not a number",
       Line("Reboot=0", "Reboot=yes"),
       {{"setup.ini", 15, E, "not-a-number", {"Reboot=yes", "reads 0"}}}},
      {"icon index too large", Line("IconID=0", "IconID=200"), {{"setup.ini", 6, E, "out-of-range", {"-56"}}}},
      {"task count negative",
       Line("Number=2", "Number=-1"),
       {{"setup.ini", 18, W, "out-of-range", {"Number=-1", "outside 0"}},
        {"setup.ini", 19, W, "task-past-number", {"'Task1'"}},
        {"setup.ini", 20, W, "task-past-number", {"'Task2'"}}}},
      {"number past 32 bits",
       Line("IconID=0", "IconID=99999999999"),
       {{"setup.ini", 6, E, "out-of-range", {"32 bits"}}}},
      {"number with a comment",
       Line("Number=2", "Number=2 ; two tasks"),
       {{"setup.ini", 18, W, "not-a-number", {"reads as 2"}}}},
      {"Program Files alone",
       Line("DefaultDir=%ProgramFiles%Acme Tool", "DefaultDir=%ProgramFiles%"),
       {{"setup.ini", 4, E, "bad-install-folder", {"C:\\Program Files\\", "refuses"}}}},
      {"Windows folder",
       Line("DefaultDir=%ProgramFiles%Acme Tool", "DefaultDir=%Windows%"),
       {{"setup.ini", 4, E, "bad-install-folder", {"C:\\Windows\\", "system"}}}},
      {"no DefaultDir",
       Line("DefaultDir=%ProgramFiles%Acme Tool", ""),
       {{"setup.ini", 0, E, "bad-install-folder", {"missing", "C:\\Program Files\\"}}}},
      {"drive without placeholder",
       Line("DefaultDir=%ProgramFiles%Acme Tool", "DefaultDir=D:\\Acme"),
       {{"setup.ini", 4, E, "bad-install-folder", {"placed below Program Files"}}}},
      {"placeholder misspelt",
       Line("DefaultDir=%ProgramFiles%Acme Tool", "DefaultDir=%programfiles%Acme"),
       {{"setup.ini", 4, W, "unknown-placeholder", {"'%ProgramFiles%'", "case-sensitive"}}}},
      {"doubled separator",
       Line("DefaultDir=%ProgramFiles%Acme Tool", "DefaultDir=%ProgramFiles%\\Acme"),
       {{"setup.ini", 4, W, "doubled-separator", {"doubled"}}}},
      {"bad GUID",
       Line("GUID={7D1E6F52-2C4B-4A8E-9B3D-1F0A6C5E8D24}", "GUID={42}"),
       {{"setup.ini", 10, E, "bad-guid", {"'{42}'"}}}},
      {"install scope neither machine, user nor choose",
       Line("IconID=0", "InstallScope=everyone"),
       {{"setup.ini", 6, W, "bad-scope", {"'everyone'", "for the machine"}}}},
      {"language list not closed",
       Line("Language=english.lng#9|", "Language=english.lng#9|german.lng#7"),
       {{"setup.ini", 2, W, "list-not-closed", {"'german.lng#7'", "not an entry"}}}},
      {"language file missing",
       Line("Language=english.lng#9|", "Language=english.lng#9|french.lng#12|"),
       {{"setup.ini", 2, W, "missing-language", {"'french.lng'", "English"}}}},
      {"no-copy list not closed",
       Line("NoCopyExt=dat|", "NoCopyExt=dat"),
       {{"setup.ini", 5, W, "list-not-closed", {"'dat'"}}}},
      {"no-copy extension in capitals",
       Line("NoCopyExt=dat|", "NoCopyExt=DAT|"),
       {{"setup.ini", 5, W, "extension-case", {"'dat'"}}}},
      {"program missing",
       Remove("program/acme.exe"),
       {{"setup.ini", 3, E, "missing-file", {"ProgExe", "not in program/"}},
        {"setup.ini", 19, E, "missing-file", {"Task1", "not in program/"}}}},
      {"help file missing",
       Line("Help=docs\\notes.txt", "Help=docs\\help.txt"),
       {{"setup.ini", 13, E, "missing-file", {"'docs\\help.txt'"}}}},
      {"exe in capitals",
       Line("ProgExe=acme.exe", "ProgExe=acme.EXE"),
       {{"setup.ini", 3, W, "exe-case", {"lower case"}}}},
      {"menu folder leaves the menu",
       Line("DefaultDir=Acme Tool", "DefaultDir=..\\Acme"),
       {{"setup.ini", 12, E, "bad-menu-folder", {"'..\\Acme'"}}}},
      // [UserTask]
      {"task past Number",
       Line("Number=2", "Number=1"),
       {{"setup.ini", 20, W, "task-past-number", {"'Task2'", "never runs"}}}},
      {"task missing", Line("Number=2", "Number=3"), {{"setup.ini", 18, W, "task-missing", {"Task3"}}}},
      {"task type unknown",
       Line("Task1=0|Acme Tool|acme.exe|0", "Task1=9|Acme Tool|acme.exe|0"),
       {{"setup.ini", 19, E, "task-type", {"type 9 does nothing"}}}},
      {"task type not a number",
       Line("Task1=0|Acme Tool|acme.exe|0", "Task1=abc|Acme Tool|acme.exe|0"),
       {{"setup.ini", 19, E, "task-type", {"'abc'", "desktop shortcut"}}}},
      {"task fields missing",
       Line("Task1=0|Acme Tool|acme.exe|0", "Task1=0|Acme Tool"),
       {{"setup.ini", 19, E, "task-fields", {"this line has 2"}}}},
      {"registry root",
       Line("Task2=5|data.ini|data.ini|%AppData%", "Task2=6|123|Software\\Acme|Path|x"),
       {{"setup.ini", 20, E, "task-registry", {"'123'", "predefined"}}}},
      {"link suffix",
       Line("Task1=0|Acme Tool|acme.exe|0", "Task1=0|Acme Tool.LNK|acme.exe|0"),
       {{"setup.ini", 19, W, "link-suffix", {"'Acme Tool.LNK.lnk'"}}}},
      {"copy source missing",
       Remove("data.ini"),
       {{"setup.ini", 20, E, "missing-file", {"'data.ini'", "beside setup.ini"}}}},
      {"task key with leading zero",
       Line("Task2=5|data.ini|data.ini|%AppData%", "Task02=5|data.ini|data.ini|%AppData%"),
       {{"setup.ini", 20, W, "unknown-key", {"no leading zero"}}, {"setup.ini", 18, W, "task-missing", {"Task2"}}}},
      {"UTF-8 without the mark",
       Line("Titel=Acme Tool", "Titel=Acm\xC3\xA9"),
       {{"setup.ini", 8, W, "encoding", {"mark"}}}},
      // Language files.
      {"language file garbage",
       File("english.lng", std::string("\x01\x02garbage", 9)),
       {{"english.lng", 1, E, "not-ini", {"binary"}}}},
      {"language file in UTF-16",
       File("english.lng", std::string("\xFF\xFE[\0P\0", 6)),
       {{"english.lng", 1, E, "not-ini", {"UTF-16"}}}},
      {"texts missing",
       File("english.lng", "[Buttons]\r\nNext=x\r\n"),
       {{"english.lng", 0, W, "missing-texts", {"52 of the 53", "Page02/Titel", "English defaults"}}}},
      {"language key misspelt",
       File("english.lng", FullLanguageFile() + "Tittel=x\r\n"),
       {{"english.lng", 68, W, "unknown-key", {"'Tittel' in [Uninstaller]", "did you mean 'Titel'"}}}},
      {"language group misspelt",
       File("english.lng", FullLanguageFile() + "[Pgae01]\r\nTitel=x\r\n"),
       {{"english.lng", 68, W, "unknown-group", {"[Pgae01]", "did you mean [Page01]"}}}},
      {"empty text",
       File("english.lng", ReplaceFirst(FullLanguageFile(), "Next=x", "Next= ")),
       {{"english.lng", 50, W, "empty-text", {"Next is empty"}}}},
      {"language file not listed",
       File("german.lng", FullLanguageFile()),
       {{"german.lng", 0, W, "unused-language", {"never loads"}}}},
      // Pictures.
      {"side image garbage",
       File("splash.tga", "not a picture"),
       {{"splash.tga", 0, E, "bad-picture", {"cannot show"}}}},
      {"side image depth", File("splash.tga", Tga(130, 300, 8)), {{"splash.tga", 0, E, "bad-picture", {"8 bits"}}}},
      {"side image cut",
       File("splash.tga", Tga(130, 300).substr(0, 50000)),
       {{"splash.tga", 0, E, "bad-picture", {"ends early"}}}},
      {"side image run-length cut",
       File("splash.tga", Tga(130, 300, 32, 10).substr(0, 9000)),
       {{"splash.tga", 0, E, "bad-picture", {"ends early"}}}},
      {"side image size",
       File("splash.tga", Tga(100, 300)),
       {{"splash.tga", 0, W, "picture-size", {"100 x 300", "130 x 300"}}}},
      {"header icon size",
       [](Package& p) {
         const testing_pictures::Bytes icon = testing_pictures::Icon(16);
         Write(p.folder() / "header.ico", std::string(icon.begin(), icon.end()));
       },
       {{"header.ico", 0, W, "picture-size", {"16 x 16", "32 x 32"}}}},
      {"picture under another name",
       File("Splash.bmp", "BM"),
       {{"Splash.bmp", 0, W, "unknown-picture", {"never loaded"}}}},
      // Names, companions, documents.
      {"device name", File("program/con.txt", "x"), {{"program/con.txt", 0, E, "bad-name", {"devices"}}}},
      {"names that differ in case",
       File("program/ACME.EXE", "MZ"),
       {{"program/acme.exe", 0, E, "name-clash", {"'program/ACME.EXE'"}}}},
      {"the builder's own name",
       File("program/uninstall.dat", "x"),
       {{"program/uninstall.dat", 0, E, "reserved-name", {"clash"}}}},
      {"companion not a program", File("BeforeBR.exe", "echo"), {{"BeforeBR.exe", 0, E, "not-a-program", {"MZ"}}}},
      {"companion among the program's files",
       File("program/AfterBR.exe", "MZ"),
       {{"program/AfterBR.exe", 0, W, "companion-in-program", {"beside setup.ini"}}}},
      {"marker alone", File("StartBR.exe", ""), {{"StartBR.exe", 0, W, "marker-alone", {"WhileBR.exe"}}}},
      {"companion misspelt",
       File("BeforBR.exe", "MZ"),
       {{"BeforBR.exe", 0, W, "unknown-companion", {"'BeforeBR.exe'"}}}},
      {"licence twice",
       File("licence.rtf", "{\\rtf1 Terms.}"),
       {{"licence.txt", 0, W, "document-hidden", {"licence.rtf"}}}},
      {"licence misspelt",
       [](Package& p) { fs::rename(p.folder() / "licence.txt", p.folder() / "license.txt"); },
       {{"license.txt", 0, W, "unknown-document", {"licence.rtf, then licence.txt"}}}},
      {"readme in UTF-8 without the mark",
       File("readme.txt", "Caf\xC3\xA9"),
       {{"readme.txt", 0, W, "encoding", {"mark"}}}},
      {"folder beside program", File("docs/a.txt", "x"), {{"docs", 0, W, "folder-not-packed", {"not packed"}}}},
  };
  return cases;
}

class BrokenPackage : public ::testing::TestWithParam<std::size_t> {};

TEST_P(BrokenPackage, GivesExactlyTheExpectedDiagnostics) {
  const BrokenCase& c = BrokenCases()[GetParam()];
  Package package("case" + std::to_string(GetParam()));
  c.breakIt(package);
  const std::vector<Diagnostic> found = WithoutNotes(package.Check());
  ASSERT_EQ(found.size(), c.expected.size()) << Describe(found);
  for (const Expected& e : c.expected) {
    const auto match = std::find_if(found.begin(), found.end(), [&](const Diagnostic& d) {
      if (d.file != e.file || d.line != e.line || d.severity != e.severity || d.code != e.code) return false;
      return std::all_of(e.words.begin(), e.words.end(),
                         [&](const char* w) { return d.message.find(w) != std::string::npos; });
    });
    EXPECT_NE(match, found.end()) << "expected " << e.file << ":" << e.line << " " << e.code << " in\n"
                                  << Describe(found);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, BrokenPackage, ::testing::Range<std::size_t>(0, BrokenCases().size()),
                         [](const ::testing::TestParamInfo<std::size_t>& param) {
                           std::string name = BrokenCases()[param.param].name;
                           for (char& ch : name) ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                           return name;
                         });

// The example package, with the programs the demo adds from the Windows
// build: clean with them, and their absence is what the check finds without.
TEST(PackCheck, TheExampleIsClean) {
  Package scratch("example");
  Write(scratch.root() / "acme.exe", "MZ program");
  CheckOptions options;
  options.packageFolder = fs::path(BRINDOREL_SOURCE_DIR) / "examples" / "acme-demo";
  const std::vector<Diagnostic> without = WithoutNotes(CheckPackageFolder(options));
  ASSERT_EQ(without.size(), 2u) << Describe(without);
  EXPECT_NE(without[0].message.find("ProgExe"), std::string::npos);
  EXPECT_NE(without[1].message.find("Exe"), std::string::npos);
  options.extraFiles = {{"program/acme.exe", scratch.root() / "acme.exe"},
                        {"program/tools/acme-config.exe", scratch.root() / "acme.exe"}};
  const std::vector<Diagnostic> with = CheckPackageFolder(options);
  EXPECT_TRUE(WithoutNotes(with).empty()) << Describe(with);
}

TEST(PackCheck, AddedFilesAreJudgedByTheirNames) {
  Package package("added");
  Write(package.root() / "tool", "MZ");
  const std::vector<Diagnostic> found = WithoutNotes(package.Check(
      {{"program/bin/tool?.exe", package.root() / "tool"}, {"program/x.exe", package.root() / "missing"}}));
  ASSERT_EQ(found.size(), 2u) << Describe(found);
  EXPECT_EQ(found[0].code, "add-missing");
  EXPECT_TRUE(found[0].fileAsGiven);
  EXPECT_EQ(found[1].code, "bad-name");
  EXPECT_EQ(found[1].file, "program/bin/tool?.exe");
}

TEST(PackCheck, NearestSpellingAllowsOneSlipInShortWordsAndTwoInLongOnes) {
  const std::vector<std::string> keys = {"Titel", "Version", "ProgExe", "StartMenue", "Unistall"};
  const std::pair<const char*, const char*> cases[] = {
      {"Title", "Titel"},
      {"TITEL", "Titel"},
      {"ProgExee", "ProgExe"},
      {"PrgExee", "ProgExe"},
      {"Uninstall", "Unistall"},
      {"StartMenu", "StartMenue"},
      {"Tit", ""},
      {"Web", ""},
      {"Versions", "Version"},
      {"Verzion", "Version"},
  };
  for (const auto& [word, nearest] : cases) EXPECT_EQ(NearestSpelling(word, keys), nearest) << word;
}

// The README's key table is the one the key table prints.
TEST(PackCheck, TheReadmeListsEveryKeyOfTheTable) {
  const std::string readme = Read(fs::path(BRINDOREL_SOURCE_DIR) / "README.md");
  const std::string begin = "<!-- setup.ini keys: printed by \"brindorel-pack keys\" -->\n";
  const std::size_t from = readme.find(begin);
  const std::size_t to = readme.find("<!-- end of the setup.ini keys -->");
  ASSERT_NE(from, std::string::npos);
  ASSERT_NE(to, std::string::npos);
  EXPECT_EQ(readme.substr(from + begin.size(), to - from - begin.size()), SetupKeysMarkdown())
      << "paste the output of `brindorel-pack keys` into the README";
  for (int i = 0; i < kSetupKeyCount; ++i) {
    const SetupKey& key = SetupKeyAt(static_cast<SetupKeyId>(i));
    EXPECT_NE(readme.find(std::string("| [") + key.group + "] | `" + key.key + "` |"), std::string::npos) << key.key;
  }
}

// --- The command line: exit codes, build's refusal, JSON lines. ---

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

Outcome Command(const Package& package, const std::string& arguments) {
  const std::string out = (package.root() / "out.txt").string(), err = (package.root() / "err.txt").string();
  Outcome run;
  const int status =
      std::system((std::string(BRINDOREL_PACK) + " " + arguments + " >'" + out + "' 2>'" + err + "'").c_str());
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = Read(out);
  run.err = Read(err);
  return run;
}

TEST(PackCheckCommand, ExitCodesFollowErrorsWarningsAndWerror) {
  Package package("exit");
  const std::string folder = "'" + package.folder().string() + "'";
  Outcome clean = Command(package, "check " + folder);
  EXPECT_EQ(clean.status, 0) << clean.out;
  EXPECT_NE(clean.out.find("package: 0 errors, 0 warnings"), std::string::npos) << clean.out;
  package.Setup("Number=2", "Number=1");  // a warning
  EXPECT_EQ(Command(package, "check " + folder).status, 0);
  Outcome strict = Command(package, "check --werror " + folder);
  EXPECT_EQ(strict.status, 1);
  EXPECT_NE(strict.out.find("setup.ini:20: warning: 'Task2' is past"), std::string::npos) << strict.out;
  package.Setup("Titel=Acme Tool", "");  // an error
  EXPECT_EQ(Command(package, "check " + folder).status, 1);
  EXPECT_EQ(Command(package, "check").status, 2);
  EXPECT_EQ(Command(package, "check " + folder + " --format xml").status, 2);
}

TEST(PackCheckCommand, BuildRefusesOnAnErrorAndNotOnAWarning) {
  Package package("build");
  const fs::path stub = package.root() / "stub.exe", output = package.root() / "Install.exe";
  Write(stub, std::string("MZ") + std::string(998, '\x90'));
  const std::string build = "build '" + package.folder().string() + "' -o '" + output.string() + "' --stub '" +
                            stub.string() + "' --uninstaller '" + stub.string() + "' --level fast";
  package.Setup("Number=2", "Number=1");  // a warning
  Outcome warned = Command(package, build);
  EXPECT_EQ(warned.status, 0) << warned.err;
  EXPECT_TRUE(fs::exists(output));
  EXPECT_NE(warned.err.find("setup.ini:20: warning:"), std::string::npos) << warned.err;
  EXPECT_NE(warned.out.find("packed 13 entries (6 of them in setup.pck)"), std::string::npos) << warned.out;
  EXPECT_NE(warned.out.find("1 warning"), std::string::npos) << warned.out;
  EXPECT_TRUE(Command(package, build + " --quiet").out.empty());

  fs::remove(output);
  Outcome strict = Command(package, build + " --werror");
  EXPECT_EQ(strict.status, 1);
  EXPECT_FALSE(fs::exists(output));
  EXPECT_NE(strict.err.find("nothing built"), std::string::npos) << strict.err;

  package.Setup("Number=1", "Number=2");
  package.Setup("GUID={7D1E6F52-2C4B-4A8E-9B3D-1F0A6C5E8D24}", "GUID=acme");  // an error
  Outcome refused = Command(package, build);
  EXPECT_EQ(refused.status, 1);
  EXPECT_FALSE(fs::exists(output));
  EXPECT_NE(refused.err.find("setup.ini:10: error: [Info] GUID 'acme' is not a GUID"), std::string::npos)
      << refused.err;
}

// A JSON object of strings, numbers and null, one a line: enough to read
// back what the check writes.
bool ParseJsonObject(const std::string& text, std::map<std::string, std::string>& fields) {
  std::size_t at = 0;
  auto skip = [&] {
    while (at < text.size() && text[at] == ' ') ++at;
  };
  auto string = [&](std::string& out) {
    if (at >= text.size() || text[at] != '"') return false;
    for (++at; at < text.size() && text[at] != '"'; ++at) {
      if (text[at] == '\\') {
        if (++at >= text.size()) return false;
        if (text[at] == 'u') {
          if (at + 4 >= text.size()) return false;
          out += static_cast<char>(std::stoi(text.substr(at + 1, 4), nullptr, 16));
          at += 4;
          continue;
        }
      }
      out += text[at];
    }
    return at++ < text.size();
  };
  skip();
  if (at >= text.size() || text[at++] != '{') return false;
  for (;;) {
    skip();
    std::string key, value;
    if (!string(key)) return false;
    skip();
    if (at >= text.size() || text[at++] != ':') return false;
    skip();
    if (at < text.size() && text[at] == '"') {
      if (!string(value)) return false;
    } else {
      while (at < text.size() && text[at] != ',' && text[at] != '}') value += text[at++];
      if (value != "null" && value.find_first_not_of("0123456789") != std::string::npos) return false;
    }
    fields[key] = value;
    skip();
    if (at < text.size() && text[at] == ',') {
      ++at;
      continue;
    }
    return at < text.size() && text[at] == '}' && at + 1 == text.size();
  }
}

TEST(PackCheckCommand, JsonLinesCarryTheSameDiagnostics) {
  Package package("json");
  package.Setup("ProgExe=acme.exe", "Prog\"Exe\\=acme.exe");  // a quote and a backslash to escape
  const std::string folder = "'" + package.folder().string() + "'";
  const Outcome json = Command(package, "check --format json " + folder);
  EXPECT_EQ(json.status, 1);
  EXPECT_NE(json.err.find("1 error, 1 warning"), std::string::npos) << json.err;
  std::vector<std::map<std::string, std::string>> objects;
  std::size_t start = 0;
  for (std::size_t end; (end = json.out.find('\n', start)) != std::string::npos; start = end + 1) {
    std::map<std::string, std::string> fields;
    ASSERT_TRUE(ParseJsonObject(json.out.substr(start, end - start), fields)) << json.out.substr(start, end - start);
    if (fields["severity"] != "note") objects.push_back(fields);
  }
  ASSERT_EQ(objects.size(), 2u) << json.out;
  EXPECT_EQ(objects[0]["line"], "null");
  EXPECT_EQ(objects[0]["severity"], "error");
  EXPECT_EQ(objects[0]["code"], "missing-key");
  EXPECT_EQ(objects[1]["file"], package.folder().string() + "/setup.ini");
  EXPECT_EQ(objects[1]["line"], "3");
  EXPECT_EQ(objects[1]["severity"], "warning");
  EXPECT_EQ(objects[1]["message"], "unknown key 'Prog\"Exe\\' in [Settings] (did you mean 'ProgExe'?)");
  // The text form says the same.
  const Outcome text = Command(package, "check " + folder);
  EXPECT_NE(text.out.find(objects[1]["file"] + ":3: warning: " + objects[1]["message"]), std::string::npos) << text.out;
}

}  // namespace
}  // namespace brindorel::pack
