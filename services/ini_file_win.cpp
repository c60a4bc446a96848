#include "services/ini_file.h"

#include <windows.h>

#include <string>
#include <vector>

#include "services/ini_document.h"
#include "services/wide_win.h"

namespace brindorel {

namespace {

// The one open document and where it goes back to.
struct IniFileState {
  bool open = false;           // a document is loaded (from a file or a kept path)
  HANDLE file = INVALID_HANDLE_VALUE;
  std::string keptPath;       // only when the file could not be opened
  bool writeBack = true;      // false when the file's contents could not be read
  IniDocument document;
};

IniFileState& State() {
  static IniFileState state;
  return state;
}

HANDLE OpenExisting(const std::string& path, DWORD access) {
  return CreateFileW(WidePath(path).c_str(), access, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Reads the whole file from offset 0. False when it cannot be read or is
// larger than the limit; a file that shrank meanwhile gives what was read.
bool ReadWhole(HANDLE file, std::vector<std::uint8_t>& bytes) {
  DWORD high = 0;
  const DWORD size = GetFileSize(file, &high);
  if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return false;
  if (high != 0 || size > kIniFileSizeLimit) return false;
  bytes.resize(size);
  DWORD total = 0;
  while (total < size) {
    DWORD got = 0;
    if (!ReadFile(file, bytes.data() + total, size - total, &got, nullptr)) return false;
    if (got == 0) break;
    total += got;
  }
  bytes.resize(total);
  return true;
}

void WriteDocument(IniFileState& s) {
  if (s.file == INVALID_HANDLE_VALUE && !s.keptPath.empty()) {
    s.file = CreateFileW(WidePath(s.keptPath).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  if (s.file == INVALID_HANDLE_VALUE) return;
  const std::string text = s.document.Serialize();
  if (SetFilePointer(s.file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return;
  DWORD written = 0;
  // On a handle opened for reading only the write fails and the file is left
  // as it was; it is cut only after the whole text went in.
  if (!WriteFile(s.file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) return;
  if (written != text.size()) return;
  SetEndOfFile(s.file);
}

}  // namespace

int OpenIniFile(const std::string& path) {
  CloseIniFile();
  IniFileState& s = State();
  s.open = true;
  // A document made from nothing is written in the system's code page too.
  s.document = IniDocument::Parse(nullptr, 0, SystemCodePage());
  s.file = OpenExisting(path, GENERIC_READ | GENERIC_WRITE);
  if (s.file == INVALID_HANDLE_VALUE) s.file = OpenExisting(path, GENERIC_READ);
  if (s.file == INVALID_HANDLE_VALUE) {
    s.keptPath = path;
    return 0;
  }
  std::vector<std::uint8_t> bytes;
  if (!ReadWhole(s.file, bytes)) {
    // Rewriting a file whose contents are unknown would destroy them.
    s.writeBack = false;
    return 0;
  }
  // A file without the UTF-8 mark is in the system's code page.
  s.document = IniDocument::Parse(bytes.data(), bytes.size(), SystemCodePage());
  return 1;
}

int SelectIniGroup(const std::string& name) {
  IniFileState& s = State();
  return s.open ? s.document.SelectGroup(name) : 0;
}

std::string ReadIniString(const std::string& key, const std::string& fallback) {
  IniFileState& s = State();
  return s.open ? s.document.ReadString(key, fallback) : fallback;
}

std::int32_t ReadIniNumber(const std::string& key, std::int32_t fallback) {
  IniFileState& s = State();
  return s.open ? s.document.ReadNumber(key, fallback) : fallback;
}

void WriteIniString(const std::string& key, const std::string& value) {
  IniFileState& s = State();
  if (s.open) s.document.WriteString(key, value);
}

void WriteIniNumber(const std::string& key, std::int32_t value) {
  IniFileState& s = State();
  if (s.open) s.document.WriteNumber(key, value);
}

void CloseIniFile() {
  IniFileState& s = State();
  if (s.open && s.writeBack && s.document.modified()) WriteDocument(s);
  if (s.file != INVALID_HANDLE_VALUE) CloseHandle(s.file);
  s.file = INVALID_HANDLE_VALUE;
  s.open = false;
  s.keptPath.clear();
  s.writeBack = true;
  s.document = IniDocument();
}

IniDocument& CurrentIniDocument() { return State().document; }

}  // namespace brindorel
