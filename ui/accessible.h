// What assistive technology is told of the screen: every control in reading order with its
// role, name, state and its place in the last pass, which the platform layers mirror (AT-SPI
// children, UI Automation fragments, the browser's DOM). GUI thread only, after a pass.
#pragma once

#include <array>
#include <cstdint>

#include "core/state.h"
#include "ui/control_table.h"
#include "ui/ui_context.h"

namespace nimba {

struct accessible_control {
    int32_t id = -1; // the control's first id: the same from pass to pass
    access_role role = access_role::part;
    bool shown = false;     // it answers on the page shown
    bool focused = false;   // it has the keyboard's focus
    bool pressable = false; // a press (Space) does something: press_control
    bool steppable = false; // a spin its arrows step: step_control
    rect bounds;            // its regions and its steppers' in the last pass, in drawing units
    control_access access;
};

using accessible_tree = std::array<accessible_control, focus_stop_count>;

// Fills every entry of `tree` from the state and the regions the last pass registered.
void read_accessible_tree(const editor_state& state, const ui_context& ui, accessible_tree& tree);

// Whether two readings differ in anything assistive technology is told.
bool same_reading(const accessible_control& a, const accessible_control& b);

} // namespace nimba
