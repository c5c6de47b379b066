// The editor's event callback: paint runs the renderer; pointer move, left button down and the
// wheel act on the hit regions through the control table, keys on the focused control; the timer
// asks for a paint when the outcome line has expired. It edits the editor state and queues
// commands for the worker; it never talks to the amplifier and never sleeps. GUI thread only.
#pragma once

#include <cstdint>

#include "core/state.h"
#include "ui/ui_context.h"

namespace nimba {

void handle_event(editor_state& state, ui_context& ui, int32_t event);

// Assistive technology acting on a control of the reading order: a press (Space on it) or a
// step of a spin up or down (its arrow keys). The focus moves there, its ring stays as it was;
// ignored while input is locked, as clicks are.
void press_control(editor_state& state, ui_context& ui, int32_t id);
void step_control(editor_state& state, ui_context& ui, int32_t id, bool up);

} // namespace nimba
