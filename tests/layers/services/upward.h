// A file against the layers, for the test of the check: a service
// reaching up into the run.
#pragma once

#include "core/installer_state.h"
