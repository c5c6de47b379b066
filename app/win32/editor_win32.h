// The editor's run on Windows, from the main window to the ordered shutdown, for a given set of
// worker services (MIDI ports, firmware fetch, cabinet commands). GUI thread: the process's
// entry calls it once.
#pragma once

#include "device/worker.h"

namespace nimba {

// Creates the window, builds the editor state, starts the worker, runs the message loop and
// shuts down. Returns the process's exit code; does not return when the worker could not be
// stopped in time (the process ends then, leaving the state to the worker).
int run_editor(worker_services services);

} // namespace nimba
