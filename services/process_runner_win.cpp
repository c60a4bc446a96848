#include "services/process_runner.h"

#include <windows.h>
#include <shellapi.h>

#include <map>
#include <vector>

#include "services/wide_win.h"

namespace brindorel {

namespace {

struct StartedProgram {
  HANDLE process = nullptr;
  std::int32_t processId = 0;
  HANDLE input = nullptr;   // our writing end of its standard input
  HANDLE output = nullptr;  // our reading end of its standard output
  HANDLE error = nullptr;   // our reading end of its standard error
};

// The process-wide list of kept programs, guarded by one critical section.
class ProgramList {
 public:
  ProgramList() { InitializeCriticalSection(&lock_); }
  ~ProgramList() { DeleteCriticalSection(&lock_); }
  ProgramList(const ProgramList&) = delete;
  ProgramList& operator=(const ProgramList&) = delete;

  ProgramHandle Add(const StartedProgram& program) {
    Locked hold(lock_);
    // Values 0 and 1 are the "nothing started" and "started, not kept" results.
    do {
      ++last_;
    } while (last_ < 2 || programs_.count(last_) != 0);
    programs_[last_] = program;
    return last_;
  }

  bool Find(ProgramHandle handle, StartedProgram* program) {
    Locked hold(lock_);
    auto found = programs_.find(handle);
    if (found == programs_.end()) return false;
    *program = found->second;
    return true;
  }

  bool Remove(ProgramHandle handle, StartedProgram* program) {
    Locked hold(lock_);
    auto found = programs_.find(handle);
    if (found == programs_.end()) return false;
    *program = found->second;
    programs_.erase(found);
    return true;
  }

 private:
  class Locked {
   public:
    explicit Locked(CRITICAL_SECTION& lock) : lock_(lock) { EnterCriticalSection(&lock_); }
    ~Locked() { LeaveCriticalSection(&lock_); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

   private:
    CRITICAL_SECTION& lock_;
  };

  CRITICAL_SECTION lock_;
  std::map<ProgramHandle, StartedProgram> programs_;
  ProgramHandle last_ = 1;
};

ProgramList& Programs() {
  static ProgramList list;
  return list;
}

void CloseIfOpen(HANDLE& handle) {
  if (handle != nullptr) CloseHandle(handle);
  handle = nullptr;
}

// Replaces our end of a new pipe by a duplicate the child does not inherit.
HANDLE NotInherited(HANDLE handle) {
  HANDLE copy = nullptr;
  HANDLE self = GetCurrentProcess();
  if (!DuplicateHandle(self, handle, self, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) copy = nullptr;
  CloseHandle(handle);
  return copy;
}

// A pipe whose `childEnd` (the reading end when `childReads`) is inherited
// and whose other end is ours. Both stay null when it cannot be made.
void MakePipe(bool childReads, HANDLE* childEnd, HANDLE* ownEnd) {
  SECURITY_ATTRIBUTES attributes = {};
  attributes.nLength = sizeof attributes;
  attributes.bInheritHandle = TRUE;
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  *childEnd = nullptr;
  *ownEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &attributes, 0)) return;
  *childEnd = childReads ? readEnd : writeEnd;
  *ownEnd = NotInherited(childReads ? writeEnd : readEnd);
  if (*ownEnd == nullptr) CloseIfOpen(*childEnd);
}

std::string CommandLine(const std::string& path, const std::string& parameters) {
  std::string command = (!path.empty() && path[0] == '"') ? path : '"' + path + '"';
  if (!parameters.empty()) command += ' ' + parameters;
  return command;
}

// For the shell: the folder of the path, up to and including its last "\".
std::string PathFolder(const std::string& path) {
  std::string::size_type last = path.find_last_of('\\');
  if (last == std::string::npos || last == 0) return "";
  return path.substr(0, last + 1);
}

ProgramHandle StartThroughShell(const std::string& path, const std::string& parameters, std::string directory,
                                std::uint32_t flags, WORD show) {
  if (directory.empty()) directory = PathFolder(path);
  const std::wstring file = Wide(path);
  const std::wstring arguments = Wide(parameters);
  const std::wstring folder = Wide(directory);
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  // No error box from the shell: a failed start is reported only by the result.
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = L"Open";
  info.lpFile = file.c_str();
  info.lpParameters = arguments.c_str();
  info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
  info.nShow = show;
  if (!ShellExecuteExW(&info)) return 0;
  // The shell may hand the document to a program that already runs and then
  // gives no process handle.
  if ((flags & StartWait) != 0 && info.hProcess != nullptr) WaitForSingleObject(info.hProcess, INFINITE);
  if ((flags & StartKeep) != 0) {
    StartedProgram program;
    program.process = info.hProcess;
    program.processId = -1;
    return Programs().Add(program);
  }
  if (info.hProcess != nullptr) CloseHandle(info.hProcess);
  return 1;
}

std::string ReadPipe(HANDLE pipe, bool wait) {
  std::string data;
  if (pipe == nullptr) return data;
  char buffer[4096];
  for (;;) {
    DWORD available = 0;
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) break;
    if (available == 0) {
      if (!wait || !data.empty()) break;
      available = 1;  // block in ReadFile until something arrives or the writer closes
    }
    DWORD wanted = available < sizeof buffer ? available : static_cast<DWORD>(sizeof buffer);
    DWORD got = 0;
    if (!ReadFile(pipe, buffer, wanted, &got, nullptr) || got == 0) break;
    data.append(buffer, got);
  }
  return data;
}

}  // namespace

