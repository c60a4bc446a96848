// The pieces the package check is made of, shared by its units: the folder
// as the installer will see it, the list diagnostics are added to, and the
// INI scan that keeps every line's number.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "services/ini_document.h"
#include "tools/pack/pack_check.h"

namespace brindorel::pack {

struct PackageFile {
  std::string name;  // root files: "english.lng"; program files: "docs\notes.txt"
  std::filesystem::path source;
  std::string shown;  // the diagnostics' file: "program/docs/notes.txt", or the --add file
  bool fromCommandLine = false;
  bool folder = false;
};

// The package folder and the --add files, named as the installer names them.
struct PackageView {
  std::filesystem::path folder;
  bool hasProgramFolder = false;
  std::vector<PackageFile> root;     // beside setup.ini: the outer package
  std::vector<PackageFile> program;  // below program/: setup.pck, folders too

  // Found as Windows finds a name: the case of A-Z ignored, "/" read as "\".
  const PackageFile* FindRoot(const std::string& name) const;
  const PackageFile* FindProgram(const std::string& relative) const;
};

class Diagnostics {
 public:
  void Add(Severity severity, const std::string& file, std::uint32_t line, const char* code,
           const std::string& message);
  void Error(const std::string& file, std::uint32_t line, const char* code, const std::string& message) {
    Add(Severity::Error, file, line, code, message);
  }
  void Warning(const std::string& file, std::uint32_t line, const char* code, const std::string& message) {
    Add(Severity::Warning, file, line, code, message);
  }
  void Note(const std::string& file, std::uint32_t line, const char* code, const std::string& message) {
    Add(Severity::Note, file, line, code, message);
  }
  // For a file named on the command line.
  void ErrorAsGiven(const std::string& file, const char* code, const std::string& message);
  std::vector<Diagnostic>& list() { return list_; }

 private:
  std::vector<Diagnostic> list_;
};

// An INI file of the package as the installer will read it.
struct IniScan {
  IniDocument document;
  std::vector<IniLine> lines;
  bool usable = false;  // a text with at least one group
  bool utf8 = false;    // began with the UTF-8 mark
  bool ascii = true;    // no byte above 7F hex (after the mark)
};

// Reads `bytes` as the installer reads an INI file, reporting what makes it
// no INI document (binary bytes, no group; errors) and what its encoding
// does to it (warnings). With `noteEncoding` a note says how it will be read.
IniScan ScanIniFile(const std::vector<std::uint8_t>& bytes, const std::string& file, bool noteEncoding,
                    Diagnostics& out);

// The groups of a scan with their keys, as the installer looks them up:
// only the first group of a name counts, only the first key of a name in
// it. Reports repeated groups and keys, and keys before the first group.
struct IniGroup {
  std::string name;
  std::uint32_t line = 0;
  std::vector<const IniLine*> keys;  // the first of each name, in file order
};
std::vector<IniGroup> GroupsOf(const IniScan& scan, const std::string& file, Diagnostics& out);
const IniGroup* FindGroup(const std::vector<IniGroup>& groups, const std::string& name);
const IniLine* FindKey(const IniGroup* group, const std::string& key);

// The value as the installer reads it: blanks at both ends removed.
std::string TrimmedValue(const IniLine& line);

// The settings: setup.ini, [UserTask], the language list and the language files.
void CheckSettings(const PackageView& view, Diagnostics& out);
// The files: names, documents, pictures, companion programs.
void CheckFiles(const PackageView& view, Diagnostics& out);

bool ReadFileBytes(const std::filesystem::path& path, std::uint64_t limit, std::vector<std::uint8_t>& bytes);
std::string Quoted(const std::string& text);

}  // namespace brindorel::pack
