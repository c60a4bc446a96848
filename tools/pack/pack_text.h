// Text conversions of the builder: file names come from the host as UTF-8
// and go into packages as Windows-1252, the installer's 8-bit code page.
#pragma once

#include <cstdint>
#include <string>

namespace brindorel {

// Converts UTF-8 to Windows-1252. False when the text is not valid UTF-8 or
// holds a character that code page cannot hold; `out` is then unspecified.
bool Utf8ToCp1252(const std::string& utf8, std::string& out);

// Converts Windows-1252 to UTF-8; the five unassigned bytes become U+FFFD.
std::string Cp1252ToUtf8(const std::string& text);

// Windows FILETIME (100 ns ticks since 1601-01-01 UTC) and Unix time in
// 100 ns ticks; times before 1601 become 0.
std::uint64_t UnixTicksToFileTime(std::int64_t ticksSince1970);
std::int64_t FileTimeToUnixTicks(std::uint64_t fileTime);

// "2026-12-07 15:43:22" (UTC) for a FILETIME.
std::string FormatFileTime(std::uint64_t fileTime);

}  // namespace brindorel
