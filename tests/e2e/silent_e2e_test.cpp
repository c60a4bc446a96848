// Unattended installs of the example through the real Install.exe: /S with
// and without /D=, the second run taking the first run's choices, the
// program running, bad arguments and a damaged package, each with its exit
// code and its log.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "driver.h"
#include "e2e_support.h"
#include "package/package_reader.h"
#include "services/file_system.h"
#include "services/folders.h"
#include "services/registry.h"
#include "tests/win32/support/win32_checks.h"

namespace brindorel::e2e {
namespace {

using wine_checks::DeleteKeyTree;

const char kGuid[] = "{7D1E6F52-2C4B-4A8E-9B3D-1F0A6C5E8D24}";
const std::uint32_t kCurrentUser = 0x80000001u;

std::string Target() { return OutFolder() + "silent\\Acme Demo Silent"; }
std::string MenuFolder() { return GetSpecialFolder(2) + "Acme\\"; }
std::string DesktopLink() { return GetSpecialFolder(0) + "Acme Demo.lnk"; }
std::string ProductKey() { return std::string("SOFTWARE\\Brindorel\\") + kGuid; }
std::string LogPath() { return OutFolder() + "silent.log"; }

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void Clean() {
  RemoveFolder(OutFolder() + "silent\\", "", kRemoveSubfolders | kRemoveForced);
  RemoveFolder(MenuFolder(), "", kRemoveSubfolders | kRemoveForced);
  for (const char* link : {"Acme Demo.lnk", "Acme Readme.lnk"}) DeleteFileA((GetSpecialFolder(0) + link).c_str());
  DeleteFileA((GetSpecialFolder(26) + "acme-demo.ini").c_str());
  DeleteFileA(LogPath().c_str());
  DeleteKeyTree(HKEY_LOCAL_MACHINE, std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + kGuid);
  DeleteKeyTree(HKEY_CURRENT_USER, ProductKey());
  DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Acme\\Demo");
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Acme");
}

class SilentRun : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    CreateDirectoryA(OutFolder().c_str(), nullptr);
    installer_ = BuildInstaller(SourcePath("examples/acme-demo"), "Silent.exe");
  }
  void SetUp() override {
    ASSERT_FALSE(installer_.empty());
    Clean();
  }
  void TearDown() override { Clean(); }

  static int Run(const std::string& arguments, const std::string& installer = installer_) {
    return RunAndWait("\"" + installer + "\" " + arguments, 120000);
  }

  static std::string installer_;
};
std::string SilentRun::installer_;

TEST_F(SilentRun, InstallsWithoutAWindowAndASecondRunTakesTheFirstRunsChoices) {
  // The folder is the rest of the line: spaces, no quotes.
  ASSERT_EQ(Run("/S /LOG=\"" + LogPath() + "\" /D=" + Target()), 0);
  const std::string folder = Target() + "\\";
  EXPECT_TRUE(Exists(folder + "acme.exe"));
  EXPECT_TRUE(Exists(folder + "tools\\acme-config.exe"));
  EXPECT_TRUE(Exists(folder + "Uninstall.exe"));
  IniDocument record = ReadIni(folder + "uninstall.dat");
  record.SelectGroup("Settings");
  EXPECT_EQ(record.ReadString("ProgDir", ""), folder);
  EXPECT_EQ(ReadRegistryText(kCurrentUser, ProductKey(), "InstallDir"), folder);
  EXPECT_EQ(ReadRegistryText(kCurrentUser, ProductKey(), "DesktopIcon"), "1");
  EXPECT_TRUE(Exists(DesktopLink()));
  EXPECT_TRUE(Exists(MenuFolder() + "Demo\\Acme Demo.lnk"));
  EXPECT_FALSE(Exists(WorkFolder()));
  const std::string log = ReadText(LogPath());
  // UTF-8 with the mark.
  EXPECT_EQ(log.rfind("\xEF\xBB\xBF" "Acme Demo  -  Version 2.1   (07.12.2026)\r\n", 0), 0u) << log;
  EXPECT_EQ(log.find("Failed"), std::string::npos) << log;

  // Without /D= the remembered folder is used; the switches turn the links off.
  DeleteFileA(DesktopLink().c_str());
  RemoveFolder(MenuFolder(), "", kRemoveSubfolders | kRemoveForced);
  DeleteFileA((folder + "acme.exe").c_str());
  ASSERT_EQ(Run("/S /NODESKTOP /NOICONS"), 0);
  EXPECT_TRUE(Exists(folder + "acme.exe"));
  EXPECT_FALSE(Exists(DesktopLink()));
  EXPECT_FALSE(Exists(MenuFolder()));
  EXPECT_EQ(ReadRegistryText(kCurrentUser, ProductKey(), "DesktopIcon"), "0");
  EXPECT_EQ(ReadRegistryText(kCurrentUser, ProductKey(), "StartMenu"), "");
}

