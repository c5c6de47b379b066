// The keyboard's focus over the control table's reading order: the controls it stops at on the
// page shown, the stop an id belongs to, the moves of Tab and of the arrows in a group, and the
// controls the focus ring is drawn around. GUI thread only.
#pragma once

#include <cstdint>

#include "core/state.h"
#include "ui/ui_context.h"

namespace nimba {

// The control the focus stops at for id: id itself, or the spin that part steps; -1 for an id
// no control has.
int32_t focus_stop_of(int32_t id);

// The next (forward) or previous shown control after `from` in reading order, wrapping; from
// -1 (or a control no longer shown) it starts at its place in the order, or at the ends. -1
// when no control is shown.
int32_t next_focus_stop(const editor_state& state, const ui_context& ui, int32_t from,
                        bool forward);

// For a radio or a listed cabinet: the next or previous one of its row, wrapping; -1 for any
// other control.
int32_t neighbour_in_group(int32_t id, bool forward);

// Whether the focus ring takes in control `id` in this pass: the ring is shown and id is the
// focused control or one of its steppers, on the page shown.
bool in_focus_ring(const editor_state& state, const ui_context& ui, int32_t id);

} // namespace nimba
