// The builder's package check over hostile files: a setup.ini, a language
// file and a picture taken from the input are written into a package folder
// and checked. Every diagnostic must stay one well-formed UTF-8 line with a
// line number inside its file.
//
// Input: one control byte (bit 0: the picture is header.ico, else
// splash.tga), then three parts, each a two-byte little-endian length and
// its bytes: setup.ini, english.lng, the picture.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "services/utf8.h"
#include "tools/pack/pack_check.h"

#include "tests/fuzz/fuzz_verdict.h"

namespace {

namespace fs = std::filesystem;

std::string Take(const std::uint8_t*& p, const std::uint8_t* end) {
  if (end - p < 2) {
    p = end;
    return std::string();
  }
  std::size_t n = std::size_t{p[0]} | std::size_t{p[1]} << 8;
  p += 2;
  if (n > static_cast<std::size_t>(end - p)) n = static_cast<std::size_t>(end - p);
  std::string bytes(reinterpret_cast<const char*>(p), n);
  p += n;
  return bytes;
}

void Store(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::uint32_t Lines(const std::string& bytes) {
  std::uint32_t lines = 1;
  for (char c : bytes) lines += c == '\n' || c == '\r' || c == '\0';
  return lines;
}

// Writes the package folder the input describes, checks it and takes it away.
std::vector<brindorel::pack::Diagnostic> Check(const std::uint8_t* data, std::size_t size, std::string& setup,
                                               std::string& language) {
  static const fs::path folder = fs::temp_directory_path() / ("brindorel-check-fuzz-" + std::to_string(::getpid()));
  const std::uint8_t* p = data + 1;
  const std::uint8_t* end = data + size;
  setup = Take(p, end);
  language = Take(p, end);
  const std::string picture = Take(p, end);
  std::error_code ec;
  fs::remove_all(folder, ec);
  fs::create_directories(folder / "program", ec);
  Store(folder / "setup.ini", setup);
  Store(folder / "english.lng", language);
  Store(folder / ((data[0] & 1) != 0 ? "header.ico" : "splash.tga"), picture);
  Store(folder / "program" / "acme.exe", "MZ");

  brindorel::pack::CheckOptions options;
  options.packageFolder = folder;
  std::vector<brindorel::pack::Diagnostic> found = brindorel::pack::CheckPackageFolder(options);
  fs::remove_all(folder, ec);
  return found;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::string setup, language;
  for (const brindorel::pack::Diagnostic& d : Check(data, size, setup, language)) {
    for (const std::string& text : {brindorel::pack::DiagnosticText(d, "p"), brindorel::pack::DiagnosticJson(d, "p")}) {
      if (!brindorel::IsValidUtf8(text) || text.find_first_of("\r\n") != std::string::npos) std::abort();
    }
    if (d.file == "setup.ini" && d.line > Lines(setup)) std::abort();
    if (d.file == "english.lng" && d.line > Lines(language)) std::abort();
  }
  return 0;
}

// A package folder the check finds no error in.
bool FuzzInputAccepted(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return false;
  std::string setup, language;
  for (const brindorel::pack::Diagnostic& d : Check(data, size, setup, language)) {
    if (d.severity == brindorel::pack::Severity::Error) return false;
  }
  return true;
}
