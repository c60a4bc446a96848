#include "install/setup_keys.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "services/ini_document.h"

namespace brindorel {
namespace {

TEST(SetupKeys, KeysAreFoundAsTheInstallerMatchesThem) {
  struct Case {
    const char* group;
    const char* key;
    const char* found;  // nullptr: not a key of the table
  };
  const Case cases[] = {
      {"Settings", "ProgExe", "ProgExe"},   {"settings", "PROGEXE", "ProgExe"},
      {"Info", "ProgExe", nullptr},         {"StartMenue", "DefaultDir", "DefaultDir"},
      {"StartMenu", "DefaultDir", nullptr}, {"UserTask", "Task1", "Task<n>"},
      {"UserTask", "task4711", "Task<n>"},  {"UserTask", "Task01", nullptr},
      {"UserTask", "Task0", nullptr},       {"UserTask", "Task", nullptr},
      {"UserTask", "Task1x", nullptr},      {"UserTask", "Task12345678901", nullptr},
  };
  for (const Case& c : cases) {
    const SetupKey* key = FindSetupKey(c.group, c.key);
    EXPECT_EQ(key == nullptr ? std::string("-") : key->key, c.found == nullptr ? "-" : c.found)
        << c.group << " " << c.key;
  }
  EXPECT_TRUE(IsSetupGroup("uSERtASK"));
  EXPECT_FALSE(IsSetupGroup("Language"));
}

TEST(SetupKeys, EveryKeyIsOnceInTheTableAndReadsItsDefaultFromAnEmptyFile) {
  std::set<std::string> seen;
  IniDocument empty;
  for (int i = 0; i < kSetupKeyCount; ++i) {
    const auto id = static_cast<SetupKeyId>(i);
    const SetupKey& key = SetupKeyAt(id);
    EXPECT_TRUE(seen.insert(std::string(key.group) + "/" + key.key).second) << key.key;
    EXPECT_EQ(FindSetupKey(key.group, key.kind == SetupKind::TaskLines ? "Task7" : key.key), &key);
    EXPECT_NE(std::string(SetupKeyMeaning(id)), "");
    if (key.kind == SetupKind::Text || key.kind == SetupKind::Path) {
      EXPECT_EQ(ReadSetupText(empty, id), key.defaultValue);
    }
  }
  EXPECT_EQ(ReadSetupText(empty, SetupKeyId::Titel), kDefaultProgramTitle);
}

TEST(SetupKeys, FlagsAndSmallNumbersKeepTheirLowEightBits) {
  IniDocument ini = IniDocument::Parse("[Task]\nReboot=256\nDesktop=256\nStartMenu=-255\n[Settings]\nIconID=200\n");
  EXPECT_EQ(ReadSetupNumber(ini, SetupKeyId::Reboot), 0);
  EXPECT_EQ(ReadSetupNumber(ini, SetupKeyId::Desktop), 256);
  EXPECT_EQ(ReadSetupNumber(ini, SetupKeyId::StartMenu), 1);
  EXPECT_EQ(ReadSetupNumber(ini, SetupKeyId::IconID), -56);
  EXPECT_EQ(ReadSetupNumber(ini, SetupKeyId::TaskNumber), 0);
  EXPECT_EQ(StoredSetupNumber(SetupKind::SmallNumber, -128), -128);
  EXPECT_EQ(StoredSetupNumber(SetupKind::Flag, 511), 255);
}

}  // namespace
}  // namespace brindorel
