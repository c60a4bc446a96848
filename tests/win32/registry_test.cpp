#include "services/registry.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "services/text.h"
#include "tests/win32/support/win32_checks.h"

namespace brindorel {
namespace {

constexpr std::uint32_t kCurrentUser = 0x80000001u;
const std::string kBase = "Software\\BrindorelTest\\registry";

using wine_checks::DeleteKeyTree;

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { DeleteKeyTree(HKEY_CURRENT_USER, kBase); }
  void TearDown() override {
    DeleteKeyTree(HKEY_CURRENT_USER, kBase);
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\BrindorelTest");  // only when empty
  }

  // Stores raw bytes, as another program might, with or without a final zero.
  static void StoreRaw(const std::string& name, const std::string& bytes) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, kBase.c_str(), &key));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, name.c_str(), 0, REG_SZ,
                                            reinterpret_cast<const BYTE*>(bytes.data()),
                                            static_cast<DWORD>(bytes.size())));
    RegCloseKey(key);
  }
};

TEST_F(RegistryTest, MissingKeysAndValuesReadEmpty) {
  EXPECT_EQ("", ReadRegistryText(kCurrentUser, kBase + "\\absent", "Value"));
  ASSERT_EQ(2, WriteRegistryText(kCurrentUser, kBase, "Present", "x"));
  EXPECT_EQ("", ReadRegistryText(kCurrentUser, kBase, "Absent"));
  EXPECT_EQ("", ReadRegistryText(0x12345678u, kBase, "Present"));  // not a root key
}

TEST_F(RegistryTest, WrittenTextsReadBackWhole) {
  for (const std::string& text : {std::string("1"), std::string(), std::string("C:\\Program Files\\Brindorel\\"),
                                  std::string(254, 'a')}) {
    SCOPED_TRACE(text.size());
    ASSERT_EQ(2, WriteRegistryText(kCurrentUser, kBase, "Value", text));
    EXPECT_EQ(text, ReadRegistryText(kCurrentUser, kBase, "Value"));
  }
}

TEST_F(RegistryTest, DataOverTheBufferReadsEmpty) {
  // 255 characters plus the zero need 256 bytes.
  ASSERT_EQ(2, WriteRegistryText(kCurrentUser, kBase, "Long", std::string(255, 'b')));
  EXPECT_EQ("", ReadRegistryText(kCurrentUser, kBase, "Long"));
  ASSERT_EQ(2, WriteRegistryText(kCurrentUser, kBase, "Longer", std::string(4000, 'c')));
  EXPECT_EQ("", ReadRegistryText(kCurrentUser, kBase, "Longer"));
}

TEST_F(RegistryTest, ValuesStoredWithoutZeroKeepTheirLastCharacter) {
  StoreRaw("Bare", "abc");
  EXPECT_EQ("abc", ReadRegistryText(kCurrentUser, kBase, "Bare"));
  StoreRaw("One", "7");
  EXPECT_EQ("7", ReadRegistryText(kCurrentUser, kBase, "One"));
  StoreRaw("Inner", std::string("ab\0cd", 5));
  EXPECT_EQ("ab", ReadRegistryText(kCurrentUser, kBase, "Inner"));
}

TEST_F(RegistryTest, MissingLevelsAreCreated) {
  const std::string deep = kBase + "\\one\\two\\three";
  ASSERT_EQ(2, WriteRegistryText(kCurrentUser, deep, "Deep", "value"));
  EXPECT_EQ("value", ReadRegistryText(kCurrentUser, deep, "Deep"));
}

TEST_F(RegistryTest, FailuresAreReportedByLevel) {
  EXPECT_EQ(0, WriteRegistryText(0x12345678u, "Software", "Value", "x"));
  // A name longer than the registry allows: the key opens, the value fails.
  EXPECT_EQ(1, WriteRegistryText(kCurrentUser, kBase, std::string(20000, 'n'), "x"));
}

TEST_F(RegistryTest, SignedAndUnsignedRootNumbersNameTheSameKey) {
  const std::uint32_t unsigned_form = static_cast<std::uint32_t>(TextToNumber("2147483649"));
  const std::uint32_t signed_form = static_cast<std::uint32_t>(TextToNumber("-2147483647"));
  EXPECT_EQ(kCurrentUser, unsigned_form);
  EXPECT_EQ(kCurrentUser, signed_form);
  ASSERT_EQ(2, WriteRegistryText(unsigned_form, kBase, "Root", "same"));
  EXPECT_EQ("same", ReadRegistryText(signed_form, kBase, "Root"));
}

std::string HelperPath(const char* name) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path);
  folder.resize(folder.find_last_of('\\') + 1);
  return folder + "helpers\\" + name;
}

// Runs the mutex helper on `name` and returns its exit code.
DWORD ClaimInOtherProcess(const std::string& name) {
  std::string command = '"' + HelperPath("claim_name.exe") + "\" " + name;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return 99;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 99;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return code;
}

TEST(InstanceNameTest, AClaimedNameIsTakenForEveryone) {
  const std::string name = "BrindorelTest-" + std::to_string(GetCurrentProcessId());
  EXPECT_EQ(0u, ClaimInOtherProcess(name + "-free"));
  EXPECT_EQ(0, ClaimInstanceName(name));
  EXPECT_EQ(1, ClaimInstanceName(name));
  EXPECT_EQ(1u, ClaimInOtherProcess(name));
}

}  // namespace
}  // namespace brindorel
