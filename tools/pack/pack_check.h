// The builder's check of a package folder: everything the installer will
// read (setup.ini, the language files, documents, pictures, companion
// programs, the names of the files) judged by the installer's own rules
// before anything is built, and reported as compilers report, one diagnostic
// a line: "setup.ini:12: warning: unknown key ...". Errors are mistakes the
// installer would refuse, fail on or carry out other than written; warnings
// are what it would ignore or replace by a default; notes say how a file will
// be read.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace brindorel::pack {

enum class Severity { Note, Warning, Error };

struct Diagnostic {
  // The file, relative to the package folder with "/" between the levels
  // ("setup.ini", "program/docs/notes.txt"); empty for the folder itself.
  // With `fileAsGiven` it is a path from the command line (an --add file).
  std::string file;
  bool fileAsGiven = false;
  std::uint32_t line = 0;  // from 1; 0 where no line applies
  Severity severity = Severity::Error;
  std::string code;  // a short stable name for tools: "unknown-key"
  std::string message;
};

struct CheckOptions {
  std::filesystem::path packageFolder;
  // Files packed from elsewhere: package name ("program/app.exe") and the file.
  std::vector<std::pair<std::string, std::filesystem::path>> extraFiles;
};

// Every diagnostic of the folder, setup.ini's first, each file's in line order.
std::vector<Diagnostic> CheckPackageFolder(const CheckOptions& options);

struct DiagnosticCounts {
  int errors = 0;
  int warnings = 0;
  int notes = 0;
};
DiagnosticCounts CountDiagnostics(const std::vector<Diagnostic>& diagnostics);

// "FOLDER/setup.ini:12: warning: message", the folder as it was given.
std::string DiagnosticText(const Diagnostic& diagnostic, const std::string& folderShown);
// One JSON object on one line: file, line (null where none), severity, code, message.
std::string DiagnosticJson(const Diagnostic& diagnostic, const std::string& folderShown);
// "FOLDER: 2 errors, 1 warning, 3 notes".
std::string DiagnosticSummary(const DiagnosticCounts& counts, const std::string& folderShown);

// The README's table of the setup.ini keys, printed from the key table.
std::string SetupKeysMarkdown();

// The candidate nearest to `word` (ignoring the case of A-Z) when it is
// close enough to be a misspelling of it; the empty text otherwise.
std::string NearestSpelling(const std::string& word, const std::vector<std::string>& candidates);

}  // namespace brindorel::pack
