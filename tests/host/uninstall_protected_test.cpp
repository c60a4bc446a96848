// The uninstaller against an "uninstall.dat" changed behind its back: only
// what the protected copy agrees with is acted on outside ProgDir; and the
// logon command that removes what a per-user uninstaller must leave.
#include <gtest/gtest.h>

#include "uninstaller/removal.h"
#include "uninstaller/uninstall_data.h"

namespace brindorel {
namespace {

UninstallData Record() {
  UninstallData data;
  data.progDir = "C:\\Apps\\Acme\\";
  data.startMenu = "C:\\Users\\Ann\\Start Menu\\Programs\\Acme";
  data.desktopIcon = "C:\\Users\\Ann\\Desktop\\Acme.lnk";
  data.tasks = {"C:\\Windows\\some.ini", "C:\\Users\\Ann\\Desktop\\Readme.lnk", "C:\\Apps\\Acme\\extra.dat",
                "2147483649|Software\\Acme|Path", "2147483650|Software\\Classes|x"};
  return data;
}

TEST(ProtectedRecord, OnlyWhatBothPlacesAgreeOn) {
  struct Case {
    const char* what;
    bool present;
    std::vector<std::string> protectedTasks;
    std::string startMenu, desktopIcon;
    std::vector<std::string> keptTasks;
    bool keepsMenu, keepsDesktop;
  };
  const std::string menu = Record().startMenu, desktop = Record().desktopIcon;
  const Case cases[] = {
      {"an older installer: today's rules", false, {}, "", "", Record().tasks, true, true},
      {"a planted line outside ProgDir",
       true,
       {"C:\\Users\\Ann\\Desktop\\Readme.lnk", "2147483649|Software\\Acme|Path"},
       menu,
       desktop,
       {"C:\\Users\\Ann\\Desktop\\Readme.lnk", "C:\\Apps\\Acme\\extra.dat", "2147483649|Software\\Acme|Path"},
       true,
       true},
      {"changed folders and links",
       true,
       {},
       "C:\\Users\\Ann\\Start Menu\\Programs\\Other",
       "",
       {"C:\\Apps\\Acme\\extra.dat"},
       false,
       false},
      {"the same paths in another case", true, {}, "c:\\users\\ann\\start menu\\programs\\acme\\",
       "C:\\USERS\\Ann\\Desktop\\acme.lnk", {"C:\\Apps\\Acme\\extra.dat"}, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UninstallData data = Record();
    data.protectedCopy.present = c.present;
    data.protectedCopy.tasks = c.protectedTasks;
    data.protectedCopy.startMenu = c.startMenu;
    data.protectedCopy.desktopIcon = c.desktopIcon;
    const std::vector<std::string> dropped = KeepOnlyProtected(data);
    EXPECT_EQ(data.tasks, c.keptTasks);
    EXPECT_EQ(data.startMenu, c.keepsMenu ? menu : "");
    EXPECT_EQ(data.desktopIcon, c.keepsDesktop ? desktop : "");
    EXPECT_EQ(dropped.size(), Record().tasks.size() - c.keptTasks.size() + !c.keepsMenu + !c.keepsDesktop);
  }
}

TEST(ProtectedRecord, ValuesReadBack) {
  UninstallRecord record;
  record.progDir = "C:\\Apps\\Acme\\";
  record.startMenu = "C:\\M\\Acme";
  record.undoList = {"C:\\a.txt", "2147483649|K|V"};
  std::vector<std::pair<std::string, std::string>> stored = ProtectedRecordValues(record);
  auto reader = [&stored](const std::string& name, std::string& value) {
    for (const auto& entry : stored) {
      if (entry.first == name) {
        value = entry.second;
        return true;
      }
    }
    return false;
  };
  ProtectedRecord copy = ReadProtectedRecord(reader);
  EXPECT_TRUE(copy.present);
  EXPECT_EQ(copy.progDir, record.progDir);
  EXPECT_EQ(copy.startMenu, record.startMenu);
  EXPECT_EQ(copy.tasks.size(), 2u);
  // A hostile or missing Number: no copy at all.
  for (const char* number : {"", "-1", "x", "1000001", "99999999999"}) {
    stored[3].second = number;
    EXPECT_FALSE(ReadProtectedRecord(reader).present) << number;
  }
}

TEST(CleanupAtLogon, Commands) {
  const std::string sys = "C:\\Windows\\system32\\";
  const struct {
    std::string path;
    bool folder;
    std::string command;
  } cases[] = {
      {"C:\\Temp\\BrindorelUninstall-0123456789ab\\Uninstall.exe", false,
       "\"C:\\Windows\\system32\\cmd.exe\" /c del /f /q \"C:\\Temp\\BrindorelUninstall-0123456789ab\\Uninstall.exe\""},
      {"C:\\Apps\\Acme", true, "\"C:\\Windows\\system32\\cmd.exe\" /c rd /q \"C:\\Apps\\Acme\""},
      {"relative\\x", false, ""},
      {"C:\\a%PATH%b", false, ""},
      {"C:\\a&b", false, ""},
      {"C:\\a\"b", false, ""},
      {"C:\\a\nb", false, ""},
      {"C:\\" + std::string(240, 'x'), false, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(CleanupCommand(sys, c.path, c.folder), c.command) << c.path;
  EXPECT_EQ(CleanupCommand("", "C:\\x", false), "");
}

}  // namespace
}  // namespace brindorel
