// The installation run: reads the installation's settings, plans it
// (installation_plan.h) and carries the plan out on Windows
// (installation_win.cpp): the program files from "setup.pck", the uninstall
// entry, the desktop and start-menu links, the product key, the [UserTask]
// tasks and the uninstall record. Progress lines go only through the control
// surface; between steps `pump` lets the window repaint (it may be empty, as
// for a run without a window). Every step's result is kept: a step that
// failed carries the failure mark in its line, and when the installation
// folder cannot be made or "setup.pck" cannot be read, nothing that would
// name the program's files is written.
#pragma once

#include <functional>

#include "install/choices.h"
#include "install/installation_plan.h"
#include "install/settings.h"

namespace brindorel {

class ControlSurface;
struct InterfaceTexts;

// Takes and discards waiting window events.
using EventPump = std::function<void()>;

// What a run needs: the settings of the start-up and wizard passes (the run
// reads the installation pass itself, into its own copy), the user's choices
// as SettleChoices left them, and the working folder holding "setup.ini" and
// "setup.pck".
struct InstallationRequest {
  Settings settings;
  InstallChoices choices;
  std::string workFolder;
};

struct InstallationOutcome {
  InstallationResults results;
  std::string installFolder;  // as resolved, ending in "\"
  bool complete = false;      // every step succeeded
  bool packageDamaged = false;
};

// Carries an installation out. When the program's files are not in place,
// RunProgramBox is unchecked and disabled.
InstallationOutcome RunInstallation(const InstallationRequest& request, const InterfaceTexts& texts,
                                    ControlSurface& surface, const EventPump& pump);

// CreateShortcut with the link's fields, show command 1, no description and
// no hot key; true when the link file was saved.
bool SaveShortcut(const ShortcutPlan& link);

}  // namespace brindorel
