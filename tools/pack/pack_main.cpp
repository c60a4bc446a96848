// brindorel-pack: checks package folders and builds installers from them, and
// lists, verifies and extracts packages. Exit codes: 0 success, 1 a problem
// with a package or a file (or a check that found errors), 2 wrong usage.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "package/block_encoder.h"
#include "services/utf8.h"
#include "tools/pack/pack_builder.h"
#include "tools/pack/pack_check.h"
#include "tools/pack/pack_files.h"
#include "tools/pack/pack_package.h"

namespace fs = std::filesystem;
using namespace brindorel;
using namespace brindorel::pack;

namespace {

const char kVersion[] = "brindorel-pack 1.0";

const char kUsage[] =
    "usage: brindorel-pack COMMAND ...\n"
    "\n"
    "  check PACKAGE-FOLDER [--add NAME=FILE]... [--werror] [--format text|json]\n"
    "  build PACKAGE-FOLDER -o Install.exe [--stub FILE] [--uninstaller FILE]\n"
    "        [--level fast|best] [--jobs N] [--add NAME=FILE]... [--sign-command CMD] [--werror] [--quiet]\n"
    "  list FILE            the entries of an Install.exe or a setup.pck\n"
    "  verify FILE          decode every entry and check every checksum\n"
    "  extract FILE DIR     unpack what the installer would unpack\n"
    "  keys                 the setup.ini keys as a Markdown table\n"
    "\n"
    "  brindorel-pack COMMAND --help   describes one command; --version prints the version\n";

const char kCheckHelp[] =
    "usage: brindorel-pack check PACKAGE-FOLDER [options]\n"
    "\n"
    "Judges everything the installer will read, by the installer's own rules, and\n"
    "reports one diagnostic a line: FILE:LINE: error|warning|note: MESSAGE.\n"
    "Errors are mistakes the installer would refuse, fail on or carry out other than\n"
    "written; warnings what it would ignore or replace by a default; notes say how a\n"
    "file will be read. build runs the same check first.\n"
    "\n"
    "  --add NAME=FILE      a file packed from elsewhere, as build takes it\n"
    "  --werror             warnings count as errors\n"
    "  --format json        one JSON object a line: file, line (null where none),\n"
    "                       severity, code, message; the summary goes to stderr\n"
    "\n"
    "Exit codes: 0 clean or only warnings, 1 errors (or warnings with --werror),\n"
    "2 wrong usage.\n";

const char kBuildHelp[] =
    "usage: brindorel-pack build PACKAGE-FOLDER -o Install.exe [options]\n"
    "\n"
    "PACKAGE-FOLDER holds setup.ini, the language files, documents, pictures and\n"
    "companion programs, and program/ with the files to install. program/ becomes\n"
    "setup.pck together with Uninstall.exe and a first uninstall.dat; everything\n"
    "is appended to the installer stub. The folder is checked first (see check\n"
    "--help): errors stop the build.\n"
    "\n"
    "  -o FILE              the installer to write (required)\n"
    "  --stub FILE          the installer stub (default: Install.exe beside this tool)\n"
    "  --uninstaller FILE   the uninstaller to carry (default: Uninstall.exe beside the\n"
    "                       stub, else uninstaller/Uninstall.exe of the Windows build)\n"
    "  --level fast|best    compression (default: best)\n"
    "  --jobs N             compress on N threads (default: one for each processor);\n"
    "                       the installer is the same whatever N is\n"
    "  --add NAME=FILE      pack FILE as NAME, e.g. program/app.exe=build/app.exe\n"
    "  --sign-command CMD   sign Uninstall.exe before packing it and the finished\n"
    "                       installer, with {in} and {out} standing for the files:\n"
    "                       --sign-command \"osslsigncode sign -pkcs12 c.pfx -in {in} -out {out}\"\n"
    "  --werror             warnings stop the build too\n"
    "  --quiet              no progress and no report of what was packed\n"
    "\n"
    "setup.ini [Settings] NoDelAll=1 keeps the uninstaller from offering to delete\n"
    "every file of the installation folder.\n";

const char kListHelp[] = "usage: brindorel-pack list FILE\n\nLists type, size, stored size, last-write time and name of every entry,\nthe nested setup.pck included.\n";
const char kVerifyHelp[] = "usage: brindorel-pack verify FILE\n\nDecodes every entry (the nested setup.pck included) and checks every checksum.\nExit 0 only when all is sound; each bad entry is named. Also says whether the\nfile carries a code signature (the certificate is not judged).\n";
const char kExtractHelp[] = "usage: brindorel-pack extract FILE DIR\n\nWrites the entries into DIR as the installer would; names that would leave DIR\nand corrupt entries are refused.\n";

int Usage(const char* message) {
  std::fprintf(stderr, "brindorel-pack: %s\n\n%s", message, kUsage);
  return 2;
}

fs::path OwnFolder(const char* argv0) {
  std::error_code ec;
  fs::path self = fs::canonical(fs::path(argv0), ec);
  if (ec) self = fs::absolute(fs::path(argv0), ec);
  return self.parent_path();
}

std::string TimeText(std::uint64_t fileTime) {
  if (fileTime == 0) return "-------------------";
  std::time_t seconds = static_cast<std::time_t>(fileTime / 10000000ull - 11644473600ull);
  char text[32];
  std::tm* tm = std::gmtime(&seconds);
  if (tm == nullptr || std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S", tm) == 0) return "?";
  return text;
}

bool OpenSource(const std::string& path, FileSource& source) {
  std::string error;
  if (!source.Open(fs::u8path(path), error)) {
    std::fprintf(stderr, "brindorel-pack: %s\n", error.c_str());
    return false;
  }
  return true;
}

// The package of a "setup.pck" entry: read in place when it is stored as it
// is (the builder's own installers), else from its decoded bytes.
struct NestedPackage {
  std::unique_ptr<PackageSource> source;
  ByteBuffer decoded;
};

bool IsNestedPackage(const ReadEntry& read, int depth) {
  return depth == 0 && read.entry.name == "setup.pck" && read.entry.type == kEntryFile && read.decoded;
}

NestedPackage OpenNested(PackageSource& outer, const ReadEntry& read) {
  NestedPackage nested;
  const PackageEntry& e = read.entry;
  if (StoredAsIs(e.size, e.storedSize)) {
    nested.source = std::make_unique<SliceSource>(outer, read.located.dataPosition, e.size);
  } else if (EntryUsable(ReadEntryData(outer, read.located, nested.decoded))) {
    nested.source = std::make_unique<MemorySource>(nested.decoded.data(), nested.decoded.size());
  }
  return nested;
}

// Listing decodes nothing but the tables (and a nested package that is a block).
ReadResult TableOnly(const PackageLayout& layout) {
  ReadResult package;
  package.found = true;
  for (const LocatedEntry& located : layout.entries) {
    ReadEntry read;
    read.entry = located.entry;
    read.located = located;
    read.decoded = true;
    package.entries.push_back(read);
  }
  return package;
}

void ListPackage(PackageSource& source, const ReadResult& package, int depth) {
  const std::string indent(static_cast<std::size_t>(depth) * 4, ' ');
  for (const ReadEntry& read : package.entries) {
    const PackageEntry& e = read.entry;
    std::printf("%s%-6s %10lu %10lu  %s  %s\n", indent.c_str(), e.type == kEntryFolder ? "folder" : e.type == kEntryFile ? "file" : "other",
                static_cast<unsigned long>(e.size), static_cast<unsigned long>(e.storedSize), TimeText(e.lastWriteTime).c_str(),
                EntryNameText(e.name).c_str());
    if (IsNestedPackage(read, depth)) {
      NestedPackage nested = OpenNested(source, read);
      if (!nested.source) continue;
      PackageLayout inner;
      if (OpenPackage(*nested.source, inner) == PackageProblem::None)
        ListPackage(*nested.source, TableOnly(inner), depth + 1);
    }
  }
}

int CommandList(const std::string& path) {
  FileSource source;
  if (!OpenSource(path, source)) return 1;
  PackageLayout layout;
  const PackageProblem problem = OpenPackage(source, layout);
  if (problem != PackageProblem::None) {
    std::fprintf(stderr, "brindorel-pack: %s: %s\n", path.c_str(), PackageProblemText(problem));
    return 1;
  }
  const ReadResult package = TableOnly(layout);
  std::printf("%s: %lu entries, data from %lu%s\n", path.c_str(), static_cast<unsigned long>(package.entries.size()),
              static_cast<unsigned long>(layout.trailer.dataStart), layout.signedImage ? ", signed image" : "");
  ListPackage(source, package, 0);
  return 0;
}

struct VerifyCounts {
  int bad = 0;
  int sound = 0;
  int unchecked = 0;
  std::uint64_t uncheckedBytes = 0;
};

const char* BadEntryText(EntryState state) {
  switch (state) {
    case EntryState::Damaged: return "does not decode to its size or fails its checksum";
    case EntryState::Unreadable: return "its data cannot be read";
    case EntryState::NoMemory: return "too large to decode in memory";
    case EntryState::Unwritable: return "its decoded bytes cannot be written (is the disk full?)";
    default: return "";
  }
}

// Checks every entry as the installer would, the entries of a setup.pck
// inside it too. A stored entry with data has no checksum: it is reported as
// not checked (only the installer's own setup.pck is stored so, and its
// entries are checked one by one).
void VerifyPackage(PackageSource& source, const std::string& where, int depth, VerifyCounts& counts) {
  const ReadResult package = ReadPackageFrom(source, false);
  if (!package.found) {
    std::printf("BAD %s%s\n", where.c_str(), package.problem.c_str());
    ++counts.bad;
    return;
  }
  if (package.tableStoredAsIs) {
    std::printf("warning: %sthe entry table is stored without a checksum (%lu bytes not checked)\n", where.c_str(),
                static_cast<unsigned long>(package.trailer.tableSize));
    counts.uncheckedBytes += package.trailer.tableSize;
  }
  for (const ReadEntry& read : package.entries) {
    const std::string name = where + EntryNameText(read.entry.name);
    if (!read.decoded) {
      std::printf("BAD %s: %s\n", name.c_str(), BadEntryText(read.state));
      ++counts.bad;
      continue;
    }
    if (IsNestedPackage(read, depth)) {
      NestedPackage nested = OpenNested(source, read);
      if (nested.source) VerifyPackage(*nested.source, "setup.pck: ", depth + 1, counts);
      ++counts.sound;
      continue;
    }
    if (read.state == EntryState::Unchecked) {
      std::printf("warning: %s: not checked, stored without a checksum (%lu bytes)\n", name.c_str(),
                  static_cast<unsigned long>(read.entry.size));
      ++counts.unchecked;
      counts.uncheckedBytes += read.entry.size;
      continue;
    }
    ++counts.sound;
  }
}

int CommandVerify(const std::string& path) {
  FileSource source;
  if (!OpenSource(path, source)) return 1;
  std::vector<std::uint8_t> head(source.Size() < 4096 ? static_cast<std::size_t>(source.Size()) : 4096);
  source.ReadAt(0, head.data(), head.size());
  std::uint64_t signedEnd = 0;
  const bool signedImage = SignedImagePackageEnd(head.data(), head.size(), source.Size(), signedEnd);
  std::printf("signature: %s\n", signedImage ? "present (not judged)" : "none");
  VerifyCounts counts;
  VerifyPackage(source, path + ": ", 0, counts);
  if (counts.bad != 0) {
    std::printf("%s: %d bad\n", path.c_str(), counts.bad);
    return 1;
  }
  if (counts.unchecked != 0 || counts.uncheckedBytes != 0) {
    std::printf("%s: %d entries sound, %d not checked (%llu bytes unprotected)\n", path.c_str(), counts.sound,
                counts.unchecked, static_cast<unsigned long long>(counts.uncheckedBytes));
    return 0;
  }
  std::printf("%s: all %d entries sound\n", path.c_str(), counts.sound);
  return 0;
}

int CommandExtract(const std::string& path, const std::string& target) {
  FileSource source;
  if (!OpenSource(path, source)) return 1;
  PackageLayout layout;
  const PackageProblem problem = OpenPackage(source, layout);
  if (problem != PackageProblem::None) {
    std::fprintf(stderr, "brindorel-pack: %s: %s\n", path.c_str(), PackageProblemText(problem));
    return 1;
  }
  // As the installer does: every entry is decoded and checked into a staging
  // folder first, streaming, and only a package that is sound throughout is
  // put in place; a damaged package writes nothing.
  const fs::path root = fs::u8path(target);
  std::error_code ec;
  const bool rootMade = !fs::exists(root, ec);
  fs::create_directories(root, ec);
  const fs::path staging = root / fs::u8path(StagingFolderName(layout.entries));
  fs::remove_all(staging, ec);
  fs::create_directories(staging, ec);
  int damaged = 0, failed = 0;
  StreamBuffers buffers;
  for (std::size_t i = 0; i < layout.entries.size(); ++i) {
    const LocatedEntry& located = layout.entries[i];
    if (!located.carriesData || located.entry.type != kEntryFile) continue;
    EntryState state;
    if (damaged == 0 && failed == 0) {
      FileSink sink;
      state = sink.Create(staging / std::to_string(i)) ? StreamEntryData(source, located, sink, buffers)
                                                       : EntryState::Unwritable;
      if (!sink.Close() && EntryUsable(state)) state = EntryState::Unwritable;
    } else {
      state = CheckEntry(source, located, buffers);  // only naming the damaged ones now
    }
    if (state == EntryState::Unwritable) {
      std::fprintf(stderr, "brindorel-pack: %s: %s\n", EntryNameText(located.entry.name).c_str(),
                   BadEntryText(state));
      ++failed;
    } else if (!EntryUsable(state)) {
      std::fprintf(stderr, "damaged %s: %s\n", EntryNameText(located.entry.name).c_str(), BadEntryText(state));
      ++damaged;
    }
  }
  if (damaged != 0 || failed != 0) {
    fs::remove_all(staging, ec);
    if (rootMade) fs::remove(root, ec);
    if (damaged != 0)
      std::fprintf(stderr, "brindorel-pack: %s: %d damaged entries, nothing extracted\n", path.c_str(), damaged);
    return 1;
  }
  for (std::size_t i = 0; i < layout.entries.size(); ++i) {
    const PackageEntry& e = layout.entries[i].entry;
    std::string relative = EntryNameText(e.name);
    for (char& c : relative) {
      if (c == '\\') c = '/';
    }
    const fs::path out = root / fs::u8path(relative);
    if (e.type == kEntryFolder) {
      fs::create_directories(out, ec);
      continue;
    }
    if (e.type != kEntryFile) continue;
    fs::create_directories(out.parent_path(), ec);
    std::error_code placeError;
    if (layout.entries[i].carriesData) {
      fs::remove(out, placeError);
      placeError.clear();
      fs::rename(staging / std::to_string(i), out, placeError);
    } else {
      std::ofstream(out, std::ios::binary | std::ios::trunc);
      if (!fs::is_regular_file(out, placeError)) placeError = std::make_error_code(std::errc::io_error);
    }
    if (placeError) {
      std::fprintf(stderr, "brindorel-pack: %s: cannot be written (%s)\n", relative.c_str(),
                   placeError.message().c_str());
      ++failed;
      continue;
    }
    SetFileTimeOf(out, e.lastWriteTime);
  }
  fs::remove_all(staging, ec);
  return failed == 0 ? 0 : 1;
}

// "NAME=FILE" of --add; false when either side is empty.
bool ParseAdd(const char* value, std::vector<std::pair<std::string, fs::path>>& files) {
  const char* eq = value != nullptr ? std::strchr(value, '=') : nullptr;
  if (eq == nullptr || eq == value || eq[1] == '\0') return false;
  files.emplace_back(std::string(value, eq), fs::u8path(eq + 1));
  return true;
}

// 1234567 as "1,234,567".
std::string Grouped(std::uint64_t n) {
  std::string digits = std::to_string(n);
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(static_cast<std::size_t>(at), ",");
  return digits;
}

int CommandCheck(int argc, char** argv) {
  CheckOptions options;
  std::string folder;
  bool werror = false, json = false;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--werror") {
      werror = true;
    } else if (arg == "--add") {
      if (!ParseAdd(i + 1 < argc ? argv[++i] : nullptr, options.extraFiles)) return Usage("--add takes NAME=FILE");
    } else if (arg == "--format") {
      const std::string format = i + 1 < argc ? argv[++i] : "";
      if (format != "text" && format != "json") return Usage("--format takes text or json");
      json = format == "json";
    } else if (!arg.empty() && arg[0] == '-') {
      return Usage(("unknown option " + arg).c_str());
    } else if (folder.empty()) {
      folder = arg;
    } else {
      return Usage("check takes one package folder");
    }
  }
  if (folder.empty()) return Usage("check needs a package folder");
  options.packageFolder = fs::u8path(folder);
  const std::vector<Diagnostic> diagnostics = CheckPackageFolder(options);
  for (const Diagnostic& d : diagnostics) {
    std::printf("%s\n", (json ? DiagnosticJson(d, folder) : DiagnosticText(d, folder)).c_str());
  }
  const DiagnosticCounts counts = CountDiagnostics(diagnostics);
  std::fprintf(json ? stderr : stdout, "%s\n", DiagnosticSummary(counts, folder).c_str());
  return counts.errors != 0 || (werror && counts.warnings != 0) ? 1 : 0;
}

