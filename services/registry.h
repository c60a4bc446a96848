// Registry text values and the named-mutex claim.
// Roots are the predefined key numbers (80000000 hex HKEY_CLASSES_ROOT,
// 80000001 hex HKEY_CURRENT_USER, 80000002 hex HKEY_LOCAL_MACHINE, ...) and
// are handed to the system unchanged.
#pragma once

#include <cstdint>
#include <string>

namespace brindorel {

// The predefined roots, as their handle numbers.
constexpr std::uint32_t kClassesRoot = 0x80000000u;   // HKEY_CLASSES_ROOT
constexpr std::uint32_t kCurrentUser = 0x80000001u;   // HKEY_CURRENT_USER
constexpr std::uint32_t kLocalMachine = 0x80000002u;  // HKEY_LOCAL_MACHINE
constexpr std::uint32_t kUsers = 0x80000003u;         // HKEY_USERS
constexpr std::uint32_t kPerformanceData = 0x80000004u;  // HKEY_PERFORMANCE_DATA
constexpr std::uint32_t kCurrentConfig = 0x80000005u;  // HKEY_CURRENT_CONFIG
constexpr std::uint32_t kFirstPredefinedRoot = kClassesRoot;
constexpr std::uint32_t kLastPredefinedRoot = 0x80000006u;  // HKEY_DYN_DATA

// Reads a text value of at most 255 characters, its terminating zero
// included; the empty text when the key or value is missing, the data is
// longer, or any call fails. The result stops at the first zero.
std::string ReadRegistryText(std::uint32_t root, const std::string& subkey, const std::string& name);

// Creates the key (with every missing level) and stores the text as REG_SZ
// with its terminating zero. 0: key not created/opened, 1: key opened but the
// value not written, 2: written.
int WriteRegistryText(std::uint32_t root, const std::string& subkey, const std::string& name,
                      const std::string& text);

// Creates the named mutex. 1 when a mutex of that name already existed (the
// new handle is closed again); otherwise 0 and the handle stays open until
// the process ends, so the name stays taken.
int ClaimInstanceName(const std::string& name);

}  // namespace brindorel
