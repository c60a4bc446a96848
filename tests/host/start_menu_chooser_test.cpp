#include "ui/start_menu_chooser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace brindorel {
namespace {

// A folder tree in memory: full folder path (ending in "\") -> its entries.
class FakeFolders {
 public:
  FakeFolders& Folder(const std::string& parent, const std::string& name, bool reparse = false) {
    entries_[parent].push_back({name, true, reparse});
    entries_[parent + name + "\\"];
    return *this;
  }
  FakeFolders& File(const std::string& parent, const std::string& name) {
    entries_[parent].push_back({name, false, false});
    return *this;
  }
  MenuFolderLister Lister() {
    return [this](const std::string& folder) {
      ++listings_;
      auto it = entries_.find(folder);
      return it == entries_.end() ? std::vector<MenuFolderEntry>() : it->second;
    };
  }
  int listings() const { return listings_; }

 private:
  std::map<std::string, std::vector<MenuFolderEntry>> entries_;
  int listings_ = 0;
};

const char kUser[] = "C:\\Users\\me\\Start Menu\\Programs\\";
const char kCommon[] = "C:\\ProgramData\\Start Menu\\Programs\\";

std::vector<std::string> Sorted(std::vector<std::string> folders) {
  SortMenuFolders(folders);
  return folders;
}

TEST(StartMenuScan, MergesBothRootsAndListsEachFolderOnce) {
  FakeFolders fs;
  fs.Folder(kUser, "Tools").Folder(std::string(kUser) + "Tools\\", "Mine").File(kUser, "readme.lnk");
  fs.Folder(kCommon, "tools").Folder(kCommon, "Games").Folder(std::string(kCommon) + "tools\\", "Shared");
  fs.Folder(kCommon, ".").Folder(kCommon, "..");
  EXPECT_EQ(Sorted(ScanMenuFolders({kUser, "", kCommon}, fs.Lister())),
            (std::vector<std::string>{"Games", "Tools", "Tools\\Mine", "tools\\Shared"}));
}

TEST(StartMenuScan, RootsWithoutFinalSeparatorAndMissingRootsWork) {
  FakeFolders fs;
  fs.Folder(kUser, "A");
  std::string user(kUser);
  user.pop_back();
  EXPECT_EQ(ScanMenuFolders({user, "D:\\missing\\"}, fs.Lister()), (std::vector<std::string>{"A"}));
  EXPECT_TRUE(ScanMenuFolders({"", ""}, fs.Lister()).empty());
}

TEST(StartMenuScan, ReparsePointsAreNeitherListedNorOpened) {
  FakeFolders fs;
  fs.Folder(kUser, "Real").Folder(kUser, "Loop", true).Folder(std::string(kUser) + "Loop\\", "Inside");
  const auto lister = fs.Lister();
  EXPECT_EQ(ScanMenuFolders({kUser}, lister), (std::vector<std::string>{"Real"}));
  EXPECT_EQ(fs.listings(), 2);  // the root and Real
}

// A folder that lists itself again (a cycle the attribute does not reveal)
// ends at the depth cap.
TEST(StartMenuScan, DepthIsCappedEvenWhenEveryFolderHoldsAnother) {
  int listings = 0;
  MenuFolderLister endless = [&listings](const std::string&) {
    ++listings;
    return std::vector<MenuFolderEntry>{{"x", true, false}};
  };
  const std::vector<std::string> folders = ScanMenuFolders({"C:\\P\\"}, endless);
  ASSERT_EQ(folders.size(), static_cast<std::size_t>(kMenuFolderLevels));
  EXPECT_EQ(std::count(folders.back().begin(), folders.back().end(), '\\'), kMenuFolderLevels - 1);
  EXPECT_EQ(listings, kMenuFolderLevels);
}

TEST(StartMenuScan, PathsOverTheLengthLimitAreLeftOut) {
  const std::string root = "C:\\P\\";
  // root + name + "\" exactly at the limit is kept, one more is not.
  const std::string fits(kLongestMenuFolderPath - root.size() - 1, 'a');
  const std::string tooLong(kLongestMenuFolderPath - root.size(), 'b');
  FakeFolders fs;
  fs.Folder(root, fits).Folder(root, tooLong).Folder(root + tooLong + "\\", "c");
  EXPECT_EQ(ScanMenuFolders({root}, fs.Lister()), (std::vector<std::string>{fits}));
}

TEST(StartMenuScan, NamesThatWouldLeaveTheProgramsFolderAreRefused) {
  FakeFolders fs;
  for (const char* bad : {"C:", "a\\..\\..", "x:y", "bad|name", "trailing.", "CON"}) fs.Folder(kUser, bad);
  fs.Folder(kUser, "Good");
  EXPECT_EQ(ScanMenuFolders({kUser}, fs.Lister()), (std::vector<std::string>{"Good"}));
}

struct SortCase {
  std::vector<std::string> input;
  std::vector<std::string> sorted;
};

class StartMenuSort : public ::testing::TestWithParam<SortCase> {};

TEST_P(StartMenuSort, ComparesLevelByLevelIgnoringLetterCase) {
  EXPECT_EQ(Sorted(GetParam().input), GetParam().sorted);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartMenuSort,
    ::testing::Values(
        SortCase{{"Microsoft Office Tools", "Microsoft Office\\Tools", "Microsoft Office"},
                 {"Microsoft Office", "Microsoft Office\\Tools", "Microsoft Office Tools"}},
        SortCase{{"beta", "Alpha", "Gamma"}, {"Alpha", "beta", "Gamma"}},
        SortCase{{"A\\c", "a", "A\\B", "A\\b\\x", "Ab"}, {"a", "A\\B", "A\\b\\x", "A\\c", "Ab"}},
        SortCase{{"Games-Old", "Games\\Chess", "Games"}, {"Games", "Games\\Chess", "Games-Old"}},
        SortCase{{}, {}}));

struct Placed {
  std::string text;
  int level;
  int parent;
};

std::vector<Placed> Placement(const std::vector<std::string>& folders) {
  std::vector<Placed> placed;
  for (const MenuFolderItem& item : PlaceMenuFolders(folders)) placed.push_back({item.text, item.level, item.parent});
  return placed;
}

bool operator==(const Placed& a, const Placed& b) {
  return a.text == b.text && a.level == b.level && a.parent == b.parent;
}

void PrintTo(const Placed& p, std::ostream* os) { *os << p.text << "/" << p.level << "/" << p.parent; }

TEST(StartMenuTree, ItemsArePlacedByTheirLevelRelativeToTheItemBefore) {
  EXPECT_EQ(Placement({"Accessories", "Accessories\\Games", "Accessories\\Games\\Cards", "Accessories\\Tools",
                       "Office", "Office\\Tools"}),
            (std::vector<Placed>{{"Accessories", 0, -1},
                                 {"Games", 1, 0},
                                 {"Cards", 2, 1},
                                 {"Tools", 1, 0},
                                 {"Office", 0, -1},
                                 {"Tools", 1, 4}}));
}

TEST(StartMenuTree, AJumpOfTwoLevelsIsHeldOneBelowTheItemBefore) {
  EXPECT_EQ(Placement({"A\\B\\C", "A"}), (std::vector<Placed>{{"C", 0, -1}, {"A", 0, -1}}));
  EXPECT_EQ(Placement({"A", "A\\B\\C"}), (std::vector<Placed>{{"A", 0, -1}, {"C", 1, 0}}));
}

// The space-before-"\" fault: the subfolder must end up under its own parent,
// so that its path is a folder that exists.
TEST(StartMenuTree, ASubfolderIsPlacedUnderItsParentAndNotUnderALongerName) {
  FakeFolders fs;
  const std::string office = std::string(kUser) + "Microsoft Office\\";
  fs.Folder(kUser, "Microsoft Office Tools").Folder(kUser, "Microsoft Office").Folder(office, "Tools");
  const std::vector<MenuFolderItem> items = BuildMenuFolderTree({kUser}, fs.Lister());
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(MenuFolderItemPath(items, 1), "Microsoft Office\\Tools");
  EXPECT_EQ(MenuFolderItemPath(items, 2), "Microsoft Office Tools");
}

std::vector<MenuFolderItem> SampleTree() {
  return PlaceMenuFolders({"Accessories", "Accessories\\Games", "Accessories\\Games\\Chess", "Games", "Utilities",
                           "Utilities\\Disk"});
}

struct FindCase {
  std::string path;
  int item;
};

class StartMenuPreselect : public ::testing::TestWithParam<FindCase> {};

TEST_P(StartMenuPreselect, SelectsTheDeepestMatchingPrefix) {
  EXPECT_EQ(FindMenuFolderItem(SampleTree(), GetParam().path), GetParam().item) << GetParam().path;
}

INSTANTIATE_TEST_SUITE_P(Cases, StartMenuPreselect,
                         ::testing::Values(FindCase{"Utilities\\MyTool", 4}, FindCase{"Utilities\\Disk", 5},
                                           FindCase{"Accessories\\Games\\Tool", 1},
                                           FindCase{"Accessories\\Games\\Chess", 2}, FindCase{"Games", 3},
                                           FindCase{"Games\\Chess", 3}, FindCase{"utilities\\Disk", -1},
                                           FindCase{"Chess", -1}, FindCase{"", -1}, FindCase{"Games\\", 3},
                                           FindCase{"\\Games", -1}));

TEST(StartMenuChoice, ApplyGivesTheSelectedPathOrTheFieldAfterTheErrorBox) {
  const std::vector<MenuFolderItem> items = SampleTree();
  struct Case {
    int selected;
    std::string result;
    bool error;
  };
  for (const Case& c : {Case{1, "Accessories\\Games", false}, Case{2, "Accessories\\Games\\Chess", false},
                        Case{3, "Games", false}, Case{-1, "Acme\\Tool", true}, Case{6, "Acme\\Tool", true},
                        Case{-7, "Acme\\Tool", true}}) {
    const MenuFolderChoice choice = ApplyMenuFolderChoice(items, c.selected, "Acme\\Tool");
    EXPECT_EQ(choice.result, c.result) << c.selected;
    EXPECT_EQ(choice.showError, c.error) << c.selected;
  }
  const MenuFolderChoice empty = ApplyMenuFolderChoice({}, -1, "");
  EXPECT_TRUE(empty.showError);
  EXPECT_EQ(empty.result, "");
}

TEST(StartMenuChoice, EveryItemsPathFindsTheItemAgain) {
  FakeFolders fs;
  fs.Folder(kUser, "B").Folder(kUser, "a").Folder(std::string(kUser) + "a\\", "x y").Folder(kCommon, "B");
  fs.Folder(std::string(kCommon) + "B\\", "Deep").Folder(std::string(kCommon) + "B\\Deep\\", "Er");
  const std::vector<MenuFolderItem> items = BuildMenuFolderTree({kUser, kCommon}, fs.Lister());
  ASSERT_EQ(items.size(), 5u);
  for (int i = 0; i < static_cast<int>(items.size()); ++i)
    EXPECT_EQ(FindMenuFolderItem(items, MenuFolderItemPath(items, i)), i) << MenuFolderItemPath(items, i);
}

TEST(StartMenuChoice, TitlesHaveOneLeadingSpace) {
  const InterfaceTexts texts = DefaultInterfaceTexts("Acme", "1");
  EXPECT_EQ(MenuChooserTitle(texts), " " + texts.Get(TextId::RequesterRQ3Titel));
  EXPECT_EQ(MenuChooserErrorTitle(texts), " " + texts.Get(TextId::RequesterRQ1Titel));
}

}  // namespace
}  // namespace brindorel
