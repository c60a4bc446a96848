#include "tools/pack/pack_check.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "install/setup_keys.h"
#include "services/text.h"
#include "services/utf8.h"
#include "tools/pack/pack_check_parts.h"

namespace brindorel::pack {
namespace fs = std::filesystem;
namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerAscii(std::string text) {
  for (char& c : text) c = Lower(c);
  return text;
}

// Names are found as Windows finds them; "/" is read as "\".
bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const char x = a[i] == '/' ? '\\' : Lower(a[i]);
    const char y = b[i] == '/' ? '\\' : Lower(b[i]);
    if (x != y) return false;
  }
  return true;
}

// Edits between two words (insertions, deletions, changes and swaps of
// neighbours), the case of A-Z ignored.
std::size_t EditDistance(const std::string& a, const std::string& b) {
  const std::string x = LowerAscii(a), y = LowerAscii(b);
  std::vector<std::vector<std::size_t>> d(x.size() + 1, std::vector<std::size_t>(y.size() + 1));
  for (std::size_t i = 0; i <= x.size(); ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= y.size(); ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= x.size(); ++i) {
    for (std::size_t j = 1; j <= y.size(); ++j) {
      const std::size_t change = x[i - 1] == y[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + change});
      if (i > 1 && j > 1 && x[i - 1] == y[j - 2] && x[i - 2] == y[j - 1])
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  }
  return d[x.size()][y.size()];
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (char c : ValidUtf8(text)) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

const char* SeverityText(Severity severity) {
  switch (severity) {
    case Severity::Note: return "note";
    case Severity::Warning: return "warning";
    case Severity::Error: return "error";
  }
  return "error";
}

std::string ShownFile(const Diagnostic& d, const std::string& folderShown) {
  if (d.fileAsGiven) return ValidUtf8(d.file);
  std::string folder = folderShown;
  while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  if (d.file.empty()) return ValidUtf8(folder);
  // The folder's own separator: "C:\\pkg\\setup.ini", "pkg/setup.ini".
  const bool backslashes = folder.find('\\') != std::string::npos && folder.find('/') == std::string::npos;
  const std::string file = backslashes ? ReplaceAll(d.file, "/", "\\") : d.file;
  return ValidUtf8(folder.empty() ? file : folder + (backslashes ? "\\" : "/") + file);
}

std::string Counted(int n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// The line on which byte `at` of `text` stands, counted as the INI reader counts.
std::uint32_t LineAt(const std::string& text, std::size_t at) {
  std::uint32_t line = 1;
  for (std::size_t i = 0; i < at && i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    if (text[i] == '\r' || text[i] == '\n') ++line;
  }
  return line;
}

// The first line that is not well-formed UTF-8, 0 when there is none.
std::uint32_t FirstIllFormedLine(const std::string& text) {
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    if (!IsValidUtf8(text.substr(start, end - start))) return LineAt(text, start);
    if (end == text.size()) break;
    start = end + 1;
  }
  return 0;
}

void AddFile(std::vector<PackageFile>& files, const std::string& name, const fs::path& source, const std::string& shown,
             bool folder) {
  PackageFile file;
  file.name = name;
  file.source = source;
  file.shown = shown;
  file.folder = folder;
  files.push_back(file);
}

// The package folder as the builder will pack it, the --add files included.
PackageView LookAtFolder(const CheckOptions& options, Diagnostics& out) {
  PackageView view;
  view.folder = options.packageFolder;
  std::error_code ec;
  // The builder opens "program" by that name, as the file system finds it.
  const fs::path program = view.folder / "program";
  view.hasProgramFolder = fs::is_directory(program, ec);
  for (fs::directory_iterator it(view.folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().u8string();
    std::error_code typeError;
    if (it->is_directory(typeError)) {
      if (!view.hasProgramFolder || !fs::equivalent(it->path(), program, typeError)) {
        out.Warning(name, 0, "folder-not-packed",
                    "a folder beside program/ is not packed: only the files beside setup.ini and program/ are");
      }
    } else if (it->is_regular_file(typeError)) {
      AddFile(view.root, name, it->path(), name, false);
    }
  }
  if (view.hasProgramFolder) {
    for (fs::recursive_directory_iterator it(program, ec), end; !ec && it != end; it.increment(ec)) {
      std::error_code relativeError, typeError;
      const fs::path relative = fs::relative(it->path(), program, relativeError);
      if (relativeError) continue;
      std::string name;
      for (const fs::path& level : relative) {
        if (!name.empty()) name += '\\';
        name += level.u8string();
      }
      const bool folder = it->is_directory(typeError);
      if (!folder && !it->is_regular_file(typeError)) continue;
      AddFile(view.program, name, it->path(), "program/" + ReplaceAll(name, "\\", "/"), folder);
    }
  }
  for (const auto& [given, source] : options.extraFiles) {
    std::string name = ReplaceAll(given, "\\", "/");
    std::error_code typeError;
    if (!fs::is_regular_file(source, typeError)) {
      out.ErrorAsGiven(source.u8string(), "add-missing", "cannot be read (--add " + given + ")");
      continue;
    }
    const bool intoProgram = name.rfind("program/", 0) == 0;
    if (intoProgram) name = name.substr(8);
    std::vector<PackageFile>& files = intoProgram ? view.program : view.root;
    const std::string packageName = ReplaceAll(name, "/", "\\");
    // The builder replaces a file of the same name.
    files.erase(std::remove_if(files.begin(), files.end(), [&](const PackageFile& f) { return f.name == packageName; }),
                files.end());
    PackageFile file;
    file.name = packageName;
    file.source = source;
    file.shown = given;
    file.fromCommandLine = true;
    files.push_back(file);
  }
  // In name order, as the builder packs them, so that the diagnostics come
  // out the same on every file system.
  auto byName = [](const PackageFile& a, const PackageFile& b) { return a.name < b.name; };
  std::stable_sort(view.root.begin(), view.root.end(), byName);
  std::stable_sort(view.program.begin(), view.program.end(), byName);
  return view;
}

}  // namespace

const PackageFile* PackageView::FindRoot(const std::string& name) const {
  for (const PackageFile& file : root) {
    if (SameName(file.name, name)) return &file;
  }
  return nullptr;
}

const PackageFile* PackageView::FindProgram(const std::string& relative) const {
  for (const PackageFile& file : program) {
    if (!file.folder && SameName(file.name, relative)) return &file;
  }
  return nullptr;
}

void Diagnostics::Add(Severity severity, const std::string& file, std::uint32_t line, const char* code,
                      const std::string& message) {
  Diagnostic d;
  d.file = file;
  d.line = line;
  d.severity = severity;
  d.code = code;
  d.message = message;
  list_.push_back(std::move(d));
}

void Diagnostics::ErrorAsGiven(const std::string& file, const char* code, const std::string& message) {
  Add(Severity::Error, file, 0, code, message);
  list_.back().fileAsGiven = true;
}

bool ReadFileBytes(const fs::path& path, std::uint64_t limit, std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::vector<char> chunk(65536);
  while (in && bytes.size() < limit) {
    const std::uint64_t room = limit - bytes.size();
    in.read(chunk.data(), static_cast<std::streamsize>(std::min<std::uint64_t>(chunk.size(), room)));
    bytes.insert(bytes.end(), chunk.data(), chunk.data() + in.gcount());
  }
  return !in.bad();
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

std::string TrimmedValue(const IniLine& line) {
  const std::string& v = line.value;
  std::size_t first = 0, last = v.size();
  while (first < last && (v[first] == ' ' || v[first] == '\t')) ++first;
  while (last > first && (v[last - 1] == ' ' || v[last - 1] == '\t')) --last;
  return v.substr(first, last - first);
}

IniScan ScanIniFile(const std::vector<std::uint8_t>& bytes, const std::string& file, bool noteEncoding,
                    Diagnostics& out) {
  IniScan scan;
  const std::size_t size = bytes.size();
  scan.utf8 = size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF;
  const std::string text(bytes.begin() + (scan.utf8 ? 3 : 0), bytes.end());
  if (size >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF))) {
    out.Error(file, 1, "not-ini",
              "not an INI document: the file is UTF-16; the installer reads INI files as UTF-8 with the mark "
              "or in the system's code page (save it as UTF-8 with the mark)");
    return scan;
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 && c != '\t' && c != '\r' && c != '\n') {
      char hex[8];
      std::snprintf(hex, sizeof hex, "%02X", c);
      out.Error(file, LineAt(text, i), "not-ini",
                std::string("not an INI document: it holds the binary byte ") + hex + " hex");
      return scan;
    }
    if (c >= 0x80) scan.ascii = false;
  }
  const bool wellFormed = IsValidUtf8(text);
  if (scan.utf8 && !wellFormed) {
    out.Warning(file, FirstIllFormedLine(text), "encoding",
                "ill-formed UTF-8 after the UTF-8 mark: the installer reads the broken characters as U+FFFD");
  } else if (!scan.utf8 && !scan.ascii && wellFormed) {
    std::size_t at = 0;
    while (at < text.size() && static_cast<unsigned char>(text[at]) < 0x80) ++at;
    out.Warning(file, LineAt(text, at), "encoding",
                "UTF-8 text without the UTF-8 mark: the installer reads it in the system's code page, where its "
                "letters beyond ASCII show garbled; save the file as UTF-8 with the mark");
  }
  if (noteEncoding) {
    if (scan.utf8) {
      out.Note(file, 0, "encoding", "read as UTF-8 (the file begins with the mark)");
    } else if (scan.ascii) {
      out.Note(file, 0, "encoding", "read in the system's code page (no mark); plain ASCII reads alike in every page");
    } else if (!wellFormed) {
      out.Note(file, 0, "encoding",
               "read in the code page of the Windows that runs the installer (no mark): its letters beyond ASCII "
               "show right only where that page holds them; the UTF-8 mark makes it sure");
    }
  }
  scan.document = IniDocument::Parse(bytes.data(), bytes.size(), Windows1252());
  scan.lines = scan.document.Lines();
  const bool hasGroup = std::any_of(scan.lines.begin(), scan.lines.end(),
                                    [](const IniLine& l) { return l.kind == IniLine::Kind::Group; });
  if (!hasGroup) {
    out.Error(file, 0, "not-ini",
              text.empty() ? "not an INI document: the file is empty" : "not an INI document: it has no [group] line");
    return scan;
  }
  scan.usable = true;
  return scan;
}

