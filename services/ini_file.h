// The process-wide INI file: one document open at a time, read whole when it
// is opened and rewritten whole when it is closed after a change. Opening a
// file closes (and, if changed, writes) the previous one. Without an open
// document selections give 0, reads give their defaults and writes are ignored.
#pragma once

#include <cstdint>
#include <string>

#include "services/ini_document.h"

namespace brindorel {

// Largest file that is read; a larger one counts as an empty document that is
// never written back.
constexpr std::uint32_t kIniFileSizeLimit = 16u * 1024u * 1024u;

// Non-zero when the file exists and was read. A missing file gives 0 but
// keeps the path, so that writes create the file at close.
int OpenIniFile(const std::string& path);
// 1 when the group exists or the name is empty, else 0 (the group is then
// created by the next write).
int SelectIniGroup(const std::string& name);
std::string ReadIniString(const std::string& key, const std::string& fallback = {});
std::int32_t ReadIniNumber(const std::string& key, std::int32_t fallback);
void WriteIniString(const std::string& key, const std::string& value);
void WriteIniNumber(const std::string& key, std::int32_t value);
// Writes the document back if it was changed, then forgets it.
void CloseIniFile();

// The open document itself, for code that reads through an IniDocument. With
// nothing open it is an empty document whose changes are never written.
IniDocument& CurrentIniDocument();

}  // namespace brindorel
