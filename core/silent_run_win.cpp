// The unattended installation: the wizard's steps without its window, the
// choices the wizard would have shown, and an exit code that tells the
// caller how it went.
#include <windows.h>

#include "core/companions.h"
#include "core/installer.h"
#include "core/silent_install.h"
#include "install/installation.h"
#include "package/package_reader.h"
#include "services/file_system.h"
#include "services/folder_rules.h"
#include "services/folders.h"
#include "services/wide_win.h"

namespace brindorel {
namespace {

// The log is written whole at the end, as UTF-8 with the mark; a log that
// cannot be written does not change the installation's result.
void WriteLogFile(const std::string& path, const std::string& text) {
  HANDLE file =
      CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const std::string bytes = "\xEF\xBB\xBF" + text;
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

// Every step that failed, in the order of the installation, and the entries
// of the package that were not written.
void AddFailures(const InstallationResults& results, std::vector<std::string>& failures) {
  if (results.packageDamaged) {
    failures.push_back("setup.pck is damaged, nothing was installed (" +
                       std::string(LastExtractionStats().failedEntries.empty()
                                       ? PackageProblemText(LastPackageProblem())
                                       : "damaged entries follow") +
                       ")");
  } else if (!results.packageRead) {
    failures.push_back("setup.pck could not be read");
  }
  for (const std::string& name : LastExtractionStats().failedEntries) failures.push_back("entry " + name);
  if (results.packageRead && !results.filesComplete) failures.push_back("not every program file was written");
  if (!results.uninstallEntry) failures.push_back("uninstall entry");
  if (!results.desktopLink) failures.push_back("desktop shortcut");
  if (!results.menuLinks) failures.push_back("start-menu shortcuts");
  if (!results.productKey) failures.push_back("product key");
  if (!results.userTasks) failures.push_back("additional tasks");
  if (!results.record) failures.push_back("uninstall.dat");
}

}  // namespace

std::uint32_t RunSilentInstallation(InstallerState& state, const InstallerArguments& arguments) {
  LogSurface surface;
  std::vector<std::string> failures;
  auto end = [&](std::uint32_t code) {
    if (!arguments.logPath.empty()) WriteLogFile(arguments.logPath, SilentLogText(surface.ProgressLines(), failures));
    if (!state.workFolder.empty() && PathExists(state.workFolder) != 0) DeleteWorkFolder(state.workFolder);
    return code;
  };

  // A damaged package installs nothing: the entries that could not be
  // unpacked into the working folder are named in the log.
  const ExtractionStats& unpacked = LastExtractionStats();
  if (state.installerDamaged) {
    failures.push_back(std::string("the installer file is damaged, download it again (") +
                       (unpacked.failedEntries.empty() ? PackageProblemText(LastPackageProblem())
                                                       : "damaged entries follow") +
                       ")");
  } else if (PackageEntries().empty()) {
    failures.push_back("the installer's package could not be read");
  }
  for (const std::string& name : unpacked.failedEntries) failures.push_back("entry " + name);
  if (!failures.empty()) return end(kSilentFailed);

  // The language: /LANG= must name one of the package's.
  bool refused = false;
  const std::string file =
      SilentLanguageFile(state.settings.language, arguments.languageFile, GetUserDefaultLangID(), refused);
  if (refused) {
    failures.push_back("/LANG=" + arguments.languageFile + " is not a language of this package");
    return end(kSilentBadArguments);
  }
  const InterfaceTexts texts = LoadTextsFile(state, file);

  if (RunBeforeProgram(state)) {
    failures.push_back("BeforeBR.exe ended the installation");
    return end(kSilentStopped);
  }

  // The settings page as the wizard would fill it, then the switches.
  ReadSecondPass(state, surface);
  ReadPreviousChoices(state, surface);
  if (arguments.noIcons) state.settings.startMenu = 0;
  if (arguments.noDesktop) surface.SetState(DesktopIconBox, 0);
  if (!arguments.installDir.empty()) surface.SetText(InstallDirField, arguments.installDir);

  // The choices, judged as the settings page judges them.
  state.protectedFolders =
      LookUpProtectedFolders([](std::int32_t id) { return GetSpecialFolder(id); }, state.workFolder);
  InstallChoices choices = ReadChoices(surface);
  switch (SettleChoices(choices, state.settings, state.protectedFolders)) {
    case ChoiceProblem::None:
      break;
    case ChoiceProblem::InstallFolder:
      failures.push_back("the install folder " + choices.installFolder + " cannot be used");
      return end(arguments.installDir.empty() ? kSilentFailed : kSilentBadArguments);
    case ChoiceProblem::MenuFolder:
      failures.push_back("the start-menu folder " + choices.menuFolder + " cannot be used");
      return end(kSilentFailed);
  }

  // Nothing is touched while the program to install runs; no one is there
  // to close it.
  if (ProgramToInstallRuns(state.settings)) {
    failures.push_back(state.settings.titel + " is running");
    return end(kSilentStopped);
  }

  // WhileBR.exe keeps the user company beside the wizard: not started here.
  const InstallationOutcome outcome =
      brindorel::RunInstallation({state.settings, choices, state.workFolder}, texts, surface, EventPump());
  state.installFolder = outcome.installFolder;
  state.installationRan = true;
  AddFailures(outcome.results, failures);

  RunAfterProgram(state);
  return end(SilentExitFor(outcome.complete, state.settings.reboot != 0));
}

}  // namespace brindorel
