// Package reading and extraction (layout in package_format.h).
//
// ReadPackage loads a package's entry table into the process-wide EntryList
// and remembers the package file; ExtractPackage then writes the entries
// below a target folder, reading the package once, front to back. The
// trailer, the table and the data are all untrusted: a package whose
// trailer or table does not fit the file reads as no package, an entry whose
// data is corrupt or whose name would leave the target folder is not
// written, and nothing half-decoded ever reaches a file. What happened is
// counted in the extraction stats.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "package/package_format.h"

namespace brindorel {

struct ExtractionStats {
  std::uint32_t filesWritten = 0;     // file entries written (empty files too)
  std::uint32_t foldersMade = 0;      // folder entries handled
  std::uint32_t keptExisting = 0;     // no-copy entries whose file was left as it was
  std::uint32_t corruptEntries = 0;   // data that failed to decode or ran past the package
  std::uint32_t unsafeNames = 0;      // names that would leave the target folder
  std::uint32_t filesNotCreated = 0;  // output files that could not be created or written
  std::vector<std::string> failedEntries;  // names of the entries counted in the three above
};

// 1 when the entry table of the package file at `path` was read, else 0 (the
// EntryList then stays empty). Replaces the EntryList and the remembered
// package in any case.
int ReadPackage(const std::string& path);

// The entries of the package read last, in table order.
const EntryList& PackageEntries();

// Writes the entries of the package read last below `targetFolder`. An entry
// whose name's extension is one of `noCopyList` ("dat|ini|": every
// extension closed by "|"; compared exactly) does not replace a file that
// exists already, unless its whole name is one of `alwaysReplaced` (A-Z
// case ignored), such as files whose stale copy would do harm.
void ExtractPackage(const std::string& targetFolder, const std::string& noCopyList,
                    const std::vector<std::string>& alwaysReplaced = {});

// What the last ExtractPackage did.
const ExtractionStats& LastExtractionStats();

// Portable rules of extraction.
// The extensions a no-copy list names: fields 1 to n of the list split at
// "|", n being the number of "|" (1 for a non-empty list without any).
std::vector<std::string> NoCopyExtensions(const std::string& noCopyList);
// Text after the name's last ".", up to a double quote; empty when a "\" or
// "/" comes after the last "." or there is none.
std::string EntryExtension(const std::string& name);
// Text up to and including the last "\" or "/" (the search stops at a "|").
std::string EntryFolderPart(const std::string& name);

}  // namespace brindorel
