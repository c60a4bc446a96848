// The package check's settings part: setup.ini key by key through the key
// table, the task lines of [UserTask], the language list and every language
// file it names.
#include <algorithm>
#include <map>
#include <set>

#include "install/install_scope.h"
#include "install/setup_keys.h"
#include "install/user_tasks.h"
#include "package/package_reader.h"
#include "services/folder_rules.h"
#include "services/folders.h"
#include "services/text.h"
#include "tools/pack/pack_check_parts.h"
#include "ui/interface_texts.h"

namespace brindorel::pack {
namespace {

const std::string kSetup = "setup.ini";
constexpr std::uint64_t kIniReadLimit = 64u * 1024u * 1024u;

// The folders of a freshly installed English Windows, for judging
// DefaultDir where the builder runs: folder id and path.
struct StandardFolder {
  std::int32_t id;
  const char* path;
};
const StandardFolder kStandardFolders[] = {
    {-2, "C:\\Windows\\System32\\"},
    {-3, "C:\\Windows\\"},
    {-4, "C:\\Users\\User\\AppData\\Local\\Temp\\"},
    {-5, "C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch\\"},
    {-6, "C:\\Program Files\\"},
    {0, "C:\\Users\\User\\Desktop\\"},
    {2, "C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\"},
    {5, "C:\\Users\\User\\Documents\\"},
    {7, "C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup\\"},
    {11, "C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\"},
    {16, "C:\\Users\\User\\Desktop\\"},
    {20, "C:\\Windows\\Fonts\\"},
    {22, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\"},
    {23, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\"},
    {24, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Startup\\"},
    {25, "C:\\Users\\Public\\Desktop\\"},
    {26, "C:\\Users\\User\\AppData\\Roaming\\"},
    {28, "C:\\Users\\User\\AppData\\Local\\"},
    {35, "C:\\ProgramData\\"},
    {36, "C:\\Windows\\"},
    {37, "C:\\Windows\\System32\\"},
    {38, "C:\\Program Files\\"},
    {40, "C:\\Users\\User\\"},
    {42, "C:\\Program Files (x86)\\"},
    {43, "C:\\Program Files\\Common Files\\"},
    {44, "C:\\Program Files (x86)\\Common Files\\"},
    {46, "C:\\Users\\Public\\Documents\\"},
};
const char kStandardWorkFolder[] = "C:\\Users\\User\\AppData\\Local\\Temp\\Brindorel\\";

std::string StandardFolderOf(std::int32_t id) {
  for (const StandardFolder& folder : kStandardFolders) {
    if (folder.id == id) return folder.path;
  }
  return "";  // the development environment's folder (-7) is not registered
}

const char* FolderProblemText(FolderProblem problem) {
  switch (problem) {
    case FolderProblem::NotAbsolute: return "not an absolute folder";
    case FolderProblem::BadCharacters: return "a path with characters or names Windows refuses";
    case FolderProblem::TooLong: return "longer than the 200 characters an installation folder may have";
    case FolderProblem::DriveRoot: return "a drive's root";
    case FolderProblem::ProtectedFolder: return "a system or user folder (or one that holds such a folder)";
    case FolderProblem::InsideWorkFolder: return "inside the installer's working folder";
    case FolderProblem::None: break;
  }
  return "";
}

std::string Where(const SetupKey& key) { return "[" + std::string(key.group) + "] " + key.key; }

// How a number's text reads: TextToNumber's value, and whether the text is
// exactly a number (blanks, a sign, digits) that fits in 32 bits.
struct NumberText {
  bool digits = false;
  bool whole = true;  // nothing follows the digits
  bool fits = true;
  std::int32_t value = 0;
};

NumberText ReadNumberText(const std::string& text) {
  NumberText n;
  n.value = TextToNumber(text);
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  const bool negative = i < text.size() && text[i] == '-';
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  std::int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    n.digits = true;
    if (magnitude <= INT64_C(0xFFFFFFFF)) magnitude = magnitude * 10 + (text[i] - '0');
  }
  n.fits = negative ? magnitude <= INT64_C(2147483648) : magnitude <= INT64_C(2147483647);
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  n.whole = i == text.size();
  return n;
}

// The checks of a key given as a number. Errors where the installer keeps
// something other than what is written; warnings for values outside the
// key's range that still read as written.
void CheckNumber(const SetupKey& key, const IniLine& line, const std::string& value, Diagnostics& out) {
  if (value.empty()) return;  // reads as 0
  const NumberText n = ReadNumberText(value);
  const std::string shown = Where(key) + "=" + value;
  if (!n.digits) {
    out.Error(kSetup, line.number, "not-a-number", shown + " is not a number: the installer reads 0");
    return;
  }
  if (!n.fits) {
    out.Error(kSetup, line.number, "out-of-range",
              shown + " does not fit in 32 bits: the installer reads " + NumberToText(n.value));
    return;
  }
  if (!n.whole) {
    out.Warning(kSetup, line.number, "not-a-number",
                shown + " reads as " + NumberToText(n.value) +
                    ": the text after the number is ignored (INI files have no comments after a value)");
  }
  const std::int32_t kept = StoredSetupNumber(key.kind, n.value);
  if (key.kind == SetupKind::Flag && (kept != 0) != (n.value != 0)) {
    out.Error(kSetup, line.number, "out-of-range",
              shown + " counts as not set: only the low 8 bits count (write 0 or 1)");
  } else if (key.kind == SetupKind::SmallNumber && kept != n.value) {
    out.Error(kSetup, line.number, "out-of-range",
              shown + " is kept in 8 bits as " + NumberToText(kept) + " (write " + NumberToText(key.low) + " to " +
                  NumberToText(key.high) + ")");
  } else if (n.value < key.low || n.value > key.high) {
    const std::string meaning = key.kind == SetupKind::Flag || key.high == 1
                                    ? " counts as 1 (write 0 or 1)"
                                    : " is outside " + NumberToText(key.low) + " to " + NumberToText(key.high);
    out.Warning(kSetup, line.number, "out-of-range", shown + meaning);
  }
}

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

bool IsGuid(const std::string& text) {
  static const char kPattern[] = "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
  if (text.size() != sizeof kPattern - 1) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (kPattern[i] == 'X' ? !IsHex(text[i]) : text[i] != kPattern[i]) return false;
  }
  return true;
}

bool Has(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

// The parts of a text between `separator`s, in one pass.
std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts(1);
  for (char c : text) {
    if (c == separator) {
      parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  return parts;
}

// A path relative to the installation folder: no drive, no root, no "..".
bool IsRelativeInside(const std::string& path) {
  if (path.empty() || path[0] == '\\' || path[0] == '/' || Has(path, ":")) return false;
  for (const std::string& level : Split(ReplaceAll(path, "/", "\\"), '\\')) {
    if (level == "..") return false;
  }
  return true;
}

// A file of the program named by a setting: found in program/ as Windows
// would find it, else an error saying where it is or is not.
void CheckProgramFile(const PackageView& view, const std::string& what, std::uint32_t line, const std::string& name,
                      Diagnostics& out) {
  if (!IsRelativeInside(name)) {
    out.Error(kSetup, line, "not-relative",
              what + " " + Quoted(name) + " must name a file relative to the installation folder");
    return;
  }
  if (view.FindProgram(name) != nullptr) return;
  std::string message = what + " names " + Quoted(name) + ", which is not in program/ (nor given with --add program/" +
                        ReplaceAll(name, "\\", "/") + "=FILE)";
  if (view.FindRoot(name) != nullptr) message += "; the file beside setup.ini is not installed";
  out.Error(kSetup, line, "missing-file", message);
}

// The "%name%" parts of a path that are not folder placeholders; and a "\"
// right after a placeholder, whose folder ends in one already.
void CheckPlaceholders(const std::string& what, std::uint32_t line, const std::string& path, Diagnostics& out) {
  if (CountOccurrences(path, "%") < 2) return;
  std::vector<std::string> names;
  for (const FolderPlaceholder& p : kFolderPlaceholders) names.push_back(p.name);
  const std::vector<std::string> parts = Split(path, '%');
  // The text between the first and second "%", the third and fourth, ...
  for (std::size_t i = 1; i + 1 < parts.size(); i += 2) {
    const std::string& inner = parts[i];
    if (inner.empty() || Has(inner, "\\") || Has(inner, "/")) continue;
    const std::string candidate = "%" + inner + "%";
    if (std::find(names.begin(), names.end(), candidate) != names.end()) continue;
    const std::string nearest = NearestSpelling(candidate, names);
    out.Warning(kSetup, line, "unknown-placeholder",
                what + ": " + Quoted(candidate) + " is not a folder placeholder" +
                    (nearest.empty() ? "" : " (did you mean " + Quoted(nearest) + "? the names are case-sensitive)") +
                    "; it stays in the path as text");
  }
  for (const std::string& name : names) {
    for (const char* separator : {"\\", "/"}) {
      if (Has(path, (name + separator).c_str())) {
        out.Warning(kSetup, line, "doubled-separator",
                    what + ": " + Quoted(name) + " stands for a folder that ends in '\\'; " + Quoted(name + separator) +
                        " gives a doubled separator (write " + Quoted(name + "Folder") + ")");
        return;
      }
    }
  }
}

struct Setup {
  std::vector<IniGroup> groups;

  const IniLine* Line(SetupKeyId id) const {
    const SetupKey& key = SetupKeyAt(id);
    return FindKey(FindGroup(groups, key.group), key.key);
  }
  std::string Value(SetupKeyId id) const {
    const IniLine* line = Line(id);
    return line != nullptr ? TrimmedValue(*line) : SetupKeyAt(id).defaultValue;
  }
  std::uint32_t LineOf(SetupKeyId id) const {
    const IniLine* line = Line(id);
    return line != nullptr ? line->number : 0;
  }
  std::int32_t Number(SetupKeyId id) const { return StoredSetupNumber(SetupKeyAt(id).kind, TextToNumber(Value(id))); }
};

void CheckGroupsAndKeys(const Setup& setup, Diagnostics& out) {
  std::vector<std::string> groupNames;
  for (int i = 0; i < kSetupKeyCount; ++i) {
    const std::string group = SetupKeyAt(static_cast<SetupKeyId>(i)).group;
    if (std::find(groupNames.begin(), groupNames.end(), group) == groupNames.end()) groupNames.push_back(group);
  }
  for (const IniGroup& group : setup.groups) {
    if (!IsSetupGroup(group.name)) {
      const std::string nearest = NearestSpelling(group.name, groupNames);
      out.Warning(kSetup, group.line, "unknown-group",
                  "unknown group [" + group.name + "]" + (nearest.empty() ? "" : " (did you mean [" + nearest + "]?)") +
                      ": its keys are never read");
      continue;
    }
    std::vector<std::string> keyNames;
    for (int i = 0; i < kSetupKeyCount; ++i) {
      const SetupKey& key = SetupKeyAt(static_cast<SetupKeyId>(i));
      if (EqualIgnoringAsciiCase(key.group, group.name) && key.kind != SetupKind::TaskLines)
        keyNames.push_back(key.key);
    }
    for (const IniLine* line : group.keys) {
      if (FindSetupKey(group.name, line->key) != nullptr) continue;
      std::string hint;
      const std::string firstWord = TextField(line->key, 1, " ");
      if (EqualIgnoringAsciiCase(group.name, "UserTask") && line->key.size() > 4 &&
          EqualIgnoringAsciiCase(line->key.substr(0, 4), "Task") && line->key[4] == '0') {
        hint = " (task keys have no leading zero: Task" + NumberToText(TextToNumber(line->key.substr(4))) + ")";
      } else if (firstWord != line->key && FindSetupKey(group.name, firstWord) != nullptr) {
        hint = " (is the '=' after " + Quoted(firstWord) + " missing?)";
      } else {
        const std::string nearest = NearestSpelling(line->key, keyNames);
        if (!nearest.empty()) {
          hint = " (did you mean " + Quoted(nearest) + "?)";
        } else {
          for (const std::string& other : groupNames) {
            const SetupKey* elsewhere = FindSetupKey(other, line->key);
            if (elsewhere != nullptr) hint = " (it belongs in [" + other + "])";
          }
        }
      }
      out.Warning(kSetup, line->number, "unknown-key",
                  "unknown key " + Quoted(line->key) + " in [" + group.name + "]" + hint);
    }
  }
}

// Each key of the table by its kind: required keys, numbers, flags, GUID.
void CheckValues(const Setup& setup, Diagnostics& out) {
  for (int i = 0; i < kSetupKeyCount; ++i) {
    const auto id = static_cast<SetupKeyId>(i);
    const SetupKey& key = SetupKeyAt(id);
    if (key.kind == SetupKind::TaskLines) continue;
    const IniLine* line = setup.Line(id);
    const std::string value = line != nullptr ? TrimmedValue(*line) : std::string();
    if (key.required && line == nullptr) {
      out.Error(kSetup, 0, "missing-key",
                Where(key) + " is missing" +
                    (id == SetupKeyId::Titel
                         ? ": the wizard would call the program '" + std::string(kDefaultProgramTitle) + "'"
                         : ": nothing to start, no target for the shortcuts, no running check"));
      continue;
    }
    if (line == nullptr) continue;
    if (key.required && value.empty()) {
      out.Error(kSetup, line->number, "missing-key", Where(key) + " is empty");
      continue;
    }
    switch (key.kind) {
      case SetupKind::Number:
      case SetupKind::SmallNumber:
      case SetupKind::Flag: CheckNumber(key, *line, value, out); break;
      case SetupKind::Guid:
        if (!value.empty() && !IsGuid(value)) {
          out.Error(kSetup, line->number, "bad-guid",
                    Where(key) + " " + Quoted(value) +
                        " is not a GUID: write {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX} "
                        "with hexadecimal digits");
        }
        break;
      default: break;
    }
    if (id == SetupKeyId::InstallScope && !value.empty() &&
        !EqualIgnoringAsciiCase(PackageScopeName(ParsePackageScope(value)), TrimSpaces(value))) {
      out.Warning(kSetup, line->number, "bad-scope",
                  Where(key) + " " + Quoted(value) +
                      " is not machine, user or choose: the installer installs for the machine");
    }
  }
  if (setup.Value(SetupKeyId::Guid).empty()) {
    out.Warning(kSetup, setup.LineOf(SetupKeyId::Guid), "no-guid",
                "[Info] GUID is empty or missing: the user's choices are not kept for the next installation");
  }
}

void CheckFolders(const Setup& setup, Diagnostics& out) {
  const std::string dir = setup.Value(SetupKeyId::DefaultDir);
  const std::uint32_t line = setup.LineOf(SetupKeyId::DefaultDir);
  CheckPlaceholders("DefaultDir", line, dir, out);
  const FolderLookup lookup = StandardFolderOf;
  const std::string resolved = ExpandFolderPlaceholders(dir, lookup);
  const FolderProblem problem = CheckInstallFolder(resolved, LookUpProtectedFolders(lookup, kStandardWorkFolder));
  if (problem != FolderProblem::None) {
    std::string subject =
        line == 0 ? "[Settings] DefaultDir is missing and gives " : "DefaultDir " + Quoted(dir) + " resolves to ";
    std::string message = subject + resolved + ", " + FolderProblemText(problem) + ": the installer refuses it";
    if (!dir.empty() && CountOccurrences(dir, "%") < 2)
      message += " (a path without a placeholder is placed below Program Files)";
    out.Error(kSetup, line, "bad-install-folder", message);
  }
  const bool startMenu = setup.Number(SetupKeyId::StartMenu) != 0;
  const std::string menu = setup.Value(SetupKeyId::MenuDefaultDir);
  if (startMenu && menu.empty()) {
    out.Warning(
        kSetup, setup.LineOf(SetupKeyId::MenuDefaultDir), "no-menu-folder",
        "[StartMenue] DefaultDir is empty: the start-menu folder field starts empty and the user must name one");
  } else if (startMenu && !IsSafeMenuFolderName(menu)) {
    out.Error(kSetup, setup.LineOf(SetupKeyId::MenuDefaultDir), "bad-menu-folder",
              "[StartMenue] DefaultDir " + Quoted(menu) +
                  " is not a folder name below the start menu (relative, no '..', characters Windows allows)");
  }
}

void CheckNamedFiles(const PackageView& view, const Setup& setup, Diagnostics& out) {
  const std::string progExe = setup.Value(SetupKeyId::ProgExe);
  if (!progExe.empty()) {
    CheckProgramFile(view, "ProgExe", setup.LineOf(SetupKeyId::ProgExe), progExe, out);
    const std::string extension = PathExtension(progExe);
    if (extension != "exe" && EqualIgnoringAsciiCase(extension, "exe")) {
      out.Warning(
          kSetup, setup.LineOf(SetupKeyId::ProgExe), "exe-case",
          "ProgExe " + Quoted(progExe) +
              ": the box that starts the program at the end is offered only for the extension 'exe' in lower case");
    }
  }
  const bool startMenu = setup.Number(SetupKeyId::StartMenu) != 0;
  for (SetupKeyId id : {SetupKeyId::Help, SetupKeyId::Exe, SetupKeyId::Url, SetupKeyId::Unistall}) {
    const SetupKey& key = SetupKeyAt(id);
    const std::string value = setup.Value(id);
    const bool given = key.kind == SetupKind::Flag ? setup.Number(id) != 0 : !value.empty();
    if (!given) continue;
    if (!startMenu) {
      out.Warning(kSetup, setup.LineOf(id), "not-read",
                  Where(key) + " is not read: [Task] StartMenu is not set, so no start-menu shortcuts are made");
    } else if (key.kind == SetupKind::Path) {
      CheckProgramFile(view, key.key, setup.LineOf(id), value, out);
    }
  }
  const IniLine* progLink = setup.Line(SetupKeyId::ProgLink);
  if (progLink != nullptr && TrimmedValue(*progLink).empty()) {
    out.Warning(kSetup, progLink->number, "no-uninstall-entry",
                "[StartMenue] ProgLink is empty: no uninstall entry is written, so Windows does not list the program "
                "for removal");
  }
}

// NoCopyExt: every extension closed by "|", written as the files' own
// extensions are (compared exactly).
void CheckNoCopyList(const PackageView& view, const Setup& setup, Diagnostics& out) {
  const std::string list = setup.Value(SetupKeyId::NoCopyExt);
  const std::uint32_t line = setup.LineOf(SetupKeyId::NoCopyExt);
  if (list.empty()) return;
  if (list.back() != '|') {
    const std::int32_t bars = CountOccurrences(list, "|");
    const std::string last = TextField(list, bars + 1, "|");
    out.Warning(kSetup, line, "list-not-closed",
                "NoCopyExt " + Quoted(list) + " does not end in '|': " +
                    (bars == 0 ? "it is read as the one extension " + Quoted(last)
                               : Quoted(last) + " after the last '|' is not counted") +
                    "; close every extension with '|'");
  }
  std::set<std::string> extensions;
  for (const PackageFile& file : view.program) {
    if (!file.folder) extensions.insert(EntryExtension(file.name));
  }
  for (const std::string& extension : NoCopyExtensions(list)) {
    if (extension.empty()) {
      out.Warning(kSetup, line, "empty-extension",
                  "NoCopyExt holds an empty extension: it matches every file without one");
    } else if (extension[0] == '.') {
      out.Warning(
          kSetup, line, "extension-dot",
          "NoCopyExt " + Quoted(extension) + ": extensions are written without the dot; this one matches no file");
    } else if (extensions.count(extension) == 0) {
      for (const std::string& present : extensions) {
        if (EqualIgnoringAsciiCase(present, extension)) {
          out.Warning(kSetup, line, "extension-case",
                      "NoCopyExt " + Quoted(extension) +
                          " matches no file: extensions are compared exactly, and the "
                          "program's files end in " +
                          Quoted(present));
          break;
        }
      }
    }
  }
}

// The [UserTask] lines as the installer runs them.
void CheckTasks(const PackageView& view, const Setup& setup, Diagnostics& out) {
  const IniGroup* group = FindGroup(setup.groups, "UserTask");
  if (group == nullptr) return;
  const std::int32_t number = setup.Number(SetupKeyId::TaskNumber);
  const std::uint32_t numberLine = setup.LineOf(SetupKeyId::TaskNumber);
  std::map<std::int32_t, const IniLine*> tasks;
  for (const IniLine* line : group->keys) {
    const SetupKey* key = FindSetupKey("UserTask", line->key);
    if (key != nullptr && key->kind == SetupKind::TaskLines) tasks[TextToNumber(line->key.substr(4))] = line;
  }
  std::vector<std::string> missing;
  std::int32_t missingCount = 0;
  std::int32_t present = 0;
  for (const auto& [n, line] : tasks) {
    if (n > number) {
      out.Warning(kSetup, line->number, "task-past-number",
                  Quoted(line->key) + " is past [UserTask] Number=" + NumberToText(number) + " and never runs");
    } else {
      ++present;
    }
  }
  if (number > 0 && present < number) {
    missingCount = number - present;
    for (std::int32_t n = 1; n <= number && missing.size() < 5; ++n) {
      if (tasks.count(n) == 0) missing.push_back("Task" + NumberToText(n));
    }
    std::string names;
    for (const std::string& name : missing) names += (names.empty() ? "" : ", ") + name;
    if (missingCount > static_cast<std::int32_t>(missing.size())) names += ", ...";
    out.Warning(kSetup, numberLine, "task-missing",
                "[UserTask] Number=" + NumberToText(number) + " but " + NumberToText(missingCount) +
                    (missingCount == 1 ? " task key is" : " task keys are") + " missing (" + names +
                    "): the installer runs the tasks that are there");
  }
  const bool startMenu = setup.Number(SetupKeyId::StartMenu) != 0;
  UserTaskFolders folders;
  folders.installFolder = "C:\\Program Files\\Package\\";
  folders.workFolder = kStandardWorkFolder;
  folders.desktopFolder = StandardFolderOf(0);
  folders.menuFolder = StandardFolderOf(2) + "Package\\";
  folders.startupFolder = StandardFolderOf(7);
  folders.systemFolder = StandardFolderOf(-2);
  for (const auto& [n, line] : tasks) {
    if (n > number) continue;
    const std::string text = TrimmedValue(*line);
    const std::string where = Quoted(line->key);
    const std::uint32_t at = line->number;
    if (text.empty()) {
      out.Warning(kSetup, at, "empty-task", where + " is empty and skipped");
      continue;
    }
    const std::string typeText = TextField(text, 1, "|");
    const NumberText type = ReadNumberText(typeText);
    const std::int32_t fields = CountOccurrences(text, "|") + 1;
    auto field = [&](std::int32_t i) { return TextField(text, i, "|"); };
    const std::size_t errorsBefore = out.list().size();
    auto errorsAdded = [&] {
      for (std::size_t i = errorsBefore; i < out.list().size(); ++i)
        if (out.list()[i].severity == Severity::Error) return true;
      return false;
    };
    if (!type.digits || !type.whole) {
      out.Error(kSetup, at, "task-type",
                where + ": the type " + Quoted(typeText) + " is not a number; the installer reads " +
                    NumberToText(type.value) + (type.value == 0 ? " (a desktop shortcut)" : ""));
      continue;
    }
    if (type.value < 0 || type.value > 6) {
      out.Error(kSetup, at, "task-type",
                where + ": type " + NumberToText(type.value) + " does nothing (types are 0 to 6)");
      continue;
    }
    // Fields each type takes, the type included: fewer leave a field empty,
    // more are ignored.
    static const std::int32_t kLeast[] = {3, 3, 3, 3, 3, 3, 4};
    static const std::int32_t kMost[] = {4, 4, 3, 3, 4, 4, 5};
    const auto t = static_cast<std::size_t>(type.value);
    if (fields < kLeast[t]) {
      out.Error(kSetup, at, "task-fields",
                where + ": type " + NumberToText(type.value) + " takes " + NumberToText(kLeast[t]) + " to " +
                    NumberToText(kMost[t]) + " fields, this line has " + NumberToText(fields));
      continue;
    }
    if (fields > kMost[t]) {
      out.Warning(kSetup, at, "task-fields",
                  where + ": type " + NumberToText(type.value) + " takes at most " + NumberToText(kMost[t]) +
                      " fields; " +
                      (type.value == 6 ? "a value cannot hold '|', the text after it is lost"
                                       : "the rest of the line is ignored"));
    }
    if (type.value <= 4) {
      const std::string name = field(2);
      if (name.empty()) {
        out.Error(kSetup, at, "task-link", where + ": the shortcut has no name; the task does nothing");
      } else {
        const std::string file = WithLinkSuffix(name);
        const std::size_t length = name.size();
        if (length >= 4 && name.compare(length - 4, 4, ".lnk") != 0 &&
            EqualIgnoringAsciiCase(name.substr(length - 4), ".lnk")) {
          out.Warning(kSetup, at, "link-suffix",
                      where + ": the shortcut " + Quoted(name) + " becomes " + Quoted(file) +
                          " (only '.lnk' in lower case is taken as the suffix)");
        }
        if (WindowsNameProblem(file) != NameProblem::None) {
          out.Error(kSetup, at, "task-link", where + ": Windows cannot name a shortcut " + Quoted(file));
        }
      }
      if ((type.value == 1 || type.value == 3) && !startMenu) {
        out.Warning(kSetup, at, "task-no-menu",
                    where + " is skipped: it goes into the start-menu folder, and [Task] StartMenu is not set");
      }
      if (type.value == 2 || type.value == 3) {
        if (field(3).empty()) out.Error(kSetup, at, "task-link", where + ": the web shortcut has no address");
      } else {
        if (field(3).empty()) {
          out.Error(kSetup, at, "task-link", where + ": the shortcut has no target");
        } else {
          CheckProgramFile(view, where + "'s target", at, field(3), out);
        }
        if (fields >= 4 && !field(4).empty() && !ReadNumberText(field(4)).whole) {
          out.Warning(
              kSetup, at, "not-a-number",
              where + ": the icon index " + Quoted(field(4)) + " reads as " + NumberToText(TextToNumber(field(4))));
        }
      }
    } else if (type.value == 5) {
      const std::string name = field(2), source = field(3);
      if (name.empty() || source.empty()) {
        out.Error(kSetup, at, "task-copy", where + ": a copy needs a file name and a source; the task does nothing");
      } else {
        if (view.FindRoot(source) == nullptr) {
          std::string message = where + " copies " + Quoted(source) +
                                ", which is not beside setup.ini (copy sources travel in the installer's own package)";
          if (view.FindProgram(source) != nullptr) message += "; the file in program/ is not where the task looks";
          out.Error(kSetup, at, "missing-file", message);
        }
        if (WindowsNameProblem(name) != NameProblem::None) {
          out.Error(kSetup, at, "task-copy", where + ": Windows cannot name a file " + Quoted(name));
        }
      }
      CheckPlaceholders(where, at, field(4), out);
    } else {
      const std::uint32_t root = static_cast<std::uint32_t>(TextToNumber(field(2)));
      if (root < kFirstPredefinedRoot || root > kLastPredefinedRoot) {
        out.Error(kSetup, at, "task-registry",
                  where + ": " + Quoted(field(2)) +
                      " is not a predefined registry root (2147483649 is HKEY_CURRENT_USER, 2147483650 "
                      "HKEY_LOCAL_MACHINE); the task does nothing");
      } else if (field(3).empty()) {
        out.Warning(kSetup, at, "task-registry",
                    where + ": no key path: the value is written into the root key itself");
      }
    }
    // The installer's own planning has the last word.
    UserTaskAction action;
    if (!errorsAdded() && !PlanUserTask(text, folders, StandardFolderOf, action)) {
      out.Error(kSetup, at, "task-nothing", where + ": the installer would skip this task");
    }
  }
}

// The language list and the files it names; every language file at the
// root that the list leaves out.
std::vector<const PackageFile*> CheckLanguageList(const PackageView& view, const Setup& setup, Diagnostics& out) {
  std::vector<const PackageFile*> files;
  const std::string list = setup.Value(SetupKeyId::Language);
  const std::uint32_t line = setup.LineOf(SetupKeyId::Language);
  const std::int32_t count = LanguageEntryCount(list);
  if (!list.empty() && list.back() != '|') {
    const std::string last = TextField(list, count + 1, "|");
    out.Warning(kSetup, line, "list-not-closed",
                "Language does not end in '|': " +
                    (count == 0 ? Quoted(last) + " is read as the one language file"
                                : Quoted(last) + " after the last '|' is not an entry" +
                                      (count < 2 ? std::string("; with one entry no language is chosen by the user's "
                                                               "Windows language")
                                                 : std::string())) +
                    "; close every entry with '|'");
  }
  std::vector<std::string> names;
  if (count < 2) {
    if (!list.empty()) names.push_back(SingleLanguageFile(list));
  } else {
    std::map<std::int32_t, std::string> numbers;
    const std::vector<std::string> entries = Split(list, '|');
    for (std::int32_t i = 0; i < count; ++i) {
      const std::string& entry = entries[static_cast<std::size_t>(i)];
      const std::string file = TextField(entry, 1, "#");  // as LanguageEntryFile reads it
      names.push_back(file);
      const std::string numberText = TextField(entry, 2, "#");
      const NumberText number = ReadNumberText(numberText);
      if (CountOccurrences(entry, "#") == 0 || !number.digits) {
        out.Warning(
            kSetup, line, "language-number",
            "Language entry " + Quoted(entry) + " has no '#' and language number: no Windows language chooses it");
      } else if (number.value <= 0 || number.value > 0x1FF) {
        out.Warning(kSetup, line, "language-number",
                    "Language entry " + Quoted(entry) + ": " + numberText +
                        " is no primary language number (1 to 511): no Windows language chooses it");
      } else if (numbers.count(number.value) != 0) {
        out.Warning(kSetup, line, "language-number",
                    "Language entries " + Quoted(numbers[number.value]) + " and " + Quoted(file) +
                        " share the number " + NumberToText(number.value) + ": the later one wins");
      }
      if (number.digits) numbers[number.value] = file;
    }
  }
  for (const std::string& name : names) {
    if (name.empty()) {
      out.Warning(kSetup, line, "missing-language",
                  "Language has an entry without a file name: the English texts will show");
      continue;
    }
    const PackageFile* file = view.FindRoot(name);
    if (file == nullptr) {
      out.Warning(kSetup, line, "missing-language",
                  "Language names " + Quoted(name) +
                      ", which the package does not hold beside setup.ini: the English "
                      "texts will show" +
                      (view.FindProgram(name) != nullptr ? " (the one in program/ is installed, not read)" : ""));
    } else if (std::find(files.begin(), files.end(), file) == files.end()) {
      files.push_back(file);
    }
  }
  for (const PackageFile& file : view.root) {
    if (EqualIgnoringAsciiCase(PathExtension(file.name), "lng") &&
        std::find(files.begin(), files.end(), &file) == files.end()) {
      out.Warning(file.shown, 0, "unused-language",
                  "not named in [Settings] Language of setup.ini: the installer never loads it");
    }
  }
  return files;
}

// The 53 texts every language file gives; the others have later defaults
// of their own (the damaged-installer message, a failed step's mark, the
// refused folder, the two scope options) and are not counted missing.
bool IsLaterText(TextId id) {
  return id == TextId::InstallFailed || id == TextId::InstallDamaged || id == TextId::Page03BadFolder ||
         id == TextId::Page03AllUsers || id == TextId::Page03OnlyMe;
}

void CheckLanguageFile(const PackageFile& file, Diagnostics& out) {
  std::vector<std::uint8_t> bytes;
  if (!ReadFileBytes(file.source, kIniReadLimit, bytes)) {
    out.Error(file.shown, 0, "unreadable", "cannot be read");
    return;
  }
  const IniScan scan = ScanIniFile(bytes, file.shown, true, out);
  if (!scan.usable) return;
  const std::vector<IniGroup> groups = GroupsOf(scan, file.shown, out);
  std::vector<std::string> groupNames;
  for (int i = 0; i < kInterfaceTextCount; ++i) {
    const std::string group = InterfaceTextAt(static_cast<TextId>(i)).group;
    if (std::find(groupNames.begin(), groupNames.end(), group) == groupNames.end()) groupNames.push_back(group);
  }
  for (const IniGroup& group : groups) {
    if (std::none_of(groupNames.begin(), groupNames.end(),
                     [&](const std::string& g) { return EqualIgnoringAsciiCase(g, group.name); })) {
      const std::string nearest = NearestSpelling(group.name, groupNames);
      out.Warning(file.shown, group.line, "unknown-group",
                  "unknown group [" + group.name + "]" + (nearest.empty() ? "" : " (did you mean [" + nearest + "]?)") +
                      ": the installer reads no text from it");
      continue;
    }
    std::vector<std::string> keyNames;
    for (int i = 0; i < kInterfaceTextCount; ++i) {
      const InterfaceTextEntry& entry = InterfaceTextAt(static_cast<TextId>(i));
      if (EqualIgnoringAsciiCase(entry.group, group.name)) keyNames.push_back(entry.key);
    }
    for (const IniLine* line : group.keys) {
      const bool known = std::any_of(keyNames.begin(), keyNames.end(),
                                     [&](const std::string& k) { return EqualIgnoringAsciiCase(k, line->key); });
      if (known) {
        if (TrimmedValue(*line).empty()) {
          out.Warning(file.shown, line->number, "empty-text",
                      "[" + group.name + "] " + line->key + " is empty: the wizard shows nothing there");
        }
        continue;
      }
      const std::string nearest = NearestSpelling(line->key, keyNames);
      out.Warning(file.shown, line->number, "unknown-key",
                  "unknown key " + Quoted(line->key) + " in [" + group.name + "]" +
                      (nearest.empty() ? "" : " (did you mean " + Quoted(nearest) + "?)"));
    }
  }
  std::string missing;
  int missingCount = 0;
  for (int i = 0; i < kInterfaceTextCount; ++i) {
    const auto id = static_cast<TextId>(i);
    const InterfaceTextEntry& entry = InterfaceTextAt(id);
    if (IsLaterText(id) || FindKey(FindGroup(groups, entry.group), entry.key) != nullptr) continue;
    ++missingCount;
    missing += (missing.empty() ? "" : ", ") + std::string(entry.group) + "/" + entry.key;
  }
  if (missingCount != 0) {
    out.Warning(
        file.shown, 0, "missing-texts",
        NumberToText(missingCount) + " of the 53 texts are missing, the English defaults will show: " + missing);
  }
}

}  // namespace

void CheckSettings(const PackageView& view, Diagnostics& out) {
  // The builder opens "setup.ini" by that name, as the file system finds it.
  const std::filesystem::path setupPath = view.folder / kSetup;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(setupPath, ec)) {
    const PackageFile* other = view.FindRoot(kSetup);
    out.Error(kSetup, 0, "missing-setup",
              other != nullptr
                  ? "missing: the builder takes the settings from 'setup.ini' spelt so, not " + Quoted(other->name)
                  : std::string("missing: every package needs its settings file"));
    return;
  }
  std::vector<std::uint8_t> bytes;
  if (!ReadFileBytes(setupPath, kIniReadLimit, bytes)) {
    out.Error(kSetup, 0, "unreadable", "cannot be read");
    return;
  }
  const IniScan scan = ScanIniFile(bytes, kSetup, false, out);
  if (!scan.usable) return;
  Setup setup;
  setup.groups = GroupsOf(scan, kSetup, out);
  CheckGroupsAndKeys(setup, out);
  CheckValues(setup, out);
  CheckFolders(setup, out);
  CheckNamedFiles(view, setup, out);
  CheckNoCopyList(view, setup, out);
  CheckTasks(view, setup, out);
  for (const PackageFile* file : CheckLanguageList(view, setup, out)) CheckLanguageFile(*file, out);
}

}  // namespace brindorel::pack
