#include "tools/pack/pack_builder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "services/ini_document.h"
#include "tools/pack/pack_files.h"

namespace brindorel::pack {
namespace fs = std::filesystem;
namespace {

struct Collected {
  std::string name;  // ANSI, "\"-separated, folders end in "\"
  fs::path source;   // empty for folders
  bool folder = false;
};

bool AnsiName(const fs::path& relative, std::string& name, std::string& error) {
  std::string utf8 = relative.generic_u8string();
  std::string ansi;
  if (!Utf8ToAnsi(utf8, ansi)) {
    error = utf8 + ": the name has characters the Windows-1252 code page cannot hold";
    return false;
  }
  std::replace(ansi.begin(), ansi.end(), '/', '\\');
  name = ansi;
  return true;
}

// Every folder and file below `root`, sorted by name (folders before what they hold).
bool CollectTree(const fs::path& root, std::vector<Collected>& out, std::string& error) {
  std::error_code ec;
  fs::recursive_directory_iterator it(root, ec), end;
  if (ec) {
    error = root.u8string() + ": cannot list the folder (" + ec.message() + ")";
    return false;
  }
  for (; it != end; it.increment(ec)) {
    if (ec) {
      error = root.u8string() + ": cannot list the folder (" + ec.message() + ")";
      return false;
    }
    Collected item;
    std::error_code relativeError;
    fs::path relative = fs::relative(it->path(), root, relativeError);
    if (relativeError) {
      error = it->path().u8string() + ": " + relativeError.message();
      return false;
    }
    if (!AnsiName(relative, item.name, error)) return false;
    std::error_code typeError;
    if (it->is_directory(typeError)) {
      item.folder = true;
      item.name += '\\';
    } else if (it->is_regular_file(typeError)) {
      item.source = it->path();
    } else {
      continue;  // sockets, broken links and the like are not packed
    }
    out.push_back(item);
  }
  std::sort(out.begin(), out.end(), [](const Collected& a, const Collected& b) { return a.name < b.name; });
  return true;
}

bool LoadFile(const fs::path& source, const std::string& name, SourceEntry& entry, std::string& error) {
  entry.name = name;
  entry.type = kEntryFile;
  if (!ReadWholeFile(source, entry.data, error)) return false;
  entry.lastWriteTime = FileTimeOf(source);
  entry.creationTime = entry.lastWriteTime;
  if (entry.lastWriteTime == 0) {
    error = source.u8string() + ": the file vanished while it was packed";
    return false;
  }
  return true;
}

std::vector<std::uint8_t> Bytes(const std::string& text) { return std::vector<std::uint8_t>(text.begin(), text.end()); }

void ShowProgress(std::size_t done, std::size_t total, const std::string& name) {
  std::fprintf(stderr, "\r  packing %lu/%lu %-50.50s", static_cast<unsigned long>(done),
               static_cast<unsigned long>(total), AnsiToUtf8(name).c_str());
  if (done == total) std::fprintf(stderr, "\r%-70s\r", "");
}

}  // namespace

std::string FirstUninstallRecord(const std::string& progName, const std::string& version,
                                 const std::string& mutexString, bool noDelAll,
                                 const std::vector<std::string>& files) {
  std::string text = "[Settings]\r\n";
  text += "ProgName = " + progName + "\r\n";
  text += "Version = " + version + "\r\n";
  text += "MutexString = " + mutexString + "\r\n";
  text += std::string("NoDelAll = ") + (noDelAll ? "1" : "0") + "\r\n";
  text += "[Files]\r\n";
  for (std::size_t i = 0; i < files.size(); ++i) {
    char key[32];
    std::snprintf(key, sizeof(key), "F%03lu", static_cast<unsigned long>(i + 1));
    text += std::string(key) + " = " + files[i] + "\r\n";
  }
  return text;
}

std::string SignCommandLine(const std::string& command, const fs::path& in, const fs::path& out) {
  auto quote = [](const fs::path& path) {
#ifdef _WIN32
    return "\"" + path.u8string() + "\"";
#else
    std::string quoted = "'";
    for (char c : path.u8string()) quoted += (c == '\'') ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
#endif
  };
  std::string line;
  for (std::size_t i = 0; i < command.size();) {
    if (command.compare(i, 4, "{in}") == 0) {
      line += quote(in);
      i += 4;
    } else if (command.compare(i, 5, "{out}") == 0) {
      line += quote(out);
      i += 5;
    } else {
      line += command[i++];
    }
  }
  return line;
}

namespace {

// Signs `bytes` (named `what` in messages) in place with the user's command,
// through two files beside the output.
bool SignBytes(const BuildOptions& options, const std::string& what, std::vector<std::uint8_t>& bytes,
               std::string& error) {
  const fs::path in = fs::path(options.output).concat(".unsigned-" + what);
  const fs::path out = fs::path(options.output).concat(".signed-" + what);
  std::error_code ec;
  fs::remove(out, ec);
  bool ok = WriteWholeFile(in, bytes, error);
  if (ok) {
    std::fflush(nullptr);
    const int status = std::system(SignCommandLine(options.signCommand, in, out).c_str());
    if (status != 0) {
      error = "signing " + what + " failed (the command returned " + std::to_string(status) +
              "): " + options.signCommand;
      ok = false;
    } else if (!fs::is_regular_file(out, ec)) {
      error = "signing " + what + ": the command wrote no {out} file: " + options.signCommand;
      ok = false;
    } else {
      ok = ReadWholeFile(out, bytes, error);
    }
  }
  fs::remove(in, ec);
  fs::remove(out, ec);
  return ok;
}

}  // namespace

bool BuildInstaller(const BuildOptions& options, BuildReport& report, std::string& error) {
  const fs::path& folder = options.packageFolder;
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) {
    error = folder.u8string() + ": not a package folder";
    return false;
  }
  const fs::path setupPath = folder / "setup.ini";
  std::vector<std::uint8_t> setupBytes;
  if (!fs::is_regular_file(setupPath, ec) || !ReadWholeFile(setupPath, setupBytes, error)) {
    error = setupPath.u8string() + ": missing; every package needs its settings file";
    return false;
  }
  std::vector<std::uint8_t> stub;
  if (options.stub.empty() || !ReadWholeFile(options.stub, stub, error)) {
    error = (options.stub.empty() ? std::string("no stub") : options.stub.u8string()) +
            ": the installer stub cannot be read (give it with --stub)";
    return false;
  }

