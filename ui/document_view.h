// The licence and readme documents in the wizard's read-only rich-text views.
// Windows only; the window is the one BuildWizardWindow made.
#pragma once

#include <string>

#include "ui/control_surface.h"

namespace brindorel {

class WizardWindowSurface;

// Streams the file into the rich-text view `control`, replacing its content:
// Rich Text Format for a ".rtf" path, plain text in the system's code page
// otherwise, at most kDocumentMaxBytes of it. Before streaming the view gets
// the default GUI font and the text limit kDocumentTextLimit. A file that
// cannot be opened leaves the view as it was; after a read error the view
// keeps what was read.
void LoadTextIntoView(WizardWindowSurface& window, int control, const std::string& path);

// The documents of a package in `workFolder`: "licence" (".rtf", else
// ".txt") into LicenceView, then DeclineOption selected, then "readme" the
// same way into ReadmeView. `surface` is the one the page flow watches.
void LoadPackageDocuments(WizardWindowSurface& window, ControlSurface& surface, const std::string& workFolder);

}  // namespace brindorel
