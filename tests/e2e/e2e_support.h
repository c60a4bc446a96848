// What the whole-installer tests share: where things are, installers built
// from the example package with the Windows builder, and the working folder.
#pragma once

#include <string>
#include <vector>

#include "services/ini_document.h"

namespace brindorel::e2e {

extern const char kWizardClass[];  // "BrindorelWizard"

// The test program's folder, with a final "\"; the Windows build tree is its parent.
std::string OwnFolder();
std::string BuildDir();
// Where the tests keep their installers and screenshots: OwnFolder() + "e2e-out\".
std::string OutFolder();
// A file of the source tree, as Wine sees it.
std::string SourcePath(const std::string& relative);
// The installer's working folder: the temporary folder + "Brindorel\".
std::string WorkFolder();

bool Exists(const std::string& path);
IniDocument ReadIni(const std::string& path);

// Builds OutFolder() + `name` from a package folder with brindorel-pack.exe,
// the demo programs added to program/; `extraArguments` go to the builder.
// The empty text when the build failed.
std::string BuildInstaller(const std::string& packageFolder, const std::string& name,
                           const std::string& extraArguments = "");

// Ends every process whose file name is `name` (A-Z case ignored); a name
// ending in "*" matches every file name starting with the rest.
void KillProcesses(const std::string& name);

// The screen's resolution for the programs started while it lives: Wine
// takes it from HKEY_CURRENT_USER\Control Panel\Desktop "LogPixels" when a
// program starts (and never stretches a window). The value is removed again
// at the end (CTest's cleanup fixture removes it after a test that died).
class ScreenDpi {
 public:
  explicit ScreenDpi(int dpi);
  ~ScreenDpi();
  ScreenDpi(const ScreenDpi&) = delete;
  ScreenDpi& operator=(const ScreenDpi&) = delete;
};

// A copy of examples/acme-demo in OutFolder() + `name`, without the files
// named in `without` (relative, "\"-separated).
std::string CopyOfExample(const std::string& name, const std::vector<std::string>& without);

}  // namespace brindorel::e2e