TEST_F(SilentRun, TheProgramRunningStopsTheRunBeforeAnythingIsTouched) {
  HANDLE running = CreateMutexA(nullptr, FALSE, "AcmeDemoRunning");
  ASSERT_NE(running, nullptr);
  EXPECT_EQ(Run("/S /LOG=" + LogPath() + " /D=" + Target()), 1);
  CloseHandle(running);
  EXPECT_FALSE(Exists(Target()));
  EXPECT_EQ(ReadRegistryText(kCurrentUser, ProductKey(), "InstallDir"), "");
  EXPECT_FALSE(Exists(WorkFolder()));
  EXPECT_NE(ReadText(LogPath()).find("Failed: Acme Demo is running"), std::string::npos);
}

TEST_F(SilentRun, BadArgumentsEndTheRunWithCodeFour) {
  for (const std::string& arguments : {std::string("/S /X"), std::string("/S /LANG=french.lng /D=") + Target(),
                                       std::string("/S /D=C:\\"), std::string("/S /D=relative\\folder")}) {
    SCOPED_TRACE(arguments);
    EXPECT_EQ(Run(arguments), 4);
    EXPECT_FALSE(Exists(Target()));
    EXPECT_FALSE(Exists(WorkFolder()));
  }
}

TEST_F(SilentRun, ADamagedPackageInstallsNothingAndTheLogNamesTheEntry) {
  // Break one compressed entry of the installer's package in a copy.
  const std::string damaged = OutFolder() + "SilentDamaged.exe";
  ASSERT_TRUE(CopyFileA(installer_.c_str(), damaged.c_str(), FALSE));
  ASSERT_EQ(ReadPackage(damaged), 1);
  std::fstream file(damaged, std::ios::in | std::ios::out | std::ios::binary);
  // The entries' data lies from D on (the trailer's third number), in table
  // order without gaps.
  file.seekg(-8, std::ios::end);
  unsigned char d[4] = {};
  file.read(reinterpret_cast<char*>(d), 4);
  std::uint64_t offset = std::uint64_t(d[0]) | std::uint64_t(d[1]) << 8 | std::uint64_t(d[2]) << 16 |
                         std::uint64_t(d[3]) << 24;
  std::string name;
  for (const PackageEntry& entry : PackageEntries()) {
    if (entry.type != kEntryFile) continue;
    if (entry.storedSize != entry.size && entry.storedSize > 16) {
      name = entry.name;
      offset += entry.storedSize / 2;
      break;
    }
    offset += entry.storedSize;
  }
  ASSERT_FALSE(name.empty());
  {
    file.seekg(static_cast<std::streamoff>(offset));
    const char byte = static_cast<char>(file.get() ^ 0x5A);
    file.seekp(static_cast<std::streamoff>(offset));
    file.put(byte);
    file.close();
  }
  EXPECT_EQ(Run("/S /LOG=" + LogPath() + " /D=" + Target(), damaged), 2);
  EXPECT_FALSE(Exists(Target()));
  EXPECT_NE(ReadText(LogPath()).find("Failed: entry " + name), std::string::npos) << ReadText(LogPath());
}

}  // namespace
}  // namespace brindorel::e2e
