#include "ui/document_view.h"

#include <windows.h>

#include <richedit.h>

#include "services/file_system.h"
#include "services/wide_win.h"
#include "ui/document_choice.h"
#include "ui/wizard_window.h"

namespace brindorel {
namespace {

struct StreamSource {
  HANDLE file;
  std::uint64_t delivered;
};

// Hands the view the next block of the file; 0 bytes end the stream.
DWORD CALLBACK ReadNextBlock(DWORD_PTR cookie, LPBYTE buffer, LONG requested, LONG* got) {
  auto* source = reinterpret_cast<StreamSource*>(cookie);
  *got = 0;
  const DWORD wanted = DocumentReadSize(requested > 0 ? static_cast<std::uint32_t>(requested) : 0, source->delivered);
  if (wanted == 0) return 0;
  DWORD read = 0;
  if (!ReadFile(source->file, buffer, wanted, &read, nullptr)) return 1;
  source->delivered += read;
  *got = static_cast<LONG>(read);
  return 0;
}

// The UTF-16 bytes of a plain text, handed over from memory.
struct TextSource {
  const BYTE* next;
  std::size_t left;
};

DWORD CALLBACK ReadNextText(DWORD_PTR cookie, LPBYTE buffer, LONG requested, LONG* got) {
  auto* source = reinterpret_cast<TextSource*>(cookie);
  const std::size_t wanted = requested > 0 ? static_cast<std::size_t>(requested) : 0;
  const std::size_t size = wanted < source->left ? wanted : source->left;
  CopyMemory(buffer, source->next, size);
  source->next += size;
  source->left -= size;
  *got = static_cast<LONG>(size);
  return 0;
}

// The first kDocumentMaxBytes of the file; false when a read fails before
// anything was read.
bool ReadDocumentBytes(HANDLE file, std::string& bytes) {
  bytes.clear();
  char block[16384];
  for (;;) {
    const DWORD wanted = DocumentReadSize(sizeof block, bytes.size());
    if (wanted == 0) return true;
    DWORD read = 0;
    if (!ReadFile(file, block, wanted, &read, nullptr)) return !bytes.empty();
    if (read == 0) return true;
    bytes.append(block, read);
  }
}

}  // namespace

void LoadTextIntoView(WizardWindowSurface& window, int control, const std::string& path) {
  HWND view = static_cast<HWND>(window.ControlHandle(control));
  if (view == nullptr || path.empty()) return;
  HANDLE file = CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;

  // Plain text takes the view's default character format: without the GUI
  // font it shows in the bold system font. The view has the window's one.
  HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(view, WM_GETFONT, 0, 0));
  if (font == nullptr) font = GetStockObject(DEFAULT_GUI_FONT);
  SendMessageW(view, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  // The default limit of 32,767 characters also cuts a stream, silently.
  SendMessageW(view, EM_EXLIMITTEXT, 0, static_cast<LPARAM>(kDocumentTextLimit));

  EDITSTREAM stream = {};
  if (DocumentFormatOf(path) == DocumentFormat::RichText) {
    // Rich Text names its own code pages.
    StreamSource source = {file, 0};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
    stream.pfnCallback = ReadNextBlock;
    SendMessageW(view, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
  } else {
    // Plain text by its mark: UTF-8, UTF-16, else the system's code page,
    // handed to the view as UTF-16.
    std::string bytes;
    const bool read = ReadDocumentBytes(file, bytes);
    const std::u16string text = PlainDocumentText(bytes, SystemCodePage());
    TextSource source = {reinterpret_cast<const BYTE*>(text.data()), text.size() * sizeof(char16_t)};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
    stream.pfnCallback = ReadNextText;
    if (read) SendMessageW(view, EM_STREAMIN, SF_TEXT | SF_UNICODE, reinterpret_cast<LPARAM>(&stream));
  }
  SendMessageW(view, EM_SETSEL, 0, 0);
  CloseHandle(file);
}

void LoadPackageDocuments(WizardWindowSurface& window, ControlSurface& surface, const std::string& workFolder) {
  auto exists = [](const std::string& path) { return PathExists(path) != 0; };
  const std::string licence = ChooseDocumentPath(workFolder, "licence", exists);
  if (!licence.empty()) LoadTextIntoView(window, LicenceView, licence);
  // The agreement starts declined, with or without a licence.
  surface.SetState(DeclineOption, 1);
  const std::string readme = ChooseDocumentPath(workFolder, "readme", exists);
  if (!readme.empty()) LoadTextIntoView(window, ReadmeView, readme);
}

}  // namespace brindorel
