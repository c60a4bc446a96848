// Starts other programs, optionally waits for them, and keeps a handle on
// them for exit codes, running tests, termination and pipes.
//
// A kept program is named by a ProgramHandle: 0 means nothing was started,
// 1 means started but not kept (no StartKeep), and larger values name a
// program in the process-wide list until ReleaseProgram. Every operation
// accepts any value: 0, 1, a released or an unknown value is harmless and
// gives 0 / the empty text / does nothing. Handles are not reused.
#pragma once

#include <cstdint>
#include <string>

namespace brindorel {

using ProgramHandle = std::uint32_t;

enum StartFlags : std::uint32_t {
  StartWait = 1,         // wait until the program has ended
  StartHidden = 2,       // no window
  StartKeep = 4,         // keep the program and return its handle
  StartReadOutput = 8,   // with StartKeep: pipe from its standard output
  StartWriteInput = 16,  // with StartKeep: pipe to its standard input
  StartReadError = 32,   // with StartKeep: pipe from its standard error
  StartChained = 64,     // standard input is the output pipe of `earlier`
};

// Starts `path` (quoted unless it starts with a quote) with `parameters`
// in `directory` (empty: the current one). A file that is not a program is
// opened through the shell when no pipe or chain flag is set; such a kept
// program has the process id -1 and no pipes.
ProgramHandle StartProgram(const std::string& path, const std::string& parameters = "",
                           const std::string& directory = "", std::uint32_t flags = 0,
                           ProgramHandle earlier = 0);

// The exit code as the system reports it (259 while running, 0 on failure).
std::uint32_t QueryExitCode(ProgramHandle program);
// 1 while the process runs or unread output waits in its output pipe.
int IsStillRunning(ProgramHandle program);
// Ends the process with exit code FFFFFFFF hex; 1 on success.
int TerminateProgram(ProgramHandle program);
// Closes the handles and forgets the program; the process keeps running.
void ReleaseProgram(ProgramHandle program);
// `program` itself when it is in the list, else 0.
ProgramHandle IsKnownProgram(ProgramHandle program);
// The process id; -1 for a program opened through the shell, 0 when unknown.
std::int32_t ProgramProcessId(ProgramHandle program);

// The output pipe: what is waiting now, without blocking; with `wait` it
// blocks until some data arrives or the program closes its end.
std::string ReadProgramOutput(ProgramHandle program, bool wait = false);

}  // namespace brindorel
