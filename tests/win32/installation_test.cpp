// Whole installation runs on a package built here: files, registry, links,
// the uninstall record and the install page's controls as a recording
// surface saw them.
#include "install/installation.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/installer_state.h"
#include "install/settings.h"
#include "install/shell_links.h"
#include "services/file_system.h"
#include "services/folders.h"
#include "services/ini_file.h"
#include "services/text.h"
#include "tests/host/recording_surface.h"
#include "tests/win32/support/win32_checks.h"
#include "tools/pack/pack_package.h"
#include "ui/interface_texts.h"

namespace brindorel {
namespace {

using wine_checks::DeleteKeyTree;
using wine_checks::KeyExists;
using wine_checks::LinkContent;
using wine_checks::ReadLink;
using wine_checks::ReadStoredValue;

const std::string kGuid = "{BrindorelTest-Install}";
const std::string kTaskKey = "Software\\BrindorelTest\\install";
const std::string kMenuName = "Brindorel Test\\Demo";

const char kSetupIni[] =
    "[Settings]\r\nProgExe=demo.exe\r\nNoCopyExt=dat|\r\nIconID=3\r\n"
    "[Info]\r\nTitel=Demo\r\nVersion=1.0\r\nGUID={BrindorelTest-Install}\r\nWeb=https://acme.invalid\r\n"
    "Date=07.12.2026\r\nAuthor=Acme\r\nEMail=x@acme.invalid\r\n"
    "[StartMenue]\r\nProgLink=Demo Tool\r\nHelp=help.html\r\nURL=https://acme.invalid/demo\r\n"
    "Exe=tools\\config.exe\r\nUnistall=1\r\n"
    "[Task]\r\nStartMenu=1\r\n"
    "[UserTask]\r\nNumber=2000000000\r\n"
    "Task1=0|Tool Link|tools\\config.exe|1\r\n"
    "Task2=1|Menu Tool|tools\\config.exe\r\n"
    "Task4=5|copied.ini|extra.ini|\r\n"
    "Task5=6|2147483649|Software\\BrindorelTest\\install|Dir|here\r\n"
    "Task7=6|77|Software\\BrindorelTest\\install|No|x\r\n";

const char kBuilderRecord[] = "[Settings]\r\nProgName = Demo\r\nNoDelAll = 0\r\n[Files]\r\nF001 = demo.exe\r\n";

std::string TestFolder() { return GetTempFolder() + "brindorel-install-test\\"; }
std::string WorkFolder() { return TestFolder() + "work\\"; }
std::string InstallFolder() { return TestFolder() + "Demo App\\"; }
std::string MenuFolder() { return GetSpecialFolder(2) + kMenuName + "\\"; }

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

pack::SourceEntry Entry(const std::string& name, const std::string& content) {
  pack::SourceEntry e;
  e.name = name;
  e.type = name.back() == '\\' ? kEntryFolder : kEntryFile;
  e.data.assign(content.begin(), content.end());
  e.creationTime = e.lastWriteTime = 0x01D5000011112222ull;
  return e;
}

// Writes WorkFolder() + "setup.pck"; `corruptLast` breaks the last entry's data.
// Which part of setup.pck a test damages.
enum class Damage { None, LastBlock, ChecksumRecord };

void WriteSetupPackage(Damage damage) {
  const std::vector<pack::SourceEntry> entries = {
      Entry("demo.exe", "MZ demo"),
      Entry("Uninstall.exe", "MZ uninstaller"),
      Entry("uninstall.dat", kBuilderRecord),
      Entry("settings.dat", "package settings"),
      Entry("tools\\", ""),
      Entry("tools\\config.exe", "MZ config"),
      Entry("docs\\big.txt", std::string(4000, 'a') + std::string(4000, 'b')),
  };
  std::vector<std::uint8_t> bytes;
  std::string error;
  ASSERT_TRUE(pack::WritePackage(entries, 1, bytes, error)) << error;
  if (damage != Damage::None) {
    const pack::ReadResult read = pack::ReadPackageBytes(bytes);
    ASSERT_TRUE(read.found);
    const PackageEntry& big = read.entries[read.entries.size() - 2].entry;  // the record's entry is last
    ASSERT_EQ(big.name, "docs\\big.txt");
    ASSERT_LT(big.storedSize, big.size);  // a coded block
    bytes[damage == Damage::LastBlock ? big.dataOffset + big.storedSize / 2 : 9] ^= 0x5A;
  }
  std::ofstream(WorkFolder() + "setup.pck", std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

class InstallationRun : public ::testing::Test {
 protected:
  void SetUp() override {
    Clean();
    MakeFolderPath(WorkFolder());
    WriteFile(WorkFolder() + "setup.ini", kSetupIni);
    WriteFile(WorkFolder() + "extra.ini", "[Extra]\r\n");
    state_.workFolder = WorkFolder();
    state_.settingsPath = WorkFolder() + "setup.ini";
    // What start-up and the wizard have read before Install.
    OpenIniFile(state_.settingsPath);
    ReadFirstSettings(CurrentIniDocument(), state_.settings);
    ReadSecondSettings(CurrentIniDocument(), state_.settings,
                       [](const std::string& text) { return ExpandFolderPlaceholders(text); });
    CloseIniFile();
    texts_ = DefaultInterfaceTexts(state_.settings.titel, state_.settings.version);
    surface_.controls[RunProgramBox].state = 1;
    choices_.installFolder = InstallFolder();
    choices_.menuFolder = kMenuName;
    choices_.desktopIcon = true;
  }
  void TearDown() override { Clean(); }

  static void Clean() {
    RemoveFolder(TestFolder(), "", kRemoveSubfolders | kRemoveForced);
    RemoveFolder(MenuFolder(), "", kRemoveSubfolders | kRemoveForced);
    RemoveFolder(GetSpecialFolder(2) + "Brindorel Test\\", "", 0);
    for (const char* link : {"Demo Tool.lnk", "Tool Link.lnk"}) DeleteFileA((GetSpecialFolder(0) + link).c_str());
    DeleteKeyTree(HKEY_LOCAL_MACHINE, std::string(kUninstallKeyBase) + kGuid);
    DeleteKeyTree(HKEY_CURRENT_USER, std::string(kUninstallKeyBase) + kGuid);
    DeleteKeyTree(HKEY_CURRENT_USER, std::string(kProductKeyBase) + kGuid);
    DeleteKeyTree(HKEY_CURRENT_USER, kTaskKey);
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\BrindorelTest");  // only when empty
  }

  // Runs the installation and keeps its outcome in the state, as the page flow does.
  InstallationResults Run() {
    const InstallationOutcome outcome =
        RunInstallation({state_.settings, choices_, state_.workFolder}, texts_, surface_, [this] { ++pumps_; });
    state_.installFolder = outcome.installFolder;
    state_.installationIncomplete = !outcome.complete;
    state_.packageDamaged = outcome.packageDamaged;
    return outcome.results;
  }
  const std::vector<std::string>& Lines() { return surface_.controls[ProgressList].lines; }
  std::string Text(TextId id) const { return texts_.Get(id); }

  InstallerState state_;
  InterfaceTexts texts_;
  RecordingSurface surface_;
  InstallChoices choices_;
  int pumps_ = 0;
};

void ExpectLink(const std::string& file, const std::string& target, const std::string& workingFolder,
                int iconIndex) {
  const LinkContent link = ReadLink(file);
  ASSERT_TRUE(link.loaded) << file;
  EXPECT_EQ(link.path, target) << file;
  EXPECT_EQ(link.workingFolder, workingFolder) << file;
  EXPECT_EQ(link.iconFile, target) << file;
  EXPECT_EQ(link.iconIndex, iconIndex) << file;
  EXPECT_EQ(link.showCommand, 1) << file;
}

TEST_F(InstallationRun, EveryStepDoneAndReported) {
  WriteSetupPackage(Damage::None);
  // An earlier installation left its record and the user's settings.
  MakeFolderPath(InstallFolder());
  WriteFile(InstallFolder() + "uninstall.dat", "[Settings]\r\nProgDir = stale\r\nStale = 1\r\n");
  WriteFile(InstallFolder() + "settings.dat", "the user's");

  const InstallationResults r = Run();
  EXPECT_TRUE(InstallationComplete(r));
  EXPECT_TRUE(ProgramReady(r));
  EXPECT_FALSE(state_.installationIncomplete);
  EXPECT_EQ(state_.installFolder, InstallFolder());
  EXPECT_GE(pumps_, 6);

  const std::vector<std::string> expected = {
      "Demo  -  Version 1.0   (07.12.2026)",
      "\xC2\xA9 Acme   ( x@acme.invalid )",
      "",
      CopiedLine(texts_, true),
      "",
      Text(TextId::InstallMsg5),
      Text(TextId::InstallMsg2),
      Text(TextId::InstallMsg3),
      Text(TextId::InstallMsg6),
  };
  EXPECT_EQ(Lines(), expected);
  EXPECT_EQ(surface_.controls[RunProgramBox].state, 1);
  EXPECT_TRUE(surface_.Enabled(RunProgramBox));

  // While the files were staged the copy line counted up to 100% in place
  // (the fourth line), before it said it was done.
  std::vector<std::string> copyLines;
  for (const RecordingSurface::Call& call : surface_.calls)
    if (call.operation == "SetListLine" && call.control == ProgressList && call.value == 3)
      copyLines.push_back(call.text);
  ASSERT_GE(copyLines.size(), 2u);
  EXPECT_EQ(copyLines[copyLines.size() - 2], CopyingLine(texts_) + " 100%");
  EXPECT_EQ(copyLines.back(), CopiedLine(texts_, true));
  for (std::size_t i = 1; i + 1 < copyLines.size(); ++i) {
    EXPECT_EQ(copyLines[i].rfind(CopyingLine(texts_) + " ", 0), 0u) << copyLines[i];
    EXPECT_LT(std::stoi(copyLines[i - 1].substr(CopyingLine(texts_).size() + 1)),
              std::stoi(copyLines[i].substr(CopyingLine(texts_).size() + 1)));
  }

  // Files: the no-copy file kept, the record replaced despite "dat|".
  const std::string dir = InstallFolder();
  EXPECT_EQ(ReadFile(dir + "demo.exe"), "MZ demo");
  EXPECT_EQ(ReadFile(dir + "tools\\config.exe"), "MZ config");
  EXPECT_EQ(ReadFile(dir + "settings.dat"), "the user's");
  EXPECT_EQ(ReadFile(dir + "copied.ini"), "[Extra]\r\n");

  // The uninstall entry, quoted for the space, and the product key.
  const std::string entry = std::string(kUninstallKeyBase) + kGuid;
  EXPECT_EQ(ReadStoredValue(HKEY_LOCAL_MACHINE, entry, "UninstallString").Text(),
            "\"" + dir + "Uninstall.exe\"");
  EXPECT_EQ(ReadStoredValue(HKEY_LOCAL_MACHINE, entry, "DisplayName").Text(), "Demo Tool");
  EXPECT_EQ(ReadStoredValue(HKEY_LOCAL_MACHINE, entry, "DisplayIcon").Text(), dir + "demo.exe");
  EXPECT_EQ(ReadStoredValue(HKEY_LOCAL_MACHINE, entry, "Contact").Text(), "x@acme.invalid");
  const std::string product = std::string(kProductKeyBase) + kGuid;
  EXPECT_EQ(ReadStoredValue(HKEY_CURRENT_USER, product, "InstallDir").bytes, dir + '\0');
  EXPECT_EQ(ReadStoredValue(HKEY_CURRENT_USER, product, "StartMenu").bytes, kMenuName + '\0');
  EXPECT_EQ(ReadStoredValue(HKEY_CURRENT_USER, product, "DesktopIcon").bytes, std::string("1") + '\0');
  EXPECT_EQ(ReadStoredValue(HKEY_CURRENT_USER, kTaskKey, "Dir").Text(), "here");
  EXPECT_FALSE(ReadStoredValue(HKEY_CURRENT_USER, kTaskKey, "No").present);

  // The links.
  const std::string desktop = GetSpecialFolder(0);
  const std::string menu = MenuFolder();
  ExpectLink(desktop + "Demo Tool.lnk", dir + "demo.exe", dir, 3);
  ExpectLink(menu + "Demo Tool.lnk", dir + "demo.exe", dir, 3);
  ExpectLink(menu + "config.lnk", dir + "tools\\config.exe", dir, 0);
  ExpectLink(menu + TrimSpaces(Text(TextId::InstallHelp)) + ".lnk", dir + "help.html", dir, 0);
  ExpectLink(menu + "Uninstall.lnk", dir + "Uninstall.exe", dir, 0);
  ExpectLink(desktop + "Tool Link.lnk", dir + "tools\\config.exe", dir + "tools\\", 1);
  ExpectLink(menu + "Menu Tool.lnk", dir + "tools\\config.exe", dir + "tools\\", 0);
  const LinkContent home = ReadLink(menu + "Homepage.lnk");
  ASSERT_TRUE(home.loaded);
  EXPECT_EQ(home.path, GetSpecialFolder(-2) + "rundll32.exe");
  EXPECT_EQ(home.arguments, "url.dll,FileProtocolHandler https://acme.invalid/demo");

  // The record, over the builder's file (not the stale one).
  IniDocument record = IniDocument::Parse(ReadFile(dir + "uninstall.dat"));
  record.SelectGroup("Settings");
  EXPECT_EQ(record.ReadString("ProgName"), "Demo");
  EXPECT_EQ(record.ReadString("Stale", "-"), "-");
  EXPECT_EQ(record.ReadString("ProgDir"), dir);
  EXPECT_EQ(record.ReadString("ProgExe"), "demo.exe");
  EXPECT_EQ(record.ReadString("GUID"), kGuid);
  EXPECT_EQ(record.ReadString("ProgLink"), "Demo Tool");
  EXPECT_EQ(record.ReadString("StartMenu"), menu);
  EXPECT_EQ(record.ReadString("DesktopIcon"), desktop + "Demo Tool.lnk");
  record.SelectGroup("Language");
  EXPECT_EQ(record.ReadString("Titel"), Text(TextId::UninstallerTitel));
  record.SelectGroup("UserTask");
  EXPECT_EQ(record.ReadNumber("Number", -1), 4);
  EXPECT_EQ(record.ReadString("Task1"), desktop + "Tool Link.lnk");
  EXPECT_EQ(record.ReadString("Task2"), menu + "Menu Tool.lnk");
  EXPECT_EQ(record.ReadString("Task3"), dir + "copied.ini");
  EXPECT_EQ(record.ReadString("Task4"), "2147483649|" + kTaskKey + "|Dir");
  EXPECT_EQ(record.ReadString("Task5", "-"), "-");
}

TEST_F(InstallationRun, UnreadablePackageWritesNothingThatWouldNameIt) {
  // No setup.pck in the work folder.
  const InstallationResults r = Run();
  EXPECT_FALSE(r.packageRead);
  EXPECT_TRUE(state_.installationIncomplete);
  ASSERT_EQ(Lines().size(), 5u);
  EXPECT_EQ(Lines()[3], CopiedLine(texts_, false));
  EXPECT_EQ(Lines()[4], "");
  EXPECT_EQ(surface_.controls[RunProgramBox].state, 0);
  EXPECT_FALSE(surface_.Enabled(RunProgramBox));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, std::string(kUninstallKeyBase) + kGuid));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, std::string(kProductKeyBase) + kGuid));
  EXPECT_EQ(0, PathExists(GetSpecialFolder(0) + "Demo Tool.lnk"));
  EXPECT_EQ(0, PathExists(InstallFolder() + "uninstall.dat"));
}

