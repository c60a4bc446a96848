#include "ui/document_view.h"

#include <windows.h>

#include <richedit.h>

#include "services/file_system.h"
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

}  // namespace

void LoadTextIntoView(WizardWindowSurface& window, int control, const std::string& path) {
  HWND view = static_cast<HWND>(window.ControlHandle(control));
  if (view == nullptr || path.empty()) return;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;

  // Plain text takes the view's default character format: without the GUI
  // font it shows in the bold system font.
  SendMessageA(view, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  // The default limit of 32,767 characters also cuts a stream, silently.
  SendMessageA(view, EM_EXLIMITTEXT, 0, static_cast<LPARAM>(kDocumentTextLimit));

  StreamSource source = {file, 0};
  EDITSTREAM stream = {};
  stream.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
  stream.pfnCallback = ReadNextBlock;
  const WPARAM format = DocumentFormatOf(path) == DocumentFormat::RichText ? SF_RTF : SF_TEXT;
  SendMessageA(view, EM_STREAMIN, format, reinterpret_cast<LPARAM>(&stream));
  SendMessageA(view, EM_SETSEL, 0, 0);
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
