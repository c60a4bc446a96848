// The package check's file part: the names Windows must hold, the documents
// as the installer chooses them, the pictures through the installer's own
// decoders, and the companion programs.
#include <algorithm>
#include <map>

#include "core/companions.h"
#include "services/folder_rules.h"
#include "services/text.h"
#include "services/utf8.h"
#include "tools/pack/pack_builder.h"
#include "tools/pack/pack_check_parts.h"
#include "ui/document_choice.h"
#include "ui/image_file.h"
#include "ui/tga_decoder.h"

namespace brindorel::pack {
namespace {

std::uint32_t U16(const std::uint8_t* p) { return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8; }
std::uint32_t U32(const std::uint8_t* p) { return U16(p) | U16(p + 2) << 16; }

std::string LowerAscii(std::string text) {
  for (char& c : text) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return text;
}

// The name up to its first ".".
std::string Stem(const std::string& name) { return name.substr(0, name.find('.')); }

std::string LastLevel(const std::string& name) { return PathFileName(name); }

void CheckNames(const PackageView& view, Diagnostics& out) {
  auto judge = [&](const PackageFile& file, const std::string& level) {
    const NameProblem problem = WindowsNameProblem(level);
    if (problem == NameProblem::None) return true;
    out.Error(file.shown, 0, "bad-name", std::string("Windows cannot hold this name: ") + NameProblemText(problem));
    return false;
  };
  // Files from the folder: each level once, where it is last; names from
  // --add: every level.
  for (const std::vector<PackageFile>* files : {&view.root, &view.program}) {
    for (const PackageFile& file : *files) {
      if (!file.fromCommandLine) {
        judge(file, LastLevel(file.name));
        continue;
      }
      const std::string name = file.name;
      std::size_t start = 0;
      for (;;) {
        const std::size_t end = name.find('\\', start);
        if (!judge(file, name.substr(start, end == std::string::npos ? std::string::npos : end - start))) break;
        if (end == std::string::npos) break;
        start = end + 1;
      }
    }
  }
  // Names that differ only in the case of A-Z are one name on Windows.
  for (const std::vector<PackageFile>* files : {&view.root, &view.program}) {
    std::map<std::string, const PackageFile*> seen;
    for (const PackageFile& file : *files) {
      const std::string key = LowerAscii(file.name);
      auto [at, fresh] = seen.emplace(key, &file);
      if (!fresh) {
        out.Error(file.shown, 0, "name-clash",
                  "the same name as " + Quoted(at->second->shown) +
                      " on Windows, which ignores the letters' case: "
                      "one would replace the other");
      }
    }
  }
  for (const PackageFile& file : view.program) {
    if (EqualIgnoringAsciiCase(file.name, "Uninstall.exe") || EqualIgnoringAsciiCase(file.name, "uninstall.dat")) {
      out.Error(
          file.shown, 0, "reserved-name",
          "the builder puts its own " + file.name + " into the installation folder; this file would clash with it");
    }
  }
  for (const PackageFile& file : view.root) {
    if (EqualIgnoringAsciiCase(file.name, "setup.pck")) {
      out.Warning(file.shown, 0, "reserved-name", "not packed: the builder makes setup.pck from program/");
    }
  }
  const bool programFiles =
      std::any_of(view.program.begin(), view.program.end(), [](const PackageFile& f) { return !f.folder; });
  if (!view.hasProgramFolder && !programFiles) {
    out.Warning("program", 0, "no-program", "missing: the package installs no program files");
  }
}

void CheckCompanions(const PackageView& view, Diagnostics& out) {
  const char* const programs[] = {kBeforeProgramName, kWhileProgramName, kAfterProgramName};
  std::vector<std::string> companionNames;
  for (const char* name : programs) companionNames.push_back(name);
  companionNames.push_back(kStartMarkerName);
  for (const char* name : programs) {
    const PackageFile* file = view.FindRoot(name);
    if (file == nullptr) continue;
    std::vector<std::uint8_t> head;
    ReadFileBytes(file->source, 2, head);
    if (head.size() < 2 || head[0] != 'M' || head[1] != 'Z') {
      out.Error(file->shown, 0, "not-a-program",
                "not a Windows program (it does not begin with 'MZ'): the installer cannot start it");
    }
  }
  if (view.FindRoot(kStartMarkerName) != nullptr && view.FindRoot(kWhileProgramName) == nullptr) {
    out.Warning(view.FindRoot(kStartMarkerName)->shown, 0, "marker-alone",
                std::string("has no effect without ") + kWhileProgramName + ", which it lets Cancel end");
  }
  for (const PackageFile& file : view.program) {
    for (const std::string& name : companionNames) {
      if (EqualIgnoringAsciiCase(file.name, name)) {
        out.Warning(file.shown, 0, "companion-in-program",
                    "installed with the program, never run by the installer: companion programs lie beside setup.ini");
      }
    }
  }
  for (const PackageFile& file : view.root) {
    if (!EqualIgnoringAsciiCase(PathExtension(file.name), "exe")) continue;
    if (std::any_of(companionNames.begin(), companionNames.end(),
                    [&](const std::string& n) { return EqualIgnoringAsciiCase(n, file.name); }))
      continue;
    const std::string nearest = NearestSpelling(file.name, companionNames);
    if (!nearest.empty()) {
      out.Warning(
          file.shown, 0, "unknown-companion",
          "not a companion program's name (did you mean " + Quoted(nearest) + "?): the installer never starts it");
    }
  }
}

const char* const kDocumentNames[] = {"licence.rtf", "licence.txt", "readme.rtf", "readme.txt"};

void CheckDocument(const PackageFile& file, Diagnostics& out) {
  std::vector<std::uint8_t> bytes;
  if (!ReadFileBytes(file.source, std::uint64_t{kDocumentMaxBytes} + 1, bytes)) {
    out.Error(file.shown, 0, "unreadable", "cannot be read");
    return;
  }
  if (bytes.empty()) {
    out.Warning(file.shown, 0, "empty-document", "empty: the installer skips its page");
    return;
  }
  if (bytes.size() > kDocumentMaxBytes) {
    out.Warning(file.shown, 0, "long-document", "longer than 4 MiB: only the first 4 MiB are shown");
  }
  const std::string text(bytes.begin(), bytes.end());
  if (DocumentFormatOf(file.name) == DocumentFormat::RichText) {
    if (text.compare(0, 5, "{\\rtf") != 0) {
      out.Warning(
          file.shown, 0, "not-rtf",
          "not Rich Text Format (it does not begin with '{\\rtf'): the page shows whatever the view makes of it");
    }
    return;
  }
  const bool utf8Mark = text.compare(0, 3, "\xEF\xBB\xBF") == 0;
  const bool utf16Mark = text.compare(0, 2, "\xFF\xFE") == 0;
  if (text.compare(0, 2, "\xFE\xFF") == 0) {
    out.Warning(file.shown, 0, "encoding",
                "UTF-16 big-endian is not read as such: save it as UTF-8 with the mark or UTF-16 little-endian");
  } else if (!utf8Mark && !utf16Mark && !IsAscii(text) && IsValidUtf8(text.substr(0, kDocumentMaxBytes))) {
    out.Warning(
        file.shown, 0, "encoding",
        "UTF-8 text without the UTF-8 mark: the installer reads it in the system's code page, where its letters "
        "beyond ASCII show garbled; save it as UTF-8 with the mark");
  }
}

void CheckDocuments(const PackageView& view, Diagnostics& out) {
  for (const char* base : {"licence", "readme"}) {
    const std::string b = base;
    const PackageFile* rtf = view.FindRoot(b + ".rtf");
    const PackageFile* txt = view.FindRoot(b + ".txt");
    // The installer's own choice: ".rtf" first, then ".txt".
    const std::string chosen =
        ChooseDocumentPath("", b, [&](const std::string& path) { return view.FindRoot(path) != nullptr; });
    if (rtf != nullptr && txt != nullptr) {
      out.Warning(txt->shown, 0, "document-hidden", "never shown: " + rtf->name + " comes first");
    }
    if (!chosen.empty()) CheckDocument(*view.FindRoot(chosen), out);
  }
  // A document under another name: a licence or readme with another
  // extension, or a text file whose name is a slip away.
  static const char* const kTextExtensions[] = {"txt", "rtf", "md", "doc", "docx", "htm", "html", "pdf", "text"};
  const std::vector<std::string> stems = {"licence", "license", "readme"};
  for (const PackageFile& file : view.root) {
    if (std::any_of(std::begin(kDocumentNames), std::end(kDocumentNames),
                    [&](const char* n) { return EqualIgnoringAsciiCase(n, file.name); }))
      continue;
    const std::string stem = LowerAscii(Stem(file.name));
    const std::string extension = PathExtension(file.name);
    const bool text = std::any_of(std::begin(kTextExtensions), std::end(kTextExtensions),
                                  [&](const char* e) { return EqualIgnoringAsciiCase(e, extension); });
    const bool named = std::find(stems.begin(), stems.end(), stem) != stems.end();
    if (stem.empty() || !(named || (text && !NearestSpelling(stem, stems).empty()))) continue;
    const bool readme = !NearestSpelling(stem, {"readme"}).empty();
    out.Warning(file.shown, 0, "unknown-document",
                std::string("not a document the installer shows: it looks for ") +
                    (readme ? "readme.rtf, then readme.txt" : "licence.rtf, then licence.txt"));
  }
}

// Why the decoder cannot give every pixel of a TGA picture it accepted:
// a depth it does not decode, or pixel data that ends early.
std::string TgaShortfall(const std::vector<std::uint8_t>& data) {
  const std::uint64_t size = data.size();
  const std::uint32_t type = data[2], depth = data[16];
  const std::uint64_t pixels = std::uint64_t{U16(&data[12])} * U16(&data[14]);
  const std::uint64_t start = kTgaHeaderSize + data[0] + std::uint64_t{U16(&data[5])} * (data[7] / 8u);
  const std::uint64_t bytesPerPixel = depth / 8u;
  if (type == 2 && depth != 16 && depth != 24 && depth != 32)
    return "its pixel depth of " + std::to_string(depth) + " bits is not decoded (16, 24 or 32 are): it shows black";
  if (type == 10 && depth != 24 && depth != 32)
    return "run-length pictures of " + std::to_string(depth) + " bits are not decoded (24 or 32 are): it shows black";
  const std::string cut = "its pixel data ends early: the missing part shows black";
  if (type == 2) return size - start < pixels * bytesPerPixel ? cut : "";
  std::uint64_t at = start, done = 0;
  while (done < pixels) {
    if (at >= size) return cut;
    const std::uint32_t header = data[at++];
    const std::uint64_t count = header >= 128 ? header - 127u : header + 1u;
    const std::uint64_t bytes = header >= 128 ? bytesPerPixel : count * bytesPerPixel;
    if (bytes > size - at) return cut;
    at += bytes;
    done += count;
  }
  return "";
}

struct PictureSize {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
};

// The size the installer shows a picture at: a TGA's or bitmap's own, an
// icon file's first image.
PictureSize SizeOf(ImageFileKind kind, const std::vector<std::uint8_t>& data) {
  PictureSize size;
  if (kind == ImageFileKind::Tga) {
    const TgaDecoder decoder(data.data(), data.size());
    size = {decoder.width(), decoder.height()};
  } else if (kind == ImageFileKind::Bitmap) {
    if (U32(&data[14]) == 12) {
      size = {U16(&data[18]), U16(&data[20])};
    } else {
      const auto height = static_cast<std::int32_t>(U32(&data[22]));
      size = {U32(&data[18]), static_cast<std::uint32_t>(height < 0 ? -static_cast<std::int64_t>(height) : height)};
    }
  } else if (kind == ImageFileKind::Icon) {
    size = {data[6] == 0 ? 256u : data[6], data[7] == 0 ? 256u : data[7]};
  }
  return size;
}

struct PictureRole {
  const char* name;
  std::uint32_t width;
  std::uint32_t height;
  const char* where;
};
const PictureRole kPictures[] = {
    {"splash.tga", 130, 300, "the side image's column beside the first and last page"},
    {"header.ico", 32, 32, "the header's icon"},
};

void CheckPictures(const PackageView& view, Diagnostics& out) {
  for (const PictureRole& role : kPictures) {
    const PackageFile* file = view.FindRoot(role.name);
    if (file == nullptr) continue;
    std::error_code ec;
    const std::uint64_t fileSize = std::filesystem::file_size(file->source, ec);
    if (ec || fileSize > kImageMaxFileSize) {
      out.Error(file->shown, 0, "bad-picture",
                ec ? std::string("cannot be read")
                   : "refused by the installer: larger than " + std::to_string(kImageMaxFileSize) + " bytes");
      continue;
    }
    std::vector<std::uint8_t> data;
    if (!ReadFileBytes(file->source, kImageMaxFileSize, data)) {
      out.Error(file->shown, 0, "bad-picture", "cannot be read");
      continue;
    }
    const ImageFileKind kind = ClassifyImageFile(data.data(), data.size());
    if (kind == ImageFileKind::None) {
      out.Error(
          file->shown, 0, "bad-picture",
          "the installer cannot show it: it is no sound Windows bitmap or icon, nor a TGA picture of type 2 or 10 "
          "(uncompressed or run-length true-colour)");
      continue;
    }
    if (kind == ImageFileKind::Tga) {
      const std::string shortfall = TgaShortfall(data);
      if (!shortfall.empty()) {
        out.Error(file->shown, 0, "bad-picture", "the installer's decoder cannot show it whole: " + shortfall);
        continue;
      }
    }
    const PictureSize size = SizeOf(kind, data);
    if (size.width != role.width || size.height != role.height) {
      out.Warning(file->shown, 0, "picture-size",
                  std::to_string(size.width) + " x " + std::to_string(size.height) + " pixels; " + role.where + " is " +
                      std::to_string(role.width) + " x " + std::to_string(role.height));
    }
  }
  // Pictures under other names are never loaded.
  static const char* const kPictureExtensions[] = {"tga", "bmp", "ico", "png", "jpg", "jpeg", "gif"};
  for (const PackageFile& file : view.root) {
    if (view.FindRoot(kPictures[0].name) == &file || view.FindRoot(kPictures[1].name) == &file) continue;
    const std::string extension = PathExtension(file.name);
    const bool picture = std::any_of(std::begin(kPictureExtensions), std::end(kPictureExtensions),
                                     [&](const char* e) { return EqualIgnoringAsciiCase(e, extension); });
    const std::string stem = LowerAscii(Stem(file.name));
    if (picture || stem == "splash" || stem == "header") {
      out.Warning(file.shown, 0, "unknown-picture",
                  "never loaded: the installer shows only splash.tga (side image) and header.ico (header icon)");
    }
  }
}

}  // namespace

void CheckFiles(const PackageView& view, Diagnostics& out) {
  CheckNames(view, out);
  CheckCompanions(view, out);
  CheckDocuments(view, out);
  CheckPictures(view, out);
}

}  // namespace brindorel::pack
