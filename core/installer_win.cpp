#include "core/installer.h"

#include <windows.h>

#include <vector>

#include "core/companions.h"
#include "package/package_reader.h"
#include "services/file_system.h"
#include "services/folders.h"
#include "services/ini_file.h"
#include "services/process_runner.h"
#include "services/registry.h"
#include "services/wide_win.h"

namespace brindorel {
namespace {

// SetupPromptReboot lives in setupapi.dll, which is loaded from the system
// folder only when a restart is asked for.
void PromptReboot() {
  const std::string system = GetSpecialFolder(kSystemFolderId);
  if (system.empty()) return;
  HMODULE library = LoadLibraryW(Wide(system + "setupapi.dll").c_str());
  if (library == nullptr) return;
  using PromptFunction = int(WINAPI*)(void*, HWND, BOOL);
  auto prompt = reinterpret_cast<PromptFunction>(
      reinterpret_cast<void*>(GetProcAddress(library, "SetupPromptReboot")));
  if (prompt != nullptr) prompt(nullptr, nullptr, FALSE);
  FreeLibrary(library);
}

// The size of a file in the working folder, for telling companions this
// package wrote from locked copies an earlier run left behind.
std::int64_t WorkFileSize(const std::string& fileName, void* workFolder) {
  return QueryPathSize(*static_cast<const std::string*>(workFolder) + fileName);
}

void ReadFirstPass(InstallerState& state) {
  OpenIniFile(state.settingsPath);
  ReadFirstSettings(CurrentIniDocument(), state.settings);
  CloseIniFile();
}

// The installer's own file is damaged: the user is told to fetch it again
// (the texts of the package cannot be trusted, so the built-in one is shown).
std::uint32_t ReportDamagedInstaller(const InstallerState& state) {
  if (state.instanceMutex != nullptr) CloseHandle(state.instanceMutex);
  const std::string text = ComposeDefaultText(TextId::InstallDamaged, "", "");
  MessageBoxW(nullptr, Wide(text).c_str(), L"Install", MB_OK | MB_ICONERROR);
  return kSilentFailed;
}

}  // namespace


std::uint32_t RunInstaller(const InstallerArguments& arguments) {
  // A switch not understood: an unattended run stops before touching
  // anything; with a window the user is told and the wizard runs as always.
  if (!arguments.badArgument.empty()) {
    if (arguments.silent) return kSilentBadArguments;
    const std::string text = "Unknown command-line argument: " + arguments.badArgument;
    MessageBoxW(nullptr, Wide(text).c_str(), L"Install", MB_OK | MB_ICONWARNING);
  }

  InstallerState state;

  // 1. A second installer of this product ends at once and touches nothing.
  if (ClaimInstanceName(kInstanceName) == 1) return arguments.silent ? static_cast<std::uint32_t>(kSilentStopped) : 0u;
  state.instanceMutex = CreateMutexW(nullptr, FALSE, Wide(kInstanceName).c_str());

  // 2.-4. The working folder. Files an earlier run left there are removed
  // first, so a stale companion program, readme or language file of another
  // package can never run or show; the claim above guarantees that no other
  // installer uses the folder now.
  state.workFolder = GetTempFolder();
  if (!state.workFolder.empty()) state.workFolder += kWorkFolderName;
  state.installerPath = GetOwnProgramPath();
  state.settingsPath = state.workFolder + "setup.ini";
  state.currentPage = 1;
  state.settings.reboot = 0;
  if (!state.workFolder.empty()) {
    RemoveFolder(state.workFolder, "*.*", 0);
    MakeFolderPath(state.workFolder);
  }

  // 5. Unpack the package appended to our own file. Every entry is checked
  // before any is written; a damaged installer never runs the wizard on
  // broken files or starts a broken companion program.
  if (!state.workFolder.empty()) {
    const bool read = ReadPackage(state.installerPath) == 1;
    const PackageProblem problem = LastPackageProblem();
    if (read) ExtractPackage(state.workFolder, "");
    const bool damaged = read ? LastExtractionStats().packageDamaged : problem != PackageProblem::NoPackage;
    if (damaged && !arguments.silent) {
      DeleteWorkFolder(state.workFolder);
      return ReportDamagedInstaller(state);
    }
    state.installerDamaged = damaged;  // the unattended run names what failed in its log
    state.carriedCompanions = CarriedCompanions(PackageEntries(), WorkFileSize, &state.workFolder);
  }

  // 6. First settings pass.
  ReadFirstPass(state);

  if (arguments.silent) {
    const std::uint32_t code = RunSilentInstallation(state, arguments);
    CloseHandle(state.instanceMutex);
    CloseIniFile();
    return code;
  }

  // 7. The wizard.
  WizardOutcome outcome = RunWizard(state);
  if (outcome == WizardOutcome::Completed) {
    // E2. The working folder goes (Cancel may have removed it already).
    if (!state.workFolder.empty() && PathExists(state.workFolder) != 0) DeleteWorkFolder(state.workFolder);
    // E3. Restart question, only after an installation that asks for it;
    // otherwise the installed program when the user asked for it.
    if (state.settings.reboot != 0) {
      if (state.installationRan) PromptReboot();
    } else {
      std::string program = ProgramToStartAtExit(state);
      if (!program.empty()) StartProgram(program, "", state.installFolder, 0);
    }
  }
  if (outcome != WizardOutcome::EndAtOnce && state.instanceMutex != nullptr) {
    // E4.
    CloseHandle(state.instanceMutex);
    state.instanceMutex = nullptr;
  }
  // E5. A document still open is written if it was changed.
  CloseIniFile();
  return 0;
}

}  // namespace brindorel