std::vector<IniGroup> GroupsOf(const IniScan& scan, const std::string& file, Diagnostics& out) {
  std::vector<IniGroup> groups;
  std::size_t current = groups.size();  // none yet
  bool ignored = false;
  for (const IniLine& line : scan.lines) {
    if (line.kind == IniLine::Kind::Group) {
      const IniGroup* earlier = FindGroup(groups, line.value);
      if (earlier != nullptr) {
        out.Warning(file, line.number, "duplicate-group",
                    "[" + line.value + "] again: only the first [" + earlier->name + "] (line " +
                        std::to_string(earlier->line) + ") is read; the keys below this one never are");
        ignored = true;
        continue;
      }
      groups.push_back(IniGroup{line.value, line.number, {}});
      current = groups.size() - 1;
      ignored = false;
    } else if (line.kind == IniLine::Kind::Key) {
      if (groups.empty()) {
        out.Warning(file, line.number, "outside-group",
                    "key " + Quoted(line.key) + " stands before the first [group] and is never read");
        continue;
      }
      if (ignored) continue;
      IniGroup& group = groups[current];
      const IniLine* earlier = FindKey(&group, line.key);
      if (earlier != nullptr) {
        out.Warning(file, line.number, "duplicate-key",
                    Quoted(line.key) + " again in [" + group.name + "]: the first one (line " +
                        std::to_string(earlier->number) + ") counts");
        continue;
      }
      group.keys.push_back(&line);
    }
  }
  return groups;
}

