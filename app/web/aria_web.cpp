// The accessible reading handed to aria_web.js: only the controls whose reading changed, with
// their names and value texts as UTF-8.
#include "app/web/aria_web.h"

#include <emscripten.h>

#include <string>

#include "core/file_access.h"
#include "ui/accessible.h"
#include "ui/slot_panel.h"
#include "ui/window.h"

namespace nimba {

namespace {

struct aria_mirror {
    accessible_tree now; // kept here: a reading is too big for the stack of every frame
    accessible_tree last;
    bool fresh = true; // nothing handed over yet
    std::wstring status;
};
aria_mirror mirror;

// clang-format off
EM_JS(void, js_control, (int index, int id, const char* role, int shown, int focused,
                         int pressable, int enabled, int on, int value, int minimum, int maximum,
                         int x, int y, int width, int height, const char* name,
                         const char* value_text), {
    Module.nimbaAria.control(index, id, UTF8ToString(role), shown !== 0, focused !== 0,
                             pressable !== 0, enabled !== 0, on !== 0, value, minimum, maximum,
                             x, y, width, height, UTF8ToString(name), UTF8ToString(value_text));
});
EM_JS(void, js_group_name, (const char* name), { Module.nimbaAria.groupName(UTF8ToString(name)); });
EM_JS(void, js_status, (const char* text), { Module.nimbaAria.status(UTF8ToString(text)); });
EM_JS(void, js_done, (double milliseconds), { Module.nimbaAria.done(milliseconds); });
// clang-format on

// The ARIA role that tells a browser's assistive technology what the control is.
const char* aria_role(access_role role) {
    switch (role) {
    case access_role::toggle:
        return "switch";
    case access_role::radio:
        return "radio";
    case access_role::spin:
        return "spinbutton";
    case access_role::list_item:
        return "option";
    default:
        return "button";
    }
}

void hand_over(int32_t index, const accessible_control& c) {
    const control_access& a = c.access;
    const rect& r = c.bounds;
    js_control(index, c.id, aria_role(c.role), c.shown, c.focused, c.pressable, a.enabled, a.on,
               a.value, a.minimum, a.maximum, r.x, r.y, r.width, r.height,
               utf8_from_wide(a.name.view()).c_str(), utf8_from_wide(a.value_text.view()).c_str());
}

} // namespace

void update_aria_mirror(const editor_state& state, const ui_context& ui) {
    const double start = emscripten_get_now();
    accessible_tree& now = mirror.now;
    read_accessible_tree(state, ui, now);
    if (mirror.fresh) js_group_name(utf8_from_wide(slot_panel_title).c_str());
    for (int32_t i = 0; i < focus_stop_count; ++i) {
        if (!mirror.fresh && same_reading(mirror.last[i], now[i])) continue;
        hand_over(i, now[i]);
        mirror.last[i] = now[i];
    }
    mirror.fresh = false;
    if (ui.status.view() != mirror.status) {
        mirror.status.assign(ui.status.view());
        js_status(utf8_from_wide(mirror.status).c_str());
    }
    js_done(emscripten_get_now() - start);
}

int32_t editor_key_of(std::string_view key, bool shift) {
    struct named_key {
        std::string_view name;
        int32_t key;
    };
    static constexpr named_key keys[] = {
        {"Tab", key_tab},        {" ", key_space},
        {"Enter", key_enter},    {"Escape", key_escape},
        {"ArrowLeft", key_left}, {"ArrowRight", key_right},
        {"ArrowUp", key_up},     {"ArrowDown", key_down},
        {"PageUp", key_page_up}, {"PageDown", key_page_down},
    };
    for (const named_key& k : keys)
        if (k.name == key) return k.key == key_tab && shift ? key_back_tab : k.key;
    return key_none;
}

} // namespace nimba
