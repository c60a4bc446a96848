#include "tools/pack/pack_builder.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <system_error>

#include "package/block_encoder.h"
#include "services/ini_document.h"
#include "tools/pack/pack_text.h"

namespace brindorel {
namespace fs = std::filesystem;
namespace {

std::vector<std::uint8_t> StoredForm(const std::vector<std::uint8_t>& data, int level) {
  if (data.empty()) return data;
  std::vector<std::uint8_t> block = CompressBlock(data.data(), data.size(), level);
  // Equal sizes would read back as "stored as it is", so only strictly smaller counts.
  if (!block.empty() && block.size() < data.size()) return block;
  return data;
}

std::string ShowPath(const fs::path& path) {
  const std::u8string u8 = path.u8string();
  return std::string(u8.begin(), u8.end());
}

bool ReadWholeFile(const fs::path& path, std::vector<std::uint8_t>& out, std::string& error) {
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(path, ec);
  if (ec) {
    error = ShowPath(path) + ": cannot read: " + ec.message();
    return false;
  }
  if (size > 0xFFFFFFFFu) {
    error = ShowPath(path) + ": larger than 4 GiB, which an entry cannot hold";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = ShowPath(path) + ": cannot open for reading";
    return false;
  }
  out.assign(static_cast<std::size_t>(size), 0);
  if (size != 0) in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(size));
  if (!in || in.gcount() != static_cast<std::streamsize>(size)) {
    error = ShowPath(path) + ": read failed (file changed or unreadable)";
    return false;
  }
  return true;
}

std::uint64_t FileTimeOf(const fs::path& path) {
  std::error_code ec;
  const fs::file_time_type t = fs::last_write_time(path, ec);
  if (ec) return 0;
  using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, 10000000>>;
  const auto sys = std::chrono::file_clock::to_sys(t);
  return UnixTicksToFileTime(std::chrono::floor<Ticks>(sys.time_since_epoch()).count());
}

// One name component in the 8-bit code page, refusing what Windows cannot name.
bool ComponentName(const fs::path& path, std::string& out, std::string& error) {
  const std::u8string u8 = path.filename().u8string();
  const std::string utf8(u8.begin(), u8.end());
  if (!Utf8ToCp1252(utf8, out)) {
    error = ShowPath(path) + ": name cannot be written in the Windows-1252 code page";
    return false;
  }
  for (char c : out) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (b < 0x20 || std::string("\\/:*?\"<>|").find(c) != std::string::npos) {
      error = ShowPath(path) + ": name holds a character Windows does not allow in file names";
      return false;
    }
  }
  return true;
}

struct Walked {
  fs::path path;
  std::string name;
  bool folder = false;
};

// Sorted, depth-first walk: a folder's entry comes before its contents.
bool Walk(const fs::path& folder, const std::string& prefix, const std::string& skip,
          std::vector<Walked>& out, std::string& error) {
  std::error_code ec;
  std::vector<Walked> here;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    Walked w;
    w.path = it->path();
    std::string component;
    if (!ComponentName(w.path, component, error)) return false;
    if (prefix.empty() && !skip.empty() && component == skip) continue;
    w.folder = it->is_directory(ec);
    if (!w.folder && !it->is_regular_file(ec)) {
      error = ShowPath(w.path) + ": neither a file nor a folder";
      return false;
    }
    w.name = prefix + component + (w.folder ? "\\" : "");
    here.push_back(w);
  }
  if (ec) {
    error = ShowPath(folder) + ": cannot list: " + ec.message();
    return false;
  }
  std::sort(here.begin(), here.end(), [](const Walked& a, const Walked& b) { return a.name < b.name; });
  for (const Walked& w : here) {
    out.push_back(w);
    if (w.folder && !Walk(w.path, w.name, skip, out, error)) return false;
  }
  return true;
}