const IniGroup* FindGroup(const std::vector<IniGroup>& groups, const std::string& name) {
  for (const IniGroup& group : groups) {
    if (EqualIgnoringAsciiCase(group.name, name)) return &group;
  }
  return nullptr;
}

const IniLine* FindKey(const IniGroup* group, const std::string& key) {
  if (group == nullptr) return nullptr;
  for (const IniLine* line : group->keys) {
    if (EqualIgnoringAsciiCase(line->key, key)) return line;
  }
  return nullptr;
}

std::string NearestSpelling(const std::string& word, const std::vector<std::string>& candidates) {
  // Short words allow one slip, longer ones two.
  const std::size_t allowed = word.size() >= 6 ? 2 : 1;
  std::string best;
  std::size_t bestDistance = allowed + 1;
  for (const std::string& candidate : candidates) {
    const std::size_t distance = EditDistance(word, candidate);
    if (distance < bestDistance) {
      best = candidate;
      bestDistance = distance;
    }
  }
  return best;
}

std::vector<Diagnostic> CheckPackageFolder(const CheckOptions& options) {
  Diagnostics out;
  std::error_code ec;
  if (!fs::is_directory(options.packageFolder, ec)) {
    out.Error("", 0, "no-folder", "not a package folder");
    return out.list();
  }
  const PackageView view = LookAtFolder(options, out);
  Diagnostics settings, files;
  CheckSettings(view, settings);
  CheckFiles(view, files);
  // setup.ini first, then file by file; each file's diagnostics in line order.
  std::vector<Diagnostic> all = settings.list();
  all.insert(all.end(), files.list().begin(), files.list().end());
  std::vector<Diagnostic> result = out.list();
  std::stable_sort(all.begin(), all.end(), [](const Diagnostic& a, const Diagnostic& b) {
    const bool aSetup = a.file == "setup.ini", bSetup = b.file == "setup.ini";
    if (aSetup != bSetup) return aSetup;
    if (a.file != b.file) return a.file < b.file;
    return a.line < b.line;
  });
  result.insert(result.end(), all.begin(), all.end());
  return result;
}

