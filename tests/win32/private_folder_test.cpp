// The private working folder under Wine: what lies at the plain name
// decides whether it is used, nothing planted there is entered or removed,
// and the new folder's access list.
#include "services/private_folder.h"

#include <windows.h>
#include <aclapi.h>

#include <gtest/gtest.h>

#include <string>

#include "services/wide_win.h"

namespace brindorel {
namespace {

bool WriteText(const std::string& path, const std::string& text) {
  HANDLE f = CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &put, nullptr);
  CloseHandle(f);
  return put == text.size();
}

bool Exists(const std::string& path) { return GetFileAttributesW(WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

bool LinkFolder(const std::string& link, const std::string& target) {
  return CreateSymbolicLinkW(WidePath(link).c_str(), WidePath(target).c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY) != FALSE;
}

class PrivateFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string temp = PrivateTempParent();
    ASSERT_FALSE(temp.empty());
    root_ = temp + "brindorel_private_" + std::to_string(GetCurrentProcessId()) + "\\";
    RemoveFolderTree(root_);
    ASSERT_TRUE(CreateDirectoryW(WidePath(root_).c_str(), nullptr));
    parent_ = root_ + "temp\\";
    outside_ = root_ + "elsewhere\\";
    ASSERT_TRUE(CreateDirectoryW(WidePath(parent_).c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(WidePath(outside_).c_str(), nullptr));
    ASSERT_TRUE(WriteText(outside_ + "keep.txt", "someone else's"));
  }
  void TearDown() override { RemoveFolderTree(root_); }

  std::string root_, parent_, outside_;
};

// What someone left at the plain name, and whether the run may use it.
enum class Planted { Nothing, OwnFolderWithStaleProgram, File, LinkToFolder, LinkInsideOwnFolder };

TEST_F(PrivateFolderTest, PlantedNamesAreNeverUsed) {
  const struct {
    Planted planted;
    bool plainName;  // the folder keeps the plain name
  } cases[] = {
      {Planted::Nothing, true},
      {Planted::OwnFolderWithStaleProgram, true},  // emptied and made new
      {Planted::File, false},
      {Planted::LinkToFolder, false},
      {Planted::LinkInsideOwnFolder, true},  // the link goes, its target stays
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.planted));
    const std::string plain = parent_ + "Brindorel";
    RemoveFolderTree(plain);
    switch (c.planted) {
      case Planted::Nothing:
        break;
      case Planted::OwnFolderWithStaleProgram:
        ASSERT_TRUE(CreateDirectoryW(WidePath(plain).c_str(), nullptr));
        ASSERT_TRUE(WriteText(plain + "\\BeforeBR.exe", "stale"));
        break;
      case Planted::File:
        ASSERT_TRUE(WriteText(plain, "a file"));
        break;
      case Planted::LinkToFolder:
        if (!LinkFolder(plain, outside_)) GTEST_SKIP() << "no symbolic links here";
        break;
      case Planted::LinkInsideOwnFolder:
        ASSERT_TRUE(CreateDirectoryW(WidePath(plain).c_str(), nullptr));
        if (!LinkFolder(plain + "\\sub", outside_)) GTEST_SKIP() << "no symbolic links here";
        break;
    }
    const std::string made = CreatePrivateFolder(parent_, "Brindorel", true, true);
    ASSERT_FALSE(made.empty());
    EXPECT_EQ(made == plain + "\\", c.plainName) << made;
    if (!c.plainName) {
      std::string name = made.substr(parent_.size());
      name.pop_back();
      EXPECT_TRUE(IsRandomFolderName(name, "Brindorel")) << name;
    }
    // Fresh and empty; what was planted elsewhere is untouched.
    EXPECT_FALSE(Exists(made + "BeforeBR.exe"));
    EXPECT_FALSE(Exists(made + "keep.txt"));
    EXPECT_TRUE(Exists(outside_ + "keep.txt"));
    if (c.planted == Planted::File) EXPECT_TRUE(Exists(plain));
    const FoundEntry found = InspectEntry(made);
    EXPECT_TRUE(found.isFolder && !found.isLink);
    // Removing it never follows a link inside.
    LinkFolder(made + "out", outside_);  // where the system makes links
    EXPECT_TRUE(RemoveFolderTree(made));
    EXPECT_TRUE(Exists(outside_ + "keep.txt"));
    RemoveFolderTree(plain);
  }
}

TEST_F(PrivateFolderTest, WithoutThePlainNameEveryFolderIsNewAndRestricted) {
  const std::string first = CreatePrivateFolder(parent_, kUninstallCopyFolderName, false, true);
  const std::string second = CreatePrivateFolder(parent_, kUninstallCopyFolderName, false, true);
  ASSERT_FALSE(first.empty());
  ASSERT_FALSE(second.empty());
  EXPECT_NE(first, second);
  // The access list: protected from the parent, three entries.
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(GetNamedSecurityInfoW(WidePath(first).c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                  nullptr, &dacl, nullptr, &descriptor),
            static_cast<DWORD>(ERROR_SUCCESS));
  ASSERT_NE(dacl, nullptr);
  EXPECT_EQ(dacl->AceCount, 3);
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  GetSecurityDescriptorControl(descriptor, &control, &revision);
  EXPECT_NE(control & SE_DACL_PROTECTED, 0);
  LocalFree(descriptor);
  // A parent that does not exist gives no folder at all.
  EXPECT_EQ(CreatePrivateFolder(root_ + "missing\\", "Brindorel", true, true), "");
}

}  // namespace
}  // namespace brindorel