std::string FoldCase(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// Windows folds the case of names; two entries that differ only there would overwrite each other.
bool CheckUnique(const std::vector<PackInput>& inputs, const std::string& where, std::string& error) {
  std::vector<std::string> names;
  for (const PackInput& p : inputs) names.push_back(FoldCase(p.name));
  std::sort(names.begin(), names.end());
  const auto dup = std::adjacent_find(names.begin(), names.end());
  if (dup != names.end()) {
    error = where + ": two entries named \"" + *dup + "\" (names differing only in case collide on Windows)";
    return false;
  }
  return true;
}

bool LoadWalked(const std::vector<Walked>& walked, std::vector<PackInput>& out, std::string& error) {
  for (const Walked& w : walked) {
    PackInput p;
    p.name = w.name;
    p.type = w.folder ? kEntryFolder : kEntryFile;
    if (!w.folder && !ReadWholeFile(w.path, p.data, error)) return false;
    p.creationTime = p.lastWriteTime = FileTimeOf(w.path);
    out.push_back(std::move(p));
  }
  return true;
}

}  // namespace

bool EncodePackage(const std::vector<PackInput>& inputs, std::uint32_t dataStart, int level,
                   std::vector<std::uint8_t>& out, std::string& error, const ProgressFunction& progress) {
  EntryList entries;
  std::uint64_t position = dataStart;
  std::size_t done = 0;
  for (const PackInput& input : inputs) {
    if (progress) progress(done, inputs.size(), input.name);
    ++done;
    if (input.data.size() > 0xFFFFFFFFu) {
      error = input.name + ": entry larger than 4 GiB";
      return false;
    }
    const std::vector<std::uint8_t> stored = StoredForm(input.data, level);
    PackageEntry e;
    e.name = input.name;
    e.type = input.type;
    e.size = static_cast<std::uint32_t>(input.data.size());
    e.storedSize = static_cast<std::uint32_t>(stored.size());
    e.dataOffset = static_cast<std::uint32_t>(std::min<std::uint64_t>(position, 0xFFFFFFFFu));
    e.creationTime = input.creationTime;
    e.lastWriteTime = input.lastWriteTime;
    entries.push_back(e);
    position += stored.size();
    if (position > kMaxPackageFile) {
      error = input.name + ": the package would pass 2 GiB, more than the installer can read";
      return false;
    }
    out.insert(out.end(), stored.begin(), stored.end());
  }
  const std::vector<std::uint8_t> table = SerializeEntryTable(entries);
  const std::vector<std::uint8_t> storedTable = StoredForm(table, level);
  if (position + storedTable.size() + kTrailerSize > kMaxPackageFile) {
    error = "the package would pass 2 GiB, more than the installer can read";
    return false;
  }
  out.insert(out.end(), storedTable.begin(), storedTable.end());
  PackageTrailer trailer;
  trailer.tableSize = static_cast<std::uint32_t>(table.size());
  trailer.tableStoredSize = static_cast<std::uint32_t>(storedTable.size());
  trailer.dataStart = dataStart;
  trailer.magic = kPackageMagic;
  const auto bytes = SerializeTrailer(trailer);
  out.insert(out.end(), bytes.begin(), bytes.end());
  if (progress) progress(inputs.size(), inputs.size(), std::string());
  return true;
}

std::string FormatUninstallRecord(const UninstallRecord& record) {
  std::string text = "[Settings]\r\n";
  text += "ProgName = " + record.progName + "\r\n";
  text += "Version = " + record.version + "\r\n";
  text += "MutexString = " + record.mutexString + "\r\n";
  text += std::string("NoDelAll = ") + (record.noDeleteAll ? "1" : "0") + "\r\n";
  text += "[Files]\r\n";
  for (std::size_t i = 0; i < record.files.size(); ++i) {
    std::string number = std::to_string(i + 1);
    if (number.size() < 3) number.insert(0, 3 - number.size(), '0');
    text += "F" + number + " = " + record.files[i] + "\r\n";
  }
  return text;
}