  IniDocument setup = IniDocument::Parse(setupBytes.data(), setupBytes.size());
  setup.SelectGroup("Info");
  std::string titel = setup.ReadString("Titel");
  std::string version = setup.ReadString("Version");
  setup.SelectGroup("Task");
  std::string mutexString = setup.ReadString("MutexString");
  // A builder-only key: 1 keeps the uninstaller from offering to delete
  // every file of the installation folder.
  setup.SelectGroup("Settings");
  bool noDelAll = setup.ReadNumber("NoDelAll", 0) != 0;

  // The program's files: program/ plus the extra files given on the command line.
  std::vector<Collected> program;
  const fs::path programFolder = folder / "program";
  if (fs::is_directory(programFolder, ec)) {
    if (!CollectTree(programFolder, program, error)) return false;
  } else {
    report.warnings.push_back(programFolder.u8string() + ": missing; the package installs no program files");
  }
  std::vector<Collected> outerExtras;
  for (const auto& [name, source] : options.extraFiles) {
    std::string relative = name;
    std::replace(relative.begin(), relative.end(), '\\', '/');
    Collected item;
    item.source = source;
    if (relative.rfind("program/", 0) == 0) {
      if (!AnsiName(fs::path(relative.substr(8)), item.name, error)) return false;
      program.erase(std::remove_if(program.begin(), program.end(),
                                   [&](const Collected& c) { return c.name == item.name; }),
                    program.end());
      program.push_back(item);
    } else {
      if (!AnsiName(fs::path(relative), item.name, error)) return false;
      outerExtras.push_back(item);
    }
  }
  std::sort(program.begin(), program.end(), [](const Collected& a, const Collected& b) { return a.name < b.name; });

