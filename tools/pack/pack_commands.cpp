#include "tools/pack/pack_commands.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "package/block_decoder.h"
#include "package/block_encoder.h"
#include "package/package_format.h"
#include "tools/pack/pack_builder.h"
#include "tools/pack/pack_text.h"

namespace brindorel {
namespace fs = std::filesystem;
namespace {

constexpr const char* kUsage =
    "usage: brindorel-pack build FOLDER -o OUTPUT [--stub FILE] [--uninstaller FILE] [--level fast|best]\n"
    "       brindorel-pack list FILE\n"
    "       brindorel-pack verify FILE\n"
    "       brindorel-pack --version\n";

// Walks one package held in memory; prints its entries (list) and/or checks
// every block (verify). Returns the number of problems found.
int WalkPackage(const std::vector<std::uint8_t>& file, const std::string& label, const std::string& indent,
                std::ostream& out, bool print) {
  std::uint64_t end = file.size();
  if (file.size() < kTrailerSize) {
    out << indent << label << ": too small to hold a package\n";
    return 1;
  }
  std::uint64_t signedEnd = 0;
  if (SignedImagePackageEnd(file.data(), std::min<std::size_t>(file.size(), 4096), file.size(), signedEnd)) {
    out << indent << label << ": carries an Authenticode signature\n";
    end = signedEnd;
  }
  PackageTrailer trailer;
  if (end < kTrailerSize || !ParseTrailer(file.data() + end - kTrailerSize, trailer)) {
    out << indent << label << ": no package trailer (\"Pack\" magic missing)\n";
    return 1;
  }
  if (!TrailerFits(trailer, end)) {
    out << indent << label << ": trailer sizes do not fit the file\n";
    return 1;
  }
  const std::uint64_t tableStart = end - kTrailerSize - trailer.tableStoredSize;
  std::vector<std::uint8_t> table(static_cast<std::size_t>(trailer.tableSize) + 8);
  const std::uint8_t* stored = file.data() + tableStart;
  if (trailer.tableStoredSize == trailer.tableSize) {
    std::copy(stored, stored + trailer.tableSize, table.begin());
  } else if (DecompressBlock(stored, trailer.tableStoredSize, table.data(), table.size()) != trailer.tableSize) {
    out << indent << label << ": entry table does not decode\n";
    return 1;
  }
  const EntryList entries = ParseEntryTable(table.data(), trailer.tableSize);
  int problems = 0;
  std::uint64_t position = trailer.dataStart;
  for (const PackageEntry& e : entries) {
    std::string problem;
    std::vector<std::uint8_t> data;
    if (e.storedSize > tableStart - position) {
      problem = "data runs past the entry table";
    } else if (e.type != kEntryFile || e.size == 0) {
      if (e.storedSize != 0) problem = "carries data the installer would not read";
    } else if (e.storedSize == e.size) {
      data.assign(file.begin() + static_cast<std::ptrdiff_t>(position),
                  file.begin() + static_cast<std::ptrdiff_t>(position + e.size));
    } else {
      data.resize(static_cast<std::size_t>(e.size) + 8);
      if (DecompressBlock(file.data() + position, e.storedSize, data.data(), data.size()) != e.size)
        problem = "block does not decode or fails its checksum";
      data.resize(e.size);
    }
    if (problem.empty() && !IsSafeEntryName(e.name)) problem = "name would leave the target folder";
    if (print)
      out << indent << (e.type == kEntryFolder ? "folder" : e.type == kEntryFile ? "file  " : "other ") << ' '
          << e.size << ' ' << e.storedSize << ' ' << FormatFileTime(e.creationTime) << ' '
          << FormatFileTime(e.lastWriteTime) << ' ' << Cp1252ToUtf8(e.name) << '\n';
    if (!problem.empty()) {
      out << indent << "bad entry " << Cp1252ToUtf8(e.name) << ": " << problem << '\n';
      ++problems;
      if (e.storedSize > tableStart - position) break;
    } else if (e.name == "setup.pck") {
      problems += WalkPackage(data, e.name, indent + "  ", out, print);
    }
    position += e.storedSize;
  }
  return problems;
}

bool LoadFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::ostream& err) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    err << path << ": cannot open\n";
    return false;
  }
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

fs::path DefaultStub(const std::string& selfPath) {
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (ec) self = fs::absolute(selfPath, ec);
  const fs::path beside = self.parent_path() / "Install.exe";
  if (fs::is_regular_file(beside, ec)) return beside;
  const fs::path built = fs::path(BRINDOREL_SOURCE_DIR) / "build" / "win32" / "core" / "Install.exe";
  if (fs::is_regular_file(built, ec)) return built;
  return fs::path();
}

int Build(const std::vector<std::string>& args, const std::string& selfPath, std::ostream& out,
          std::ostream& err) {
  BuildOptions options;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--help") {
      out << kUsage;
      return 0;
    } else if (a == "-o" && hasValue) {
      options.output = args[++i];
    } else if (a == "--stub" && hasValue) {
      options.stub = args[++i];
    } else if (a == "--uninstaller" && hasValue) {
      options.uninstaller = args[++i];
    } else if (a == "--level" && hasValue) {
      const std::string level = args[++i];
      if (level == "fast") options.level = kBlockLevelFast;
      else if (level == "best") options.level = kBlockLevelBest;
      else {
        err << "unknown level " << level << " (fast or best)\n";
        return 2;
      }
    } else if (!a.empty() && a[0] != '-' && options.folder.empty()) {
      options.folder = a;
    } else {
      err << "unexpected argument " << a << '\n' << kUsage;
      return 2;
    }
  }
  if (options.folder.empty() || options.output.empty()) {
    err << kUsage;
    return 2;
  }
  if (options.stub.empty()) options.stub = DefaultStub(selfPath);
  BuildResult result;
  std::string error;
  const bool ok = BuildInstaller(options, result, error);
  for (const std::string& w : result.warnings) err << "warning: " << w << '\n';
  if (!ok) {
    err << "error: " << error << '\n';
    return 1;
  }
  out << options.output.string() << ": " << result.outputSize << " bytes (stub " << result.stubSize << ", "
      << result.programFiles << " program files)\n";
  return 0;
}

}  // namespace

int RunPackCommand(const std::vector<std::string>& args, const std::string& selfPath, std::ostream& out,
                   std::ostream& err) {
  if (args.empty()) {
    err << kUsage;
    return 2;
  }
  const std::string& command = args[0];
  if (command == "--version") {
    out << "brindorel-pack 1.0\n";
    return 0;
  }
  if (command == "--help") {
    out << kUsage;
    return 0;
  }
  if (command == "build") return Build(args, selfPath, out, err);
  if (command == "list" || command == "verify") {
    if (args.size() == 2 && args[1] == "--help") {
      out << kUsage;
      return 0;
    }
    if (args.size() != 2) {
      err << kUsage;
      return 2;
    }
    std::vector<std::uint8_t> bytes;
    if (!LoadFile(args[1], bytes, err)) return 1;
    const int problems = WalkPackage(bytes, args[1], std::string(), out, command == "list");
    if (command == "verify") out << args[1] << (problems == 0 ? ": sound\n" : ": damaged\n");
    return problems == 0 ? 0 : 1;
  }
  err << "unknown command " << command << '\n' << kUsage;
  return 2;
}

}  // namespace brindorel
