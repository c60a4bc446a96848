// Damaged installers through the real Install.exe: a flipped byte in every
// region of the outer package and of setup.pck, and a cut download, each end
// with exit code 2 and leave the system exactly as it was (the files of the
// profile and of ProgramData, HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE\Software
// compared with a snapshot); without /S the user is told to download the
// installer again. A package of an older builder, stored entries and all,
// still installs.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "driver.h"
#include "e2e_support.h"
#include "package/package_reader.h"
#include "services/file_system.h"
#include "services/folders.h"
#include "tests/win32/support/win32_checks.h"

namespace brindorel::e2e {
namespace {

using Bytes = std::vector<std::uint8_t>;

const char kGuid[] = "{7D1E6F52-2C4B-4A8E-9B3D-1F0A6C5E8D24}";

std::string Target() { return OutFolder() + "integrity\\Acme Demo"; }

Bytes ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// ---- a snapshot of what an installation could touch ----

using Snapshot = std::map<std::string, std::string>;

void AddFiles(const std::string& folder, Snapshot& out) {
  WIN32_FIND_DATAA d;
  HANDLE h = FindFirstFileA((folder + "*").c_str(), &d);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = d.cFileName;
    if (name == "." || name == "..") continue;
    const std::string path = folder + name;
    if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      out["dir " + path] = "";
      if (!(d.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) AddFiles(path + "\\", out);
    } else {
      out["file " + path] = std::to_string(d.nFileSizeLow) + " " + std::to_string(d.ftLastWriteTime.dwLowDateTime);
    }
  } while (FindNextFileA(h, &d));
  FindClose(h);
}

void AddKeys(HKEY root, const std::string& rootName, const std::string& path, Snapshot& out) {
  if (path == "Software\\Wine") return;  // Wine keeps scratch values of its own there
  HKEY key;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  out["key " + rootName + path] = "";
  char name[512];
  BYTE data[2048];
  for (DWORD i = 0;; ++i) {
    DWORD nameSize = sizeof name, dataSize = sizeof data, type = 0;
    if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type, data, &dataSize) != ERROR_SUCCESS) break;
    out["value " + rootName + path + "|" + std::string(name, nameSize)] =
        std::to_string(type) + ":" + std::string(reinterpret_cast<char*>(data), dataSize);
  }
  std::vector<std::string> subkeys;
  for (DWORD i = 0;; ++i) {
    DWORD nameSize = sizeof name;
    if (RegEnumKeyExA(key, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    subkeys.emplace_back(name, nameSize);
  }
  RegCloseKey(key);
  for (const std::string& sub : subkeys) AddKeys(root, rootName, (path.empty() ? "" : path + "\\") + sub, out);
}

Snapshot TakeSnapshot() {
  Snapshot s;
  char profile[MAX_PATH] = {};
  GetEnvironmentVariableA("USERPROFILE", profile, MAX_PATH);
  AddFiles(std::string(profile) + "\\", s);
  AddFiles(GetSpecialFolder(35), s);  // ProgramData: the common start menu lies there
  AddFiles(OutFolder() + "integrity\\", s);
  // The whole of HKEY_CURRENT_USER\Software; of the machine's side the keys
  // an installation writes (both registry views) and every vendor's key name.
  AddKeys(HKEY_CURRENT_USER, "HKCU\\", "Software", s);
  for (const char* view : {"Software\\Microsoft\\Windows\\CurrentVersion",
                           "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall"})
    AddKeys(HKEY_LOCAL_MACHINE, "HKLM\\", view, s);
  HKEY software;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, &software) == ERROR_SUCCESS) {
    char name[512];
    for (DWORD i = 0;; ++i) {
      DWORD size = sizeof name;
      if (RegEnumKeyExA(software, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      s["key HKLM\\Software\\" + std::string(name, size)] = "";
    }
    RegCloseKey(software);
  }
  return s;
}

std::string Difference(const Snapshot& before, const Snapshot& after) {
  std::string text;
  for (const auto& item : before) {
    auto found = after.find(item.first);
    if (found == after.end()) text += "gone: " + item.first + "\n";
    else if (found->second != item.second) text += "changed: " + item.first + "\n";
  }
  for (const auto& item : after)
    if (before.find(item.first) == before.end()) text += "new: " + item.first + "\n";
  return text;
}

// ---- where the regions of an installer lie ----

struct Region {
  std::string what;
  std::uint64_t start, size;
};

void AddRegions(PackageSource& source, std::uint64_t base, const std::string& label, std::vector<Region>& out,
                std::uint64_t& nestedStart, std::uint64_t& nestedSize) {
  PackageLayout layout;
  ASSERT_EQ(OpenPackage(source, layout), PackageProblem::None) << label;
  ASSERT_TRUE(layout.hasChecksums) << label;
  for (const LocatedEntry& item : layout.entries) {
    if (item.entry.type == kEntryChecksums) {
      out.push_back({label + "checksum record", base + item.entry.dataOffset, item.entry.size});
    } else if (item.carriesData && item.entry.name == "setup.pck" && label.empty()) {
      nestedStart = item.dataPosition;
      nestedSize = item.entry.size;
    } else if (item.carriesData) {
      out.push_back({label + item.entry.name, base + item.dataPosition, item.entry.storedSize});
    }
  }
  out.push_back({label + "entry table", base + layout.tableStart, layout.trailer.tableStoredSize});
  out.push_back({label + "trailer", base + layout.packageEnd - kTrailerSize, kTrailerSize});
}

// The installer's reading of a file: its package and setup.pck in it are sound.
bool ReaderAccepts(const Bytes& image) {
  MemorySource outer(image.data(), image.size());
  PackageLayout layout;
  if (OpenPackage(outer, layout) != PackageProblem::None) return false;
  for (const LocatedEntry& item : layout.entries) {
    ByteBuffer data;
    if (!EntryUsable(ReadEntryData(outer, item, data))) return false;
    if (item.entry.name != "setup.pck") continue;
    MemorySource inner(data.data(), data.size());
    PackageLayout nested;
    if (OpenPackage(inner, nested) != PackageProblem::None) return false;
    for (const LocatedEntry& innerItem : nested.entries) {
      ByteBuffer innerData;
      if (!EntryUsable(ReadEntryData(inner, innerItem, innerData))) return false;
    }
  }
  return true;
}

class Integrity : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    CreateDirectoryA(OutFolder().c_str(), nullptr);
    installer_ = BuildInstaller(SourcePath("examples/acme-demo"), "Integrity.exe");
  }
  void SetUp() override {
    ASSERT_FALSE(installer_.empty());
    Clean();
    MakeFolderPath(OutFolder() + "integrity\\");
  }
  void TearDown() override { Clean(); }
  static void Clean() {
    RemoveFolder(OutFolder() + "integrity\\", "", kRemoveSubfolders | kRemoveForced);
    RemoveFolder(GetSpecialFolder(2) + "Acme\\", "", kRemoveSubfolders | kRemoveForced);
    DeleteFileA((GetSpecialFolder(0) + "Acme Demo.lnk").c_str());
    DeleteFileA((GetSpecialFolder(0) + "Acme Readme.lnk").c_str());
    DeleteFileA((GetSpecialFolder(26) + "acme-demo.ini").c_str());
    wine_checks::DeleteKeyTree(HKEY_LOCAL_MACHINE,
                               std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + kGuid);
    wine_checks::DeleteKeyTree(HKEY_CURRENT_USER, std::string("SOFTWARE\\Brindorel\\") + kGuid);
    wine_checks::DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Acme\\Demo");
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Acme");
  }
  static std::string installer_;
};
std::string Integrity::installer_;