  std::vector<SourceEntry> inner;
  std::vector<std::string> files;
  std::uint64_t now = FileTimeOf(setupPath);
  if (!options.uninstaller.empty()) {
    SourceEntry entry;
    if (!LoadFile(options.uninstaller, "Uninstall.exe", entry, error)) return false;
    if (!options.signCommand.empty() && !SignBytes(options, "Uninstall.exe", entry.data, error)) return false;
    inner.push_back(std::move(entry));
  } else {
    report.warnings.push_back("no Uninstall.exe beside the stub: the package carries no uninstaller");
  }
  for (const Collected& item : program) {
    if (!item.folder) files.push_back(item.name);
  }
  SourceEntry record;
  record.name = "uninstall.dat";
  record.data = Bytes(FirstUninstallRecord(titel, version, mutexString, noDelAll, files));
  record.creationTime = record.lastWriteTime = now;
  inner.push_back(std::move(record));
  for (const Collected& item : program) {
    SourceEntry entry;
    if (item.folder) {
      entry.name = item.name;
      entry.type = kEntryFolder;
    } else if (!LoadFile(item.source, item.name, entry, error)) {
      return false;
    }
    inner.push_back(std::move(entry));
  }
  std::vector<std::uint8_t> setupPck;
  if (options.showProgress) std::fprintf(stderr, "setup.pck: %lu entries\n", static_cast<unsigned long>(inner.size()));
  if (!WritePackage(inner, options.level, setupPck, error, options.showProgress ? ShowProgress : nullptr)) return false;
  report.programEntries = inner.size();

  // The outer package: setup.ini first, the other root files by name, setup.pck last.
  std::vector<SourceEntry> outer;
  SourceEntry setupEntry;
  if (!LoadFile(setupPath, "setup.ini", setupEntry, error)) return false;
  outer.push_back(std::move(setupEntry));
  std::vector<Collected> roots;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::string name;
    if (!AnsiName(it->path().filename(), name, error)) return false;
    std::error_code typeError;
    if (it->is_directory(typeError)) {
      if (name != "program") report.warnings.push_back(it->path().u8string() + ": a folder beside program/ is not packed");
      continue;
    }
    if (!it->is_regular_file(typeError) || name == "setup.ini" || name == "setup.pck") continue;
    roots.push_back(Collected{name, it->path(), false});
  }
  if (ec) {
    error = folder.u8string() + ": cannot list the folder (" + ec.message() + ")";
    return false;
  }
  roots.insert(roots.end(), outerExtras.begin(), outerExtras.end());
  std::sort(roots.begin(), roots.end(), [](const Collected& a, const Collected& b) { return a.name < b.name; });
  for (const Collected& item : roots) {
    SourceEntry entry;
    if (!LoadFile(item.source, item.name, entry, error)) return false;
    outer.push_back(std::move(entry));
  }
  SourceEntry pck;
  pck.name = "setup.pck";
  pck.data = std::move(setupPck);
  pck.creationTime = pck.lastWriteTime = now;
  pck.storeAsIs = true;  // its entries are compressed already
  outer.push_back(std::move(pck));

  std::vector<std::uint8_t> image = std::move(stub);
  if (options.showProgress) std::fprintf(stderr, "Install.exe: %lu entries\n", static_cast<unsigned long>(outer.size()));
  if (!WritePackage(outer, options.level, image, error, options.showProgress ? ShowProgress : nullptr)) return false;
  report.outerEntries = outer.size();
  if (!options.signCommand.empty() && !SignBytes(options, "Install.exe", image, error)) return false;
  report.outputSize = image.size();
  return WriteWholeFile(options.output, image, error);
}

}  // namespace brindorel::pack