TEST_F(InstallationRun, FolderThatCannotBeMadeInstallsNothing) {
  WriteSetupPackage(Damage::None);
  WriteFile(TestFolder() + "blocker", "a file where a folder should be");
  choices_.installFolder = TestFolder() + "blocker\\Demo";
  const InstallationResults r = Run();
  EXPECT_TRUE(state_.installationIncomplete);
  EXPECT_FALSE(ProgramReady(r));
  ASSERT_EQ(Lines().size(), 5u);
  EXPECT_EQ(Lines()[3], CopiedLine(texts_, false));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, std::string(kUninstallKeyBase) + kGuid));
  EXPECT_EQ(0, PathExists(GetSpecialFolder(0) + "Demo Tool.lnk"));
}

TEST_F(InstallationRun, ADamagedPackageInstallsNothing) {
  // The damaged block comes after six sound entries; the damaged record
  // protects them all.
  for (Damage damage : {Damage::LastBlock, Damage::ChecksumRecord}) {
    SCOPED_TRACE(damage == Damage::LastBlock ? "last block" : "checksum record");
    surface_ = RecordingSurface();
    state_ = InstallerState();
    SetUp();
    WriteSetupPackage(damage);
    const InstallationResults r = Run();
    EXPECT_TRUE(r.packageDamaged);
    EXPECT_TRUE(state_.packageDamaged);
    EXPECT_TRUE(state_.installationIncomplete);
    ASSERT_EQ(Lines().size(), 6u);
    EXPECT_EQ(Lines()[3], CopiedLine(texts_, false));
    EXPECT_EQ(Lines()[4], Text(TextId::InstallDamaged));
    EXPECT_EQ(surface_.controls[RunProgramBox].state, 0);
    EXPECT_FALSE(surface_.Enabled(RunProgramBox));
    // Not a file, not the folder made for them, no registry value, no link.
    EXPECT_EQ(0, PathExists(InstallFolder()));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, std::string(kUninstallKeyBase) + kGuid));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, std::string(kProductKeyBase) + kGuid));
    EXPECT_EQ(0, PathExists(GetSpecialFolder(0) + "Demo Tool.lnk"));
    EXPECT_EQ(0, PathExists(MenuFolder()));
  }
}