TEST_F(Integrity, AFlipInAnyRegionInstallsNothing) {
  const Bytes image = ReadBytes(installer_);
  std::vector<Region> regions;
  std::uint64_t nestedStart = 0, nestedSize = 0;
  MemorySource outer(image.data(), image.size());
  AddRegions(outer, 0, "", regions, nestedStart, nestedSize);
  ASSERT_GT(nestedSize, 0u);
  SliceSource nested(outer, nestedStart, nestedSize);
  AddRegions(nested, nestedStart, "setup.pck: ", regions, nestedStart, nestedSize);
  ASSERT_GE(regions.size(), 10u);

  const std::string damaged = OutFolder() + "IntegrityDamaged.exe";
  for (const Region& region : regions) {
    SCOPED_TRACE(region.what);
    // The first byte from the middle on that the reader catches: a flip
    // behind a block's end code would change nothing at all.
    Bytes bad;
    for (std::uint64_t at = region.start + region.size / 2; at < region.start + region.size; ++at) {
      bad = image;
      bad[at] ^= 0x20;
      if (!ReaderAccepts(bad)) break;
      bad.clear();
    }
    ASSERT_FALSE(bad.empty());
    WriteBytes(damaged, bad);
    const Snapshot before = TakeSnapshot();
    EXPECT_EQ(RunAndWait("\"" + damaged + "\" /S /D=" + Target(), 120000), 2);
    EXPECT_EQ(Difference(before, TakeSnapshot()), "");
  }
}

