// The installer's command line: switches, values with spaces, and what is
// refused.
#include <gtest/gtest.h>

#include "core/command_line.h"

namespace brindorel {
namespace {

TEST(InstallerArguments, NoArgumentsMeansTheWizard) {
  for (const char* line : {"Install.exe", "\"C:\\Down loads\\Install.exe\"", "\"C:\\a b\\Install.exe\"   ", ""}) {
    InstallerArguments a = ParseInstallerArguments(line);
    EXPECT_FALSE(a.silent) << line;
    EXPECT_TRUE(a.badArgument.empty()) << line;
    EXPECT_TRUE(a.installDir.empty()) << line;
  }
}

TEST(InstallerArguments, SwitchesAndValues) {
  InstallerArguments a = ParseInstallerArguments(
      "\"C:\\Down loads\\Install.exe\" /s /NoIcons /NODESKTOP /LANG=german.lng \"/LOG=C:\\my logs\\i.log\" "
      "/D=C:\\Program Files\\Acme Tool\\");
  EXPECT_TRUE(a.silent);
  EXPECT_TRUE(a.noIcons);
  EXPECT_TRUE(a.noDesktop);
  EXPECT_EQ(a.languageFile, "german.lng");
  EXPECT_EQ(a.logPath, "C:\\my logs\\i.log");
  EXPECT_EQ(a.installDir, "C:\\Program Files\\Acme Tool\\");
  EXPECT_TRUE(a.badArgument.empty()) << a.badArgument;

  // A quoted value after the "=", and /D= taking the rest of the line verbatim.
  a = ParseInstallerArguments("Install.exe /LOG=\"D:\\a b.log\" /D=D:\\x /S y");
  EXPECT_EQ(a.logPath, "D:\\a b.log");
  EXPECT_EQ(a.installDir, "D:\\x /S y");
  EXPECT_FALSE(a.silent);
}

TEST(InstallerArguments, TheFirstArgumentNotUnderstoodIsNamed) {
  struct Case {
    const char* line;
    const char* bad;
  } cases[] = {
      {"Install.exe /S /X", "/X"},
      {"Install.exe /silent", "/silent"},
      {"Install.exe /S /D=", "/D="},
      {"Install.exe /LANG=", "/LANG="},
      {"Install.exe /LOG= /S", "/LOG="},
      {"Install.exe C:\\dir", "C:\\dir"},
      {"Install.exe /S \"/D=C:\\x\"", "\"/D=C:\\x\""},  // /D= is never quoted
      {"Install.exe \"unclosed /S", "\"unclosed /S"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseInstallerArguments(c.line).badArgument, c.bad) << c.line;
  }
}

}  // namespace
}  // namespace brindorel
