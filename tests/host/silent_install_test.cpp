#include "core/silent_install.h"

#include <gtest/gtest.h>

namespace brindorel {
namespace {

TEST(SilentInstall, LanguageComesFromTheListOnly) {
  const std::string list = "english.lng#9|german.lng#7|";
  const struct {
    const char* list;
    const char* requested;
    std::uint16_t languageId;
    const char* file;
    bool refused;
  } cases[] = {
      {list.c_str(), "", 0x0407, "german.lng", false},   // by locale
      {list.c_str(), "", 0x040c, "english.lng", false},  // no match: the first, no chooser
      {list.c_str(), "GERMAN.LNG", 0x0409, "german.lng", false},
      {list.c_str(), "french.lng", 0x0409, "", true},
      {list.c_str(), "..\\..\\x.lng", 0x0409, "", true},
      {"english.lng#9|", "english.lng", 0x0407, "english.lng", false},  // a single entry
      {"english.lng#9|", "german.lng", 0x0407, "", true},
      {"", "english.lng", 0x0409, "", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.list) + " / " + c.requested);
    bool refused = !c.refused;
    EXPECT_EQ(SilentLanguageFile(c.list, c.requested, c.languageId, refused), c.file);
    EXPECT_EQ(refused, c.refused);
  }
}

TEST(SilentInstall, LogSurfaceKeepsTheProgressListInOrder) {
  LogSurface surface;
  surface.AddListLine(ProgressList, 0, "title");
  surface.AddListLine(ProgressList, 1, "author");
  surface.AddListLine(ProgressList, 0, "first");
  surface.AddListLine(ProgressList, 7, "appended");  // past the end: appended
  surface.AddListLine(ProgressList, -1, "last");
  surface.SetListLine(ProgressList, 1, "title, done");
  surface.SetListLine(ProgressList, 9, "nowhere");  // no such line: ignored
  surface.AddListLine(InstallDirField, 0, "not a list");
  EXPECT_EQ(surface.ProgressLines(), (std::vector<std::string>{"first", "title, done", "author", "appended", "last"}));

  surface.SetText(InstallDirField, "C:\\Acme\\");
  surface.SetState(DesktopIconBox, 1);
  EXPECT_EQ(surface.GetText(InstallDirField), "C:\\Acme\\");
  EXPECT_EQ(surface.GetText(MenuFolderField), "");
  EXPECT_EQ(surface.GetState(DesktopIconBox), 1);
  EXPECT_EQ(surface.GetState(RunProgramBox), 0);
}

TEST(SilentInstall, LogAndExitCodeTellFailures) {
  EXPECT_EQ(SilentLogText({"Acme", "", "Copy Program Files"}, {"program/a.dll"}),
            "Acme\r\n\r\nCopy Program Files\r\nFailed: program/a.dll\r\n");
  EXPECT_EQ(SilentExitFor(true, false), kSilentInstalled);
  EXPECT_EQ(SilentExitFor(true, true), kSilentNeedsRestart);
  EXPECT_EQ(SilentExitFor(false, true), kSilentFailed);
}

}  // namespace
}  // namespace brindorel