TEST_F(Integrity, ACutDownloadIsToldToBeFetchedAgain) {
  const Bytes image = ReadBytes(installer_);
  MemorySource source(image.data(), image.size());
  PackageLayout layout;
  ASSERT_EQ(OpenPackage(source, layout), PackageProblem::None);
  // Cut inside the package: the program image stays whole, as after a download that stopped.
  const std::uint64_t cutAt = (layout.trailer.dataStart + image.size()) / 2;
  const std::string cut = OutFolder() + "IntegrityCut.exe";
  WriteBytes(cut, Bytes(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(cutAt)));
  const Snapshot before = TakeSnapshot();
  EXPECT_EQ(RunAndWait("\"" + cut + "\" /S /D=" + Target(), 120000), 2);
  EXPECT_EQ(Difference(before, TakeSnapshot()), "");

  // With a window: a message, no wizard, nothing left behind.
  Process run;
  ASSERT_TRUE(run.Start("\"" + cut + "\""));
  HWND box = WaitForMessageBox(run.id(), 30000);
  ASSERT_NE(box, nullptr) << (run.Wait(0) ? "ended with " + std::to_string(run.ExitCode()) : "still running");
  EXPECT_TRUE(TopWindows(run.id(), kWizardClass).empty());
  std::string text;
  for (const ControlInfo& control : Controls(box)) text += control.text + "\n";
  EXPECT_NE(text.find("download it again"), std::string::npos) << text;
  AnswerMessageBox(box, IDOK);
  ASSERT_TRUE(run.Wait(30000));
  EXPECT_EQ(run.ExitCode(), 2u);
  EXPECT_FALSE(Exists(WorkFolder()));
}

// A package the way an older builder wrote it: every entry and the table
// stored as they are, no checksum record; `replaced` stands in for the entry
// of that name.
Bytes StoredPackage(PackageSource& source, const PackageLayout& layout, const Bytes& prefix,
                    const std::string& replacedName = "", const Bytes& replaced = {}) {
  EntryList table;
  Bytes out = prefix;
  for (const LocatedEntry& item : layout.entries) {
    if (item.entry.type == kEntryChecksums) continue;
    ByteBuffer bytes;
    EXPECT_TRUE(EntryUsable(ReadEntryData(source, item, bytes))) << item.entry.name;
    Bytes content(bytes.data(), bytes.data() + bytes.size());
    if (item.entry.name == replacedName) content = replaced;
    PackageEntry e = item.entry;
    e.size = e.storedSize = static_cast<std::uint32_t>(content.size());
    e.dataOffset = static_cast<std::uint32_t>(out.size());
    out.insert(out.end(), content.begin(), content.end());
    table.push_back(e);
  }
  const Bytes tableBytes = SerializeEntryTable(table);
  out.insert(out.end(), tableBytes.begin(), tableBytes.end());
  const auto trailer = SerializeTrailer({static_cast<std::uint32_t>(tableBytes.size()),
                                         static_cast<std::uint32_t>(tableBytes.size()),
                                         static_cast<std::uint32_t>(prefix.size()), kPackageMagic});
  out.insert(out.end(), trailer.begin(), trailer.end());
  return out;
}

TEST_F(Integrity, AnOlderBuildersStoredPackageStillInstalls) {
  const Bytes image = ReadBytes(installer_);
  MemorySource source(image.data(), image.size());
  PackageLayout layout;
  ASSERT_EQ(OpenPackage(source, layout), PackageProblem::None);
  Bytes oldPck;
  for (const LocatedEntry& item : layout.entries) {
    if (item.entry.name != "setup.pck") continue;
    SliceSource pck(source, item.dataPosition, item.entry.size);
    PackageLayout inner;
    ASSERT_EQ(OpenPackage(pck, inner), PackageProblem::None);
    oldPck = StoredPackage(pck, inner, {});
  }
  ASSERT_FALSE(oldPck.empty());
  const std::uint64_t stubSize = layout.trailer.dataStart - ChecksumRecordSize(layout.entries.size());
  const Bytes stub(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(stubSize));
  const std::string old = OutFolder() + "IntegrityOld.exe";
  WriteBytes(old, StoredPackage(source, layout, stub, "setup.pck", oldPck));
  EXPECT_EQ(RunAndWait("\"" + old + "\" /S /NOICONS /NODESKTOP /D=" + Target(), 120000), 0);
  EXPECT_TRUE(Exists(Target() + "\\acme.exe"));
  EXPECT_TRUE(Exists(Target() + "\\Uninstall.exe"));
  EXPECT_TRUE(Exists(Target() + "\\uninstall.dat"));
}

}  // namespace
}  // namespace brindorel::e2e
