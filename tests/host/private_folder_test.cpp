// The working folder's name rules: what a run does about the plain name,
// and the random names it uses instead.
#include <gtest/gtest.h>

#include <set>

#include "services/private_folder.h"

namespace brindorel {
namespace {

TEST(PrivateFolder, PlainNameSteps) {
  const struct {
    FoundEntry found;
    PlainNameStep step;
  } cases[] = {
      {{false, false, false, false}, PlainNameStep::Create},
      {{true, true, false, true}, PlainNameStep::RemoveThenCreate},  // a plain folder of our own
      {{true, true, false, false}, PlainNameStep::UseRandomName},    // someone else's folder
      {{true, true, true, true}, PlainNameStep::UseRandomName},      // a link, even one of ours
      {{true, true, true, false}, PlainNameStep::UseRandomName},
      {{true, false, false, true}, PlainNameStep::UseRandomName},    // a file of that name
      {{true, false, true, false}, PlainNameStep::UseRandomName},    // a file link
      {{true, false, false, false}, PlainNameStep::UseRandomName},   // there but unreadable
  };
  for (const auto& c : cases)
    EXPECT_EQ(ChoosePlainNameStep(c.found), c.step)
        << c.found.exists << c.found.isFolder << c.found.isLink << c.found.ownedByUs;
}

TEST(PrivateFolder, RandomNames) {
  std::uint8_t bytes[kRandomNameCharacters];
  std::set<std::string> names;
  std::uint32_t state = 12345;
  for (int round = 0; round < 64; ++round) {
    for (std::uint8_t& byte : bytes) {
      state = state * 1664525u + 1013904223u;
      byte = static_cast<std::uint8_t>(state >> 24);
    }
    const std::string name = RandomFolderName("Brindorel", bytes, sizeof bytes);
    EXPECT_TRUE(IsRandomFolderName(name, "Brindorel")) << name;
    EXPECT_FALSE(IsRandomFolderName(name, "BrindorelUninstall")) << name;
    names.insert(name);
  }
  EXPECT_EQ(names.size(), 64u);
  // Fewer bytes than characters: never read past them.
  EXPECT_EQ(RandomFolderName("B", bytes, 3).size(), 5u);
  for (const char* name : {"Brindorel", "Brindorel-", "Brindorel-0123456789a", "Brindorel-0123456789abc",
                           "Brindorel-0123456789aB", "Brindorel_0123456789ab", "Brindorel-0123456789a."})
    EXPECT_FALSE(IsRandomFolderName(name, "Brindorel")) << name;
  EXPECT_TRUE(IsRandomFolderName("Brindorel-0123456789ab", "Brindorel"));
}

}  // namespace
}  // namespace brindorel
