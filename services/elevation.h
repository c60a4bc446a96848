// The process's rights, and starting a program again with administrator
// rights through the system's elevation prompt. Windows only
// (elevation_win.cpp).
#pragma once

#include <cstdint>
#include <string>

namespace brindorel {

// Whether this process holds administrator rights: the token's elevation
// where the system has one (Vista and later), else membership of the
// administrators group.
bool ProcessIsElevated();

// Whether this process runs as the system account (S-1-5-18).
bool ProcessRunsAsSystem();

enum class ElevatedStart {
  Ran,      // started, waited for; its exit code is given
  Refused,  // the user declined the prompt
  Failed,   // could not be started
};

// Starts `program` with `parameters` through the shell's "runas" verb (the
// elevation prompt), waits for it to end and gives its exit code. `owner`
// (an HWND or null) owns the prompt.
ElevatedStart RunElevatedAndWait(const std::string& program, const std::string& parameters, void* owner,
                                 std::uint32_t& exitCode);

}  // namespace brindorel
