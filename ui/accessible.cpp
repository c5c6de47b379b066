// The accessible reading of the screen.
#include "ui/accessible.h"

#include "ui/focus.h"

namespace nimba {

namespace {

bool same_text(const text_buffer& a, const text_buffer& b) {
    return a.view() == b.view();
}

} // namespace

void read_accessible_tree(const editor_state& state, const ui_context& ui, accessible_tree& tree) {
    for (int32_t i = 0; i < focus_stop_count; ++i) {
        const int32_t id = reading_order[i];
        accessible_control& c = tree[i];
        c.id = id;
        const control_row& row = *find_control(id);
        c.role = row.role;
        c.pressable = control_pressable(row, id);
        c.steppable = row.step_down >= 0;
        c.shown = control_shown(state, ui, id);
        c.focused = ui.focus == id;
        c.bounds = {};
        c.access = read_control_access(state, ui, id);
    }
    for (const hit_region& region : ui.hit_regions) {
        if (region.kind == region_hover) continue; // the click region has the same place
        const int32_t stop = focus_stop_of(region.id);
        for (accessible_control& c : tree)
            if (c.id == stop)
                c.bounds = bounding(c.bounds, {region.x, region.y, region.width, region.height});
    }
}

bool same_reading(const accessible_control& a, const accessible_control& b) {
    const control_access &x = a.access, &y = b.access;
    return a.id == b.id && a.role == b.role && a.shown == b.shown && a.focused == b.focused &&
           a.pressable == b.pressable && a.steppable == b.steppable && a.bounds.x == b.bounds.x &&
           a.bounds.y == b.bounds.y && a.bounds.width == b.bounds.width &&
           a.bounds.height == b.bounds.height && same_text(x.name, y.name) &&
           x.enabled == y.enabled && x.on == y.on && x.value == y.value && x.minimum == y.minimum &&
           x.maximum == y.maximum && same_text(x.value_text, y.value_text);
}

} // namespace nimba