bool BuildInstaller(const BuildOptions& options, BuildResult& result, std::string& error) {
  std::error_code ec;
  const fs::path setupPath = options.folder / "setup.ini";
  if (!fs::is_regular_file(setupPath, ec)) {
    error = ShowPath(setupPath) + ": missing; every package needs its setup.ini";
    return false;
  }
  std::vector<std::uint8_t> setupBytes;
  if (!ReadWholeFile(setupPath, setupBytes, error)) return false;
  IniDocument setup = IniDocument::Parse(setupBytes.data(), setupBytes.size());

  std::vector<std::uint8_t> stub;
  if (options.stub.empty() || !fs::is_regular_file(options.stub, ec)) {
    error = (options.stub.empty() ? std::string("no stub") : ShowPath(options.stub) + ": no stub there");
    return false;
  }
  if (!ReadWholeFile(options.stub, stub, error)) return false;
  result.stubSize = stub.size();
  if (stub.size() > kMaxPackageFile) {
    error = ShowPath(options.stub) + ": stub too large";
    return false;
  }

  // setup.pck: the uninstaller, the first uninstall.dat, then program/.
  std::vector<PackInput> inner;
  fs::path uninstaller = options.uninstaller;
  if (uninstaller.empty()) uninstaller = options.stub.parent_path() / "Uninstall.exe";
  if (fs::is_regular_file(uninstaller, ec)) {
    PackInput p;
    p.name = "Uninstall.exe";
    if (!ReadWholeFile(uninstaller, p.data, error)) return false;
    p.creationTime = p.lastWriteTime = FileTimeOf(uninstaller);
    inner.push_back(std::move(p));
  } else if (!options.uninstaller.empty()) {
    error = ShowPath(options.uninstaller) + ": uninstaller not found";
    return false;
  } else {
    result.warnings.push_back("no Uninstall.exe beside the stub; the package carries no uninstaller");
  }

  std::vector<Walked> program;
  const fs::path programFolder = options.folder / "program";
  if (fs::is_directory(programFolder, ec)) {
    if (!Walk(programFolder, std::string(), std::string(), program, error)) return false;
  } else {
    result.warnings.push_back(ShowPath(programFolder) + ": no program folder; setup.pck holds only the uninstaller");
  }
  UninstallRecord record;
  setup.SelectGroup("Info");
  record.progName = setup.ReadString("Titel");
  record.version = setup.ReadString("Version");
  setup.SelectGroup("Task");
  record.mutexString = setup.ReadString("MutexString");
  setup.SelectGroup("Settings");
  record.noDeleteAll = (setup.ReadNumber("NoDelAll", 0) & 0xFF) != 0;
  for (const Walked& w : program)
    if (!w.folder) record.files.push_back(w.name);
  result.programFiles = record.files.size();
  PackInput dat;
  dat.name = "uninstall.dat";
  const std::string datText = FormatUninstallRecord(record);
  dat.data.assign(datText.begin(), datText.end());
  dat.creationTime = dat.lastWriteTime = FileTimeOf(setupPath);
  inner.push_back(std::move(dat));
  if (!LoadWalked(program, inner, error)) return false;
  if (!CheckUnique(inner, ShowPath(programFolder), error)) return false;

  std::vector<std::uint8_t> setupPck;
  if (!EncodePackage(inner, 0, options.level, setupPck, error, options.progress)) {
    error = "setup.pck: " + error;
    return false;
  }

  // The outer package: setup.ini, the other root entries, setup.pck.
  std::vector<PackInput> outer;
  PackInput ini;
  ini.name = "setup.ini";
  ini.data = setupBytes;
  ini.creationTime = ini.lastWriteTime = FileTimeOf(setupPath);
  outer.push_back(std::move(ini));
  std::vector<Walked> root;
  if (!Walk(options.folder, std::string(), "program", root, error)) return false;
  root.erase(std::remove_if(root.begin(), root.end(), [](const Walked& w) { return w.name == "setup.ini"; }),
             root.end());
  if (!LoadWalked(root, outer, error)) return false;
  PackInput pck;
  pck.name = "setup.pck";
  pck.data = std::move(setupPck);
  pck.creationTime = pck.lastWriteTime = FileTimeOf(setupPath);
  outer.push_back(std::move(pck));
  if (!CheckUnique(outer, ShowPath(options.folder), error)) return false;
  result.rootEntries = outer.size();

  std::vector<std::uint8_t> image = stub;
  if (!EncodePackage(outer, static_cast<std::uint32_t>(stub.size()), options.level, image, error,
                     options.progress))
    return false;

  // Written beside the output and moved into place, so a failed build leaves no half file.
  const fs::path temporary = fs::path(options.output).concat(".part");
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) {
      error = ShowPath(options.output) + ": cannot create the output file";
      return false;
    }
    out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    out.close();
    if (!out) {
      fs::remove(temporary, ec);
      error = ShowPath(options.output) + ": writing the output failed";
      return false;
    }
  }
  fs::rename(temporary, options.output, ec);
  if (ec) {
    fs::remove(temporary, ec);
    error = ShowPath(options.output) + ": cannot replace the output file";
    return false;
  }
  result.outputSize = image.size();
  return true;
}

}  // namespace brindorel
