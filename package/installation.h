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

#include "package/installation_plan.h"

namespace brindorel {

class ControlSurface;
struct InstallerState;
struct InterfaceTexts;

// Takes and discards waiting window events.
using EventPump = std::function<void()>;

// `state.settings` must hold the start-up and wizard passes; the run reads
// the installation pass itself. Sets state.installFolder and
// state.installationIncomplete; when the program's files are not in place,
// RunProgramBox is unchecked and disabled.
InstallationResults RunInstallation(InstallerState& state, const InterfaceTexts& texts, ControlSurface& surface,
                                    const WizardChoices& choices, const EventPump& pump);

// CreateShortcut with the link's fields, show command 1, no description and
// no hot key; true when the link file was saved.
bool SaveShortcut(const ShortcutPlan& link);

}  // namespace brindorel
