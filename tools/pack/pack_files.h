// File and text helpers of the builder: whole-file reading and writing,
// modification times as Windows FILETIME, and names converted from the
// host's UTF-8 to the ANSI code page (Windows-1252) that packages use.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace brindorel::pack {

// Reads a whole file; false (with `error` set) when it cannot be read.
bool ReadWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes, std::string& error);
bool WriteWholeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes, std::string& error);

// Last-write time as a Windows FILETIME (100 ns ticks since 1601-01-01 UTC); 0 when unknown.
std::uint64_t FileTimeOf(const std::filesystem::path& path);
// Sets a file's last-write time from a FILETIME.
void SetFileTimeOf(const std::filesystem::path& path, std::uint64_t fileTime);

// UTF-8 text to Windows-1252; false when a character has no place there or
// the text is not valid UTF-8.
bool Utf8ToAnsi(const std::string& utf8, std::string& ansi);
// Windows-1252 to UTF-8, for showing names on the terminal.
std::string AnsiToUtf8(const std::string& ansi);

// True when standard error is a terminal (progress lines are shown then).
bool ErrorIsTerminal();

}  // namespace brindorel::pack
