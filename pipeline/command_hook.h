// The command hook: drives one run of the command from the menu click to the
// end, as one undoable step.
#pragma once

#include "aegp.h"

namespace outfold {

// Called by the host for every command; acts only on the plug-in's own
// command when no other hook has handled it. Returns the run's error.
A_Err command_hook(AEGP_GlobalRefcon pluginRefcon, AEGP_CommandRefcon refcon, AEGP_Command command,
                   AEGP_HookPriority priority, A_Boolean alreadyHandled, A_Boolean* handled);

}  // namespace outfold