int CommandBuild(int argc, char** argv, const char* argv0) {
  BuildOptions options;
  std::string stub, output, uninstaller, folder;
  bool werror = false, quiet = false;
  for (int i = 0; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&](const char* what) -> const char* {
      if (i + 1 >= argc) return nullptr;
      (void)what;
      return argv[++i];
    };
    if (arg == "-o" || arg == "--output") {
      const char* v = value("-o");
      if (v == nullptr) return Usage("-o needs a file");
      output = v;
    } else if (arg == "--stub") {
      const char* v = value("--stub");
      if (v == nullptr) return Usage("--stub needs a file");
      stub = v;
    } else if (arg == "--uninstaller") {
      const char* v = value("--uninstaller");
      if (v == nullptr) return Usage("--uninstaller needs a file");
      uninstaller = v;
    } else if (arg == "--level") {
      const char* v = value("--level");
      if (v == nullptr) return Usage("--level needs fast or best");
      if (std::strcmp(v, "fast") == 0) {
        options.level = kBlockLevelFast;
      } else if (std::strcmp(v, "best") == 0) {
        options.level = kBlockLevelBest;
      } else {
        return Usage("--level takes fast or best");
      }
    } else if (arg == "--jobs") {
      const char* v = value("--jobs");
      char* end = nullptr;
      const unsigned long jobs = v != nullptr ? std::strtoul(v, &end, 10) : 0;
      if (v == nullptr || *v == '\0' || *end != '\0' || jobs == 0 || jobs > 256) return Usage("--jobs takes a number from 1 to 256");
      options.jobs = static_cast<unsigned>(jobs);
    } else if (arg == "--sign-command") {
      const char* v = value("--sign-command");
      if (v == nullptr || std::strstr(v, "{in}") == nullptr || std::strstr(v, "{out}") == nullptr) {
        return Usage("--sign-command takes a command with {in} and {out}");
      }
      options.signCommand = v;
    } else if (arg == "--add") {
      if (!ParseAdd(value("--add"), options.extraFiles)) return Usage("--add takes NAME=FILE");
    } else if (arg == "--werror") {
      werror = true;
    } else if (arg == "--quiet") {
      quiet = true;
    } else if (!arg.empty() && arg[0] == '-') {
      return Usage(("unknown option " + arg).c_str());
    } else if (folder.empty()) {
      folder = arg;
      options.packageFolder = fs::u8path(arg);
    } else {
      return Usage("build takes one package folder");
    }
  }
  if (options.packageFolder.empty()) return Usage("build needs a package folder");
  if (output.empty()) return Usage("build needs -o FILE");
  options.output = fs::u8path(output);
  std::error_code ec;
  if (!stub.empty()) {
    options.stub = fs::u8path(stub);
  } else {
    fs::path beside = OwnFolder(argv0) / "Install.exe";
    fs::path tree = fs::u8path(BRINDOREL_DEFAULT_STUB);
    options.stub = fs::is_regular_file(beside, ec) ? beside : tree;
  }
  if (!uninstaller.empty()) {
    options.uninstaller = fs::u8path(uninstaller);
  } else {
    // Beside the stub (a distribution), in the Windows build tree that holds
    // the stub (core/ and uninstaller/ side by side), or this build's tree.
    const fs::path candidates[] = {options.stub.parent_path() / "Uninstall.exe",
                                   options.stub.parent_path().parent_path() / "uninstaller" / "Uninstall.exe",
                                   fs::u8path(BRINDOREL_DEFAULT_UNINSTALLER)};
    for (const fs::path& candidate : candidates) {
      if (options.uninstaller.empty() && fs::is_regular_file(candidate, ec)) options.uninstaller = candidate;
    }
  }
  // The same check as `check`, first: errors stop the build before
  // anything is read or written. Notes are for `check`.
  CheckOptions checkOptions;
  checkOptions.packageFolder = options.packageFolder;
  checkOptions.extraFiles = options.extraFiles;
  const std::vector<Diagnostic> diagnostics = CheckPackageFolder(checkOptions);
  for (const Diagnostic& d : diagnostics) {
    if (d.severity != Severity::Note) std::fprintf(stderr, "%s\n", DiagnosticText(d, folder).c_str());
  }
  DiagnosticCounts counts = CountDiagnostics(diagnostics);
  if (counts.errors != 0 || (werror && counts.warnings != 0)) {
    counts.notes = 0;
    std::fprintf(stderr, "%s: nothing built\n", DiagnosticSummary(counts, folder).c_str());
    return 1;
  }
  options.checked = true;
  options.showProgress = !quiet && ErrorIsTerminal();
  BuildReport report;
  std::string error;
  bool ok = BuildInstaller(options, report, error);
  for (const std::string& warning : report.warnings) std::fprintf(stderr, "warning: %s\n", warning.c_str());
  if (!ok) {
    std::fprintf(stderr, "brindorel-pack: %s\n", error.c_str());
    return 1;
  }
  const int warnings = counts.warnings + static_cast<int>(report.warnings.size());
  if (!quiet) {
    const double ratio = report.fileBytes == 0 ? 0.0 : 100.0 * double(report.packageBytes) / double(report.fileBytes);
    std::printf("%s: %s bytes\n", output.c_str(), Grouped(report.outputSize).c_str());
    std::printf("  packed %lu entries (%lu of them in setup.pck): %s bytes of files into %s bytes (%.1f%%)\n",
                static_cast<unsigned long>(report.outerEntries + report.programEntries),
                static_cast<unsigned long>(report.programEntries), Grouped(report.fileBytes).c_str(),
                Grouped(report.packageBytes).c_str(), ratio);
    std::printf("  %d %s\n", warnings, warnings == 1 ? "warning" : "warnings");
  }
  return 0;
}