TEST_F(InstallationRun, FailedStepsCarryTheFailureMark) {
  WriteSetupPackage(Damage::None);
  // A file where the start-menu folder should be: no menu folder, no menu
  // links, and the menu tasks are skipped.
  MakeFolderPath(GetSpecialFolder(2) + "Brindorel Test\\");
  WriteFile(GetSpecialFolder(2) + kMenuName, "in the way");
  const InstallationResults r = Run();
  EXPECT_FALSE(r.menuLinks);
  EXPECT_TRUE(r.desktopLink);
  EXPECT_TRUE(r.userTasks);  // "Menu Tool" is skipped without its folder, not failed
  EXPECT_TRUE(state_.installationIncomplete);
  EXPECT_TRUE(ProgramReady(r));
  EXPECT_EQ(surface_.controls[RunProgramBox].state, 1);
  ASSERT_EQ(Lines().size(), 9u);
  EXPECT_EQ(Lines()[6], Text(TextId::InstallMsg2));
  EXPECT_EQ(Lines()[7], StepLine(Text(TextId::InstallMsg3), texts_, false));
  EXPECT_EQ(Lines()[8], Text(TextId::InstallMsg6));
  IniDocument record = IniDocument::Parse(ReadFile(InstallFolder() + "uninstall.dat"));
  record.SelectGroup("Settings");
  EXPECT_EQ(record.ReadString("StartMenu", "-"), "");
  record.SelectGroup("UserTask");
  EXPECT_EQ(record.ReadNumber("Number", -1), 3);
  DeleteFileA((GetSpecialFolder(2) + kMenuName).c_str());
}

}  // namespace
}  // namespace brindorel
