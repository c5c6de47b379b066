// The controls' DOM mirror beside the canvas (aria_web.js builds and keeps it): after each paint
// the accessible reading's changes and the status texts go to the page, and the mirror's keys,
// focus moves and presses come back through the editor's own key and control paths. Main
// thread only.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/state.h"
#include "ui/ui_context.h"

namespace nimba {

// Hands the page what changed in the reading and the status texts since the last call (all of
// it on the first), with the time the update took.
void update_aria_mirror(const editor_state& state, const ui_context& ui);

// The editor key a keydown's KeyboardEvent.key names (Shift held: `shift`); key_none for any
// key the editor does not take.
int32_t editor_key_of(std::string_view key, bool shift);

} // namespace nimba
