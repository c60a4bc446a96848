// File and text helpers of the builder: whole-file reading and writing,
// modification times as Windows FILETIME, and the names of packages written
// in a code page.
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

// Windows-1252 to UTF-8.
std::string AnsiToUtf8(const std::string& ansi);
// An entry name as UTF-8 text, for the terminal and the file system: names
// are UTF-8; one that is not comes from a package written in a code page and
// is read as Windows-1252.
std::string EntryNameText(const std::string& name);

// True when standard error is a terminal (progress lines are shown then).
bool ErrorIsTerminal();

}  // namespace brindorel::pack
