// For whom an installation is made: the package's offer against the
// switches, the elevation decision, the per-user default folder and what a
// per-user installation may write.
#include <gtest/gtest.h>

#include "core/elevation_rules.h"
#include "install/install_scope.h"

namespace brindorel {
namespace {

constexpr PackageScope M = PackageScope::Machine, U = PackageScope::User, C = PackageScope::Choose;
constexpr ScopeRequest None = ScopeRequest::None, All = ScopeRequest::AllUsers, Cur = ScopeRequest::CurrentUser;

struct ScopeCase {
  PackageScope offered;
  ScopeRequest request;
  bool silent;
  bool elevated;
  bool accepted;        // SettleScope
  InstallScope scope;   // when accepted
  bool open;            // the settings page may change it
  StartAction start;
};

TEST(InstallScope, OfferSwitchesAndElevation) {
  const InstallScope Mach = InstallScope::Machine, User = InstallScope::User;
  const StartAction Go = StartAction::Continue, Up = StartAction::RelaunchElevated, Bad = StartAction::BadScope;
  const ScopeCase cases[] = {
      // A machine package: elevation whenever it is missing.
      {M, None, true, false, true, Mach, false, Up},
      {M, None, false, false, true, Mach, false, Up},
      {M, None, false, true, true, Mach, false, Go},
      {M, All, true, false, true, Mach, false, Up},
      {M, Cur, true, false, false, Mach, false, Bad},
      // A per-user package never asks.
      {U, None, true, false, true, User, false, Go},
      {U, None, false, true, true, User, false, Go},
      {U, All, true, false, false, Mach, false, Bad},
      {U, Cur, false, false, true, User, false, Go},
      // Both offered: the machine unless a switch says otherwise.
      {C, None, true, false, true, Mach, true, Up},
      {C, None, false, false, true, Mach, true, Go},  // the settings page decides
      {C, All, false, false, true, Mach, false, Up},
      {C, Cur, true, false, true, User, false, Go},
      {C, Cur, false, true, true, User, false, Go},
  };
  for (const ScopeCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << PackageScopeName(c.offered) << " request " << static_cast<int>(c.request)
                                      << " silent " << c.silent << " elevated " << c.elevated);
    InstallScope scope = InstallScope::Machine;
    EXPECT_EQ(SettleScope(c.offered, c.request, scope), c.accepted);
    if (c.accepted) {
      EXPECT_EQ(scope, c.scope);
    }
    EXPECT_EQ(ScopeIsOpen(c.offered, c.request), c.open);
    InstallerArguments arguments;
    arguments.silent = c.silent;
    arguments.scope = c.request;
    EXPECT_EQ(DecideStart(c.offered, arguments, c.elevated), c.start);
    // The elevated copy never hands the run on again.
    arguments.handOver = 4242;
    if (c.start == Up) {
      EXPECT_EQ(DecideStart(c.offered, arguments, false), Go);
    }
  }
}

TEST(InstallScope, KeyValues) {
  const struct {
    const char* text;
    PackageScope scope;
  } cases[] = {{"machine", M}, {"", M}, {"User", U}, {" user ", U}, {"CHOOSE", C},
               {"users", M},   {"both", M}, {"user\x01", M}};
  for (const auto& c : cases) EXPECT_EQ(ParsePackageScope(c.text), c.scope) << c.text;
  for (PackageScope scope : {M, U, C}) EXPECT_EQ(ParsePackageScope(PackageScopeName(scope)), scope);
}

TEST(InstallScope, PerUserDefaultFolder) {
  const std::string local = "C:\\Users\\Ann\\AppData\\Local";
  const struct {
    const char* defaultDir;
    const char* expected;  // below local + "\Programs\"
  } cases[] = {
      {"%ProgramFiles%\\Acme\\Tool", "Acme\\Tool"},
      {"%ProgramFiles%\\Acme Tool\\", "Acme Tool"},
      {"C:\\Tools\\Acme", "Acme"},                       // no placeholder: the last folder
      {"%ProgramFiles%\\..\\..\\Windows", "Windows"},    // nothing climbs out
      {"%ProgramFiles%\\%WinDir%\\x", "x"},              // no second placeholder
      {"%ProgramFiles%", "Fallback"},
      {"", "Fallback"},
      {"%ProgramFiles%\\D:\\x", "x"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UserDefaultInstallDir(c.defaultDir, local, "Fallback"), local + "\\Programs\\" + c.expected + "\\")
        << c.defaultDir;
  }
  EXPECT_EQ(UserDefaultInstallDir("%ProgramFiles%\\Acme", "", "F"), "");
}

TEST(InstallScope, WhatAPerUserInstallationMayWrite) {
  const std::vector<std::string> user = {"c:\\users\\ann", "d:\\apps\\acme"};
  const std::vector<std::string> machine = {"c:\\program files", "c:\\windows", "c:\\users\\public"};
  const struct {
    const char* path;
    bool inReach;
  } cases[] = {
      {"C:\\Users\\Ann\\Desktop\\a.txt", true},   {"D:\\Apps\\Acme\\sub\\b.dll", true},
      {"C:\\Windows\\System32\\x.dll", false},    {"C:\\Program Files\\Acme\\x", false},
      {"C:\\Users\\Annex\\x", false},             {"C:\\Users\\Public\\x", false},
      {"relative\\x", false},                     {"E:\\x", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsInUsersReach(c.path, user, machine), c.inReach) << c.path;
}

TEST(InstallScope, ElevatedArgumentsReadBack) {
  InstallerArguments a = ParseInstallerArguments(
      "Install.exe /S /NOICONS /LANG=de.lng \"/LOG=C:\\my logs\\x.log\" \"/MENU=Acme Tools\" /CURRENTUSER "
      "/D=C:\\a b\\c");
  ASSERT_TRUE(a.badArgument.empty()) << a.badArgument;
  const InstallerArguments up = ElevatedArguments(a, 77);
  const InstallerArguments back = ParseInstallerArguments("Install.exe " + InstallerArgumentsText(up));
  EXPECT_TRUE(back.badArgument.empty()) << back.badArgument;
  EXPECT_EQ(back.handOver, 77u);
  EXPECT_TRUE(back.silent && back.noIcons);
  EXPECT_EQ(back.languageFile, "de.lng");
  EXPECT_EQ(back.logPath, "C:\\my logs\\x.log");
  EXPECT_EQ(back.menuFolder, "Acme Tools");
  EXPECT_EQ(back.scope, ScopeRequest::CurrentUser);
  EXPECT_EQ(back.installDir, "C:\\a b\\c");
  // Contradicting switches and a hand-over without a process are refused.
  for (const char* line : {"I.exe /ALLUSERS /CURRENTUSER", "I.exe /DESKTOP /NODESKTOP", "I.exe /RESUME",
                           "I.exe /HANDOVER=0", "I.exe /HANDOVER=99999999999", "I.exe /HANDOVER=12x"})
    EXPECT_FALSE(ParseInstallerArguments(line).badArgument.empty()) << line;
}

}  // namespace
}  // namespace brindorel