ProgramHandle StartProgram(const std::string& path, const std::string& parameters, const std::string& directory,
                           std::uint32_t flags, ProgramHandle earlier) {
  const bool hidden = (flags & StartHidden) != 0;
  const bool keep = (flags & StartKeep) != 0;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = hidden ? SW_HIDE : SW_SHOWNORMAL;
  DWORD creation = NORMAL_PRIORITY_CLASS | (hidden ? DETACHED_PROCESS : 0);
  BOOL inherit = FALSE;

  HANDLE childInput = nullptr, childOutput = nullptr, childError = nullptr;
  StartedProgram program;
  StartedProgram earlier_program;
  if ((flags & StartChained) != 0 && Programs().Find(earlier, &earlier_program) &&
      earlier_program.output != nullptr) {
    // The earlier program keeps its own reading end; the new program gets an
    // inheritable copy, which is closed here once it has been handed over.
    HANDLE self = GetCurrentProcess();
    if (!DuplicateHandle(self, earlier_program.output, self, &childInput, 0, TRUE, DUPLICATE_SAME_ACCESS)) {
      childInput = nullptr;
    }
  } else if (keep && (flags & StartWriteInput) != 0) {
    MakePipe(true, &childInput, &program.input);
  }
  if (keep && (flags & StartReadOutput) != 0) MakePipe(false, &childOutput, &program.output);
  if (keep && (flags & StartReadError) != 0) MakePipe(false, &childError, &program.error);
  if (childInput != nullptr || childOutput != nullptr || childError != nullptr) {
    startup.dwFlags |= STARTF_USESTDHANDLES;
    inherit = TRUE;
    creation &= ~static_cast<DWORD>(DETACHED_PROCESS);
    startup.hStdInput = childInput != nullptr ? childInput : GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = childOutput != nullptr ? childOutput : GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = childError != nullptr ? childError : GetStdHandle(STD_ERROR_HANDLE);
  }

  // CreateProcessW may write into the command line: a buffer of our own.
  const std::wstring command = Wide(CommandLine(path, parameters));
  std::vector<wchar_t> command_buffer(command.begin(), command.end());
  command_buffer.push_back(L'\0');
  const std::wstring folder = Wide(directory);
  PROCESS_INFORMATION created = {};
  BOOL started = CreateProcessW(nullptr, command_buffer.data(), nullptr, nullptr, inherit, creation, nullptr,
                                folder.empty() ? nullptr : folder.c_str(), &startup, &created);
  CloseIfOpen(childInput);
  CloseIfOpen(childOutput);
  CloseIfOpen(childError);

  if (!started) {
    CloseIfOpen(program.input);
    CloseIfOpen(program.output);
    CloseIfOpen(program.error);
    const std::uint32_t pipe_flags = StartReadOutput | StartWriteInput | StartReadError | StartChained;
    if ((flags & pipe_flags) != 0) return 0;
    return StartThroughShell(path, parameters, directory, flags, startup.wShowWindow);
  }

  CloseHandle(created.hThread);
  if ((flags & StartWait) != 0) WaitForSingleObject(created.hProcess, INFINITE);
  if (!keep) {
    CloseHandle(created.hProcess);
    return 1;
  }
  program.process = created.hProcess;
  program.processId = static_cast<std::int32_t>(created.dwProcessId);
  return Programs().Add(program);
}

std::uint32_t QueryExitCode(ProgramHandle program) {
  StartedProgram found;
  DWORD code = 0;
  if (!Programs().Find(program, &found) || found.process == nullptr) return 0;
  if (!GetExitCodeProcess(found.process, &code)) return 0;
  return code;
}

int IsStillRunning(ProgramHandle program) {
  StartedProgram found;
  if (!Programs().Find(program, &found) || found.process == nullptr) return 0;
  if (WaitForSingleObject(found.process, 0) == WAIT_TIMEOUT) return 1;
  if (found.output == nullptr) return 0;
  DWORD available = 0;
  if (!PeekNamedPipe(found.output, nullptr, 0, nullptr, &available, nullptr)) return 0;
  return available > 0 ? 1 : 0;
}

int TerminateProgram(ProgramHandle program) {
  StartedProgram found;
  if (!Programs().Find(program, &found) || found.process == nullptr) return 0;
  return TerminateProcess(found.process, 0xFFFFFFFFu) ? 1 : 0;
}

void ReleaseProgram(ProgramHandle program) {
  StartedProgram found;
  if (!Programs().Remove(program, &found)) return;
  CloseIfOpen(found.process);
  CloseIfOpen(found.input);
  CloseIfOpen(found.output);
  CloseIfOpen(found.error);
}

ProgramHandle IsKnownProgram(ProgramHandle program) {
  StartedProgram found;
  return Programs().Find(program, &found) ? program : 0;
}

std::int32_t ProgramProcessId(ProgramHandle program) {
  StartedProgram found;
  return Programs().Find(program, &found) ? found.processId : 0;
}

std::string ReadProgramOutput(ProgramHandle program, bool wait) {
  StartedProgram found;
  if (!Programs().Find(program, &found)) return "";
  return ReadPipe(found.output, wait);
}

}  // namespace brindorel