DiagnosticCounts CountDiagnostics(const std::vector<Diagnostic>& diagnostics) {
  DiagnosticCounts counts;
  for (const Diagnostic& d : diagnostics) {
    if (d.severity == Severity::Error) ++counts.errors;
    if (d.severity == Severity::Warning) ++counts.warnings;
    if (d.severity == Severity::Note) ++counts.notes;
  }
  return counts;
}

std::string DiagnosticText(const Diagnostic& d, const std::string& folderShown) {
  std::string text = ShownFile(d, folderShown);
  if (d.line != 0) text += ":" + std::to_string(d.line);
  return text + ": " + SeverityText(d.severity) + ": " + ValidUtf8(d.message);
}

std::string DiagnosticJson(const Diagnostic& d, const std::string& folderShown) {
  return "{\"file\":" + JsonString(ShownFile(d, folderShown)) +
         ",\"line\":" + (d.line != 0 ? std::to_string(d.line) : std::string("null")) + ",\"severity\":\"" +
         SeverityText(d.severity) + "\",\"code\":" + JsonString(d.code) + ",\"message\":" + JsonString(d.message) + "}";
}

std::string DiagnosticSummary(const DiagnosticCounts& counts, const std::string& folderShown) {
  std::string text = ShownFile(Diagnostic(), folderShown) + ": " + Counted(counts.errors, "error", "errors") + ", " +
                     Counted(counts.warnings, "warning", "warnings");
  if (counts.notes != 0) text += ", " + Counted(counts.notes, "note", "notes");
  return text;
}

std::string SetupKeysMarkdown() {
  auto cell = [](const std::string& text) { return ReplaceAll(text, "|", "\\|"); };
  auto kind = [](const SetupKey& key) -> std::string {
    switch (key.kind) {
      case SetupKind::Text: return "text";
      case SetupKind::Number:
        if (key.high == INT32_MAX) return "number, " + std::to_string(key.low) + " or more";
        return "number, " + std::to_string(key.low) + (key.high == key.low + 1 ? " or " : " to ") +
               std::to_string(key.high);
      case SetupKind::SmallNumber:
        return "number, " + std::to_string(key.low) + " to " + std::to_string(key.high) + " (kept in 8 bits)";
      case SetupKind::Flag: return "flag, 0 or 1 (kept in 8 bits)";
      case SetupKind::List: return "list";
      case SetupKind::Guid: return "GUID";
      case SetupKind::Path: return "path";
      case SetupKind::TaskLines: return "task lines";
    }
    return "";
  };
  auto reader = [](SetupReader r) {
    switch (r) {
      case SetupReader::Start: return "start-up";
      case SetupReader::Wizard: return "wizard";
      case SetupReader::Installation: return "installation";
      case SetupReader::Builder: return "builder";
    }
    return "";
  };
  std::string table = "| Group | Key | Kind | Default | Read at | Meaning |\n|---|---|---|---|---|---|\n";
  for (int i = 0; i < kSetupKeyCount; ++i) {
    const SetupKey& key = SetupKeyAt(static_cast<SetupKeyId>(i));
    std::string shown = key.defaultShown != nullptr ? key.defaultShown
                        : *key.defaultValue != '\0' ? std::string("`") + key.defaultValue + "`"
                                                    : std::string("empty");
    if (key.required) shown = "required";
    table += "| [" + std::string(key.group) + "] | `" + key.key + "` | " + kind(key) + " | " + cell(shown) + " | " +
             reader(key.reader) + " | " + cell(SetupKeyMeaning(static_cast<SetupKeyId>(i))) + " |\n";
  }
  return table;
}

}  // namespace brindorel::pack
