#include "tools/pack/pack_builder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "services/folder_rules.h"
#include "install/uninstall_record.h"
#include "services/ini_document.h"
#include "services/utf8.h"
#include "tools/pack/pack_files.h"

namespace brindorel::pack {
namespace fs = std::filesystem;
namespace {

struct Collected {
  std::string name;  // UTF-8, "\"-separated, folders end in "\"
  fs::path source;   // empty for folders
  bool folder = false;
};

// The package name of a path relative to the package folder: UTF-8 with "\"
// between the levels; false (with `error` naming the path and the reason)
// when Windows could not hold a level as it is spelt.
bool PackageName(const fs::path& relative, const fs::path& shown, std::string& name, std::string& error) {
  name.clear();
  for (const fs::path& level : relative) {
    // On Windows the path comes through the wide calls; elsewhere it is the
    // file system's bytes, which are taken as UTF-8.
    const std::string text = level.u8string();
    if (text.empty()) continue;  // a trailing "/"
    const NameProblem problem = WindowsNameProblem(text);
    if (problem != NameProblem::None) {
      error = ValidUtf8(shown.u8string()) + ": " + NameProblemText(problem);
      return false;
    }
    if (!name.empty()) name += '\\';
    name += text;
  }
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
    if (!PackageName(relative, it->path(), item.name, error)) return false;
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

// An entry whose data is read from `source` as it is packed (never held
// whole). A file the format cannot hold is refused here, before any work.
bool DescribeFile(const fs::path& source, const std::string& name, SourceEntry& entry, std::string& error) {
  entry.name = name;
  entry.type = kEntryFile;
  entry.file = source;
  std::error_code ec;
  entry.fileSize = fs::file_size(source, ec);
  if (ec) {
    error = source.u8string() + ": cannot be read (" + ec.message() + ")";
    return false;
  }
  if (entry.fileSize > kFormatLimit) {
    error = source.u8string() + ": " + std::to_string(static_cast<unsigned long long>(entry.fileSize)) +
            " bytes; a package entry holds at most 4294967295 bytes (4 GiB - 1: its sizes are 32-bit)";
    return false;
  }
  entry.lastWriteTime = FileTimeOf(source);
  entry.creationTime = entry.lastWriteTime;
  if (entry.lastWriteTime == 0) {
    error = source.u8string() + ": the file vanished while it was packed";
    return false;
  }
  return true;
}

// The same, read into memory (for a file that is changed before it is packed).
bool LoadFile(const fs::path& source, const std::string& name, SourceEntry& entry, std::string& error) {
  if (!DescribeFile(source, name, entry, error)) return false;
  entry.file.clear();
  entry.fileSize = 0;
  return ReadWholeFile(source, entry.data, error);
}

std::vector<std::uint8_t> Bytes(const std::string& text) { return std::vector<std::uint8_t>(text.begin(), text.end()); }

bool AllAscii(const std::vector<std::string>& texts) {
  for (const std::string& text : texts)
    if (!IsAscii(text)) return false;
  return true;
}

// The first "uninstall.dat" as stored. The installer and the uninstaller read
// a file without the UTF-8 mark in the target system's code page, which the
// builder does not know: texts from a settings file without the mark are
// copied as they stand (its own bytes, so both files read alike there).
// File names are UTF-8: when one is not ASCII the record needs the mark, and
// settings texts from a file without it are then taken as Windows-1252.
std::vector<std::uint8_t> FirstRecordBytes(const std::string& text, const IniDocument& setup,
                                           const std::vector<std::string>& settingsTexts,
                                           const std::vector<std::string>& files, BuildReport& report) {
  if (IsAscii(text)) return Bytes(text);
  std::string plain;
  if (!setup.utf8() && AllAscii(files) && Windows1252().fromUtf8(text, plain)) return Bytes(plain);
  if (!setup.utf8() && !AllAscii(settingsTexts)) {
    report.warnings.push_back(
        "setup.ini has no UTF-8 mark: its texts in uninstall.dat were read as Windows-1252, since the file "
        "names need UTF-8 there; save setup.ini as UTF-8 with the mark to be sure");
  }
  return Bytes("\xEF\xBB\xBF" + text);
}

void ShowProgress(std::size_t done, std::size_t total, const std::string& name) {
  std::fprintf(stderr, "\r  packing %lu/%lu %-50.50s", static_cast<unsigned long>(done),
               static_cast<unsigned long>(total), name.c_str());
  if (done == total) std::fprintf(stderr, "\r%-70s\r", "");
}

}  // namespace

const char* NameProblemText(NameProblem problem) {
  switch (problem) {
    case NameProblem::NotUtf8: return "the name is not valid UTF-8";
    case NameProblem::BadCharacter: return "Windows names cannot hold < > : \" | ? * \\ or control characters";
    case NameProblem::DeviceName: return "CON, PRN, AUX, NUL, COM1-9 and LPT1-9 name devices on Windows, with any extension";
    case NameProblem::TrailingDotOrSpace: return "Windows drops a dot or space at the end of a name";
    case NameProblem::TooLong: return "Windows names hold at most 255 characters";
    case NameProblem::None: break;
  }
  return "";
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

// Runs a command line through the system's shell: on Windows through the
// wide call, so that no path loses a character to the code page.
int RunShellCommand(const std::string& line) {
#ifdef _WIN32
  const std::u16string wide = Utf8ToUtf16(line);
  return _wsystem(reinterpret_cast<const wchar_t*>(wide.c_str()));
#else
  return std::system(line.c_str());
#endif
}

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
    const int status = RunShellCommand(SignCommandLine(options.signCommand, in, out));
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

// Puts the finished installer at the output: signed by the user's command,
// or renamed.
bool PlaceOutput(const BuildOptions& options, const fs::path& partial, std::string& error) {
  std::error_code ec;
  fs::remove(options.output, ec);  // a rename on Windows does not replace
  if (options.signCommand.empty()) {
    fs::rename(partial, options.output, ec);
    if (ec) error = options.output.u8string() + ": cannot be written (" + ec.message() + ")";
    return !ec;
  }
  const fs::path out = fs::path(options.output).concat(".signed-Install.exe");
  fs::remove(out, ec);
  std::fflush(nullptr);
  const int status = RunShellCommand(SignCommandLine(options.signCommand, partial, out));
  bool ok = true;
  if (status != 0) {
    error = "signing Install.exe failed (the command returned " + std::to_string(status) + "): " + options.signCommand;
    ok = false;
  } else if (!fs::is_regular_file(out, ec)) {
    error = "signing Install.exe: the command wrote no {out} file: " + options.signCommand;
    ok = false;
  } else {
    fs::rename(out, options.output, ec);
    if (ec) error = options.output.u8string() + ": cannot be written (" + ec.message() + ")";
    ok = !ec;
  }
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
  } else if (!options.checked) {
    report.warnings.push_back(programFolder.u8string() + ": missing; the package installs no program files");
  }
  std::vector<Collected> outerExtras;
  for (const auto& [name, source] : options.extraFiles) {
    std::string relative = name;
    std::replace(relative.begin(), relative.end(), '\\', '/');
    Collected item;
    item.source = source;
    if (relative.rfind("program/", 0) == 0) {
      if (!PackageName(fs::u8path(relative.substr(8)), fs::u8path(name), item.name, error)) return false;
      program.erase(std::remove_if(program.begin(), program.end(),
                                   [&](const Collected& c) { return c.name == item.name; }),
                    program.end());
      program.push_back(item);
    } else {
      if (!PackageName(fs::u8path(relative), fs::u8path(name), item.name, error)) return false;
      outerExtras.push_back(item);
    }
  }
  std::sort(program.begin(), program.end(), [](const Collected& a, const Collected& b) { return a.name < b.name; });

  std::vector<SourceEntry> inner;
  std::vector<std::string> files;
  std::uint64_t now = FileTimeOf(setupPath);
  if (!options.uninstaller.empty()) {
    SourceEntry entry;
    if (options.signCommand.empty()) {
      if (!DescribeFile(options.uninstaller, "Uninstall.exe", entry, error)) return false;
    } else if (!LoadFile(options.uninstaller, "Uninstall.exe", entry, error) ||
               !SignBytes(options, "Uninstall.exe", entry.data, error)) {
      return false;
    }
    inner.push_back(std::move(entry));
  } else {
    report.warnings.push_back("no Uninstall.exe beside the stub: the package carries no uninstaller");
  }
  for (const Collected& item : program) {
    if (!item.folder) files.push_back(item.name);
  }
  SourceEntry record;
  record.name = "uninstall.dat";
  record.data = FirstRecordBytes(FirstUninstallRecord(titel, version, mutexString, noDelAll, files), setup,
                                 {titel, version, mutexString}, files, report);
  record.creationTime = record.lastWriteTime = now;
  inner.push_back(std::move(record));
  for (const Collected& item : program) {
    SourceEntry entry;
    if (item.folder) {
      entry.name = item.name;
      entry.type = kEntryFolder;
    } else if (!DescribeFile(item.source, item.name, entry, error)) {
      return false;
    }
    inner.push_back(std::move(entry));
  }
  for (const SourceEntry& entry : inner) report.fileBytes += entry.Size();
  report.programEntries = inner.size();

  // The outer package: setup.ini first, the other root files by name, setup.pck last.
  std::vector<SourceEntry> outer;
  SourceEntry setupEntry;
  if (!DescribeFile(setupPath, "setup.ini", setupEntry, error)) return false;
  outer.push_back(std::move(setupEntry));
  std::vector<Collected> roots;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::string name;
    if (!PackageName(it->path().filename(), it->path(), name, error)) return false;
    std::error_code typeError;
    if (it->is_directory(typeError)) {
      if (name != "program" && !options.checked)
        report.warnings.push_back(it->path().u8string() + ": a folder beside program/ is not packed");
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
    if (!DescribeFile(item.source, item.name, entry, error)) return false;
    outer.push_back(std::move(entry));
  }
  // setup.pck is written in place, as the last entry's stored bytes.
  SourceEntry pck;
  pck.name = "setup.pck";
  pck.nested = &inner;
  pck.creationTime = pck.lastWriteTime = now;
  pck.storeAsIs = true;  // its entries are compressed already
  outer.push_back(std::move(pck));
  for (const SourceEntry& entry : outer) {
    if (!entry.storeAsIs) report.fileBytes += entry.Size();
  }
  report.outerEntries = outer.size();

  // The installer is written to a file beside the output as it is made, and
  // takes the output's place (signed, when asked) once it is whole.
  const fs::path partial = fs::path(options.output).concat(".partial");
  FileOutput out;
  if (!out.Create(partial, error)) return false;
  if (options.showProgress)
    std::fprintf(stderr, "Install.exe: %lu entries, setup.pck: %lu\n", static_cast<unsigned long>(outer.size()),
                 static_cast<unsigned long>(inner.size()));
  const std::uint64_t stubSize = stub.size();
  bool ok = out.Append(stub.data(), stub.size());
  std::vector<std::uint8_t>().swap(stub);
  if (!ok) error = partial.u8string() + ": cannot be written";
  ok = ok && WritePackage(outer, options.level, out, 0, error, options.showProgress ? ShowProgress : nullptr,
                          options.jobs);
  if (!out.Close() && ok) {
    error = partial.u8string() + ": cannot be written (is the disk full?)";
    ok = false;
  }
  ok = ok && PlaceOutput(options, partial, error);
  fs::remove(partial, ec);
  if (!ok) return false;
  report.outputSize = fs::file_size(options.output, ec);
  report.packageBytes = report.outputSize > stubSize ? report.outputSize - stubSize : 0;
  return true;
}

}  // namespace brindorel::pack