bool WantsHelp(int argc, char** argv) {
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return true;
  }
  return false;
}

int Main(int argc, char** argv) {
  if (argc < 2) return Usage("no command");
  std::string command = argv[1];
  if (command == "--help" || command == "-h" || command == "help") {
    std::printf("%s", kUsage);
    return 0;
  }
  if (command == "--version") {
    std::printf("%s\n", kVersion);
    return 0;
  }
  int rest = argc - 2;
  char** args = argv + 2;
  if (command == "check") {
    if (WantsHelp(rest, args)) return std::printf("%s", kCheckHelp), 0;
    return CommandCheck(rest, args);
  }
  if (command == "keys") {
    if (WantsHelp(rest, args)) return std::printf("usage: brindorel-pack keys\n\nPrints the setup.ini keys as the README's table.\n"), 0;
    return rest == 0 ? (std::printf("%s", SetupKeysMarkdown().c_str()), 0) : Usage("keys takes no arguments");
  }
  if (command == "build") {
    if (WantsHelp(rest, args)) return std::printf("%s", kBuildHelp), 0;
    return CommandBuild(rest, args, argv[0]);
  }
  if (command == "list") {
    if (WantsHelp(rest, args)) return std::printf("%s", kListHelp), 0;
    return rest == 1 ? CommandList(args[0]) : Usage("list takes one file");
  }
  if (command == "verify") {
    if (WantsHelp(rest, args)) return std::printf("%s", kVerifyHelp), 0;
    return rest == 1 ? CommandVerify(args[0]) : Usage("verify takes one file");
  }
  if (command == "extract") {
    if (WantsHelp(rest, args)) return std::printf("%s", kExtractHelp), 0;
    return rest == 2 ? CommandExtract(args[0], args[1]) : Usage("extract takes a file and a folder");
  }
  return Usage(("unknown command " + command).c_str());
}

}  // namespace

#ifdef _WIN32
// The wide entry point: the arguments (paths among them) come in UTF-16 and
// are UTF-8 from here on, as fs::u8path takes them.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> texts;
  for (int i = 0; i < argc; ++i) {
    const std::u16string wide(reinterpret_cast<const char16_t*>(argv[i]));
    texts.push_back(Utf16ToUtf8(wide));
  }
  std::vector<char*> arguments;
  for (std::string& text : texts) arguments.push_back(&text[0]);
  arguments.push_back(nullptr);
  return Main(argc, arguments.data());
}
#else
int main(int argc, char** argv) { return Main(argc, argv); }
#endif
