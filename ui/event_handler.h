// The editor's event callback: paint runs the renderer; pointer move, left button down and the
// wheel act on the hit regions through the control table; the timer asks for a paint when the
// outcome line has expired. It edits the editor state and queues commands for the worker; it
// never talks to the amplifier and never sleeps. GUI thread only.
#pragma once

#include <cstdint>

#include "core/state.h"
#include "ui/ui_context.h"

namespace nimba {

void handle_event(editor_state& state, ui_context& ui, int32_t event);

} // namespace nimba
