// The main window record: the editor's event callback, the title and the application id.
// Portable: the Windows layer (main_win32.cpp) owns the HWND; this record is what the rest of
// the editor sees of the window. GUI thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace nimba {

// Editor event codes handed to on_event.
enum editor_event : int32_t {
    event_paint = 0,
    event_activate = 1,
    event_pointer_move = 2,
    event_left_down = 3,
    event_left_up = 4,
    event_right_down = 5,
    event_right_up = 6,
    event_wheel = 7,
    event_timer = 8,
    event_key = 9, // a key went down: key_input::key says which
};

// The keys the editor takes, as every platform layer names them for event_key.
enum editor_key : int32_t {
    key_none = 0,
    key_tab = 1,
    key_back_tab = 2, // Shift+Tab
    key_space = 3,
    key_enter = 4,
    key_escape = 5,
    key_left = 6,
    key_right = 7,
    key_up = 8,
    key_down = 9,
    key_page_up = 10,
    key_page_down = 11,
};

struct main_window {
    std::function<void(int32_t)> on_event;
    std::string title;
    std::string app_id;
    bool running = false;
};

// Last pointer position in window pixels and the accumulated wheel notches; written by the
// window procedure, read (and the notches cleared) by the event handler. GUI thread only.
struct pointer_input {
    int32_t pointer_x = 0;
    int32_t pointer_y = 0;
    int32_t wheel_steps = 0;
};

// The key of the last event_key; written by the window procedure, read by the event handler.
// GUI thread only.
struct key_input {
    int32_t key = key_none;
};

// The window's size by default and at least: on Windows the outer window, on GTK the drawing
// area, in drawing units.
inline constexpr int32_t view_units_wide = 1024;
inline constexpr int32_t view_units_high = 720;

// How often the window delivers event_timer.
inline constexpr int32_t timer_period_ms = 500;

inline constexpr const char* window_title = "Corvane Editor";
inline constexpr const char* application_id = "com.corvane.NimbaEditor";

} // namespace nimba
