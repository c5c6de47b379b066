// The editor's run on GTK 4, from the application's window to the ordered shutdown, for a given
// set of worker services (MIDI ports, firmware fetch, cabinet commands). GUI thread: the
// process's entry calls it once.
#pragma once

#include "device/worker.h"

namespace nimba {

// Runs the application: one window with the drawing area, the editor state and the worker
// started with `services`, the main loop, then the shutdown. Returns the process's exit code;
// does not return when the worker could not be stopped in time (the process ends then,
// leaving the state to the worker).
int run_editor(worker_services services);

} // namespace nimba
