// A stand-in for a package's companion program, copied under the companion's
// name. It appends one line "<command line>|<current folder>" to
// "<trace folder>\<own file name>.trace", the trace folder coming from the
// environment variable BRINDOREL_TRACE_FOLDER (inherited from the test). What
// it does then comes from "<trace folder>\<own file name>.how": "sleep" waits
// a minute (to be ended by the installer), a number is the exit code; without
// that file it ends with 0.
#include <windows.h>

#include <cstdlib>

namespace {

bool ReadSmallFile(const char* path, char* text, DWORD capacity) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD got = 0;
  BOOL ok = ReadFile(file, text, capacity - 1, &got, nullptr);
  CloseHandle(file);
  text[ok ? got : 0] = '\0';
  return ok != 0;
}

void AppendLine(const char* path, const char* a, const char* b) {
  HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, a, lstrlenA(a), &written, nullptr);
  WriteFile(file, "|", 1, &written, nullptr);
  WriteFile(file, b, lstrlenA(b), &written, nullptr);
  WriteFile(file, "\r\n", 2, &written, nullptr);
  CloseHandle(file);
}

}  // namespace

int main() {
  char folder[MAX_PATH] = {};
  DWORD length = GetEnvironmentVariableA("BRINDOREL_TRACE_FOLDER", folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH - 80) return 3;
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  const char* name = self;
  for (const char* p = self; *p != '\0'; ++p) {
    if (*p == '\\' || *p == '/') name = p + 1;
  }
  char base[MAX_PATH] = {};
  lstrcpynA(base, folder, MAX_PATH);
  if (base[lstrlenA(base) - 1] != '\\') lstrcatA(base, "\\");
  if (lstrlenA(base) + lstrlenA(name) + 8 >= MAX_PATH) return 3;
  lstrcatA(base, name);

  char trace[MAX_PATH] = {};
  lstrcpyA(trace, base);
  lstrcatA(trace, ".trace");
  char directory[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, directory);
  AppendLine(trace, GetCommandLineA(), directory);

  char how[MAX_PATH] = {};
  lstrcpyA(how, base);
  lstrcatA(how, ".how");
  char text[64] = {};
  if (!ReadSmallFile(how, text, sizeof text)) return 0;
  if (text[0] == 's') {
    Sleep(60000);
    return 0;
  }
  return static_cast<int>(std::strtoul(text, nullptr, 10));
}
