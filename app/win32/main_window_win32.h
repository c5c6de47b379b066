// The main window on Windows: COM on the GUI thread, the Direct2D factory, the window class, the
// DPI-scaled window with its timer, the window procedure that turns messages into editor events,
// and the message loop. GUI thread only; request_repaint may be called from any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ui/window.h"

struct HWND__;

namespace nimba {

struct d2d_drawing;
struct uia_root;

// The process-wide values of the main window. The worker reads only `hwnd`.
struct main_window_values {
    main_window* record = nullptr; // the first window record; a second never replaces it
    HWND__* hwnd = nullptr;        // null when no window was made
    pointer_input pointer;         // written by the window procedure
    key_input keys;                // written by the window procedure
    d2d_drawing* drawing = nullptr;
    // Files dropped on the window at (x, y) in drawing units; may be empty.
    std::function<void(int32_t x, int32_t y, const std::vector<std::wstring>& paths)> on_drop;
    uia_root* accessibility = nullptr; // answers UI Automation's WM_GETOBJECT while set
};
main_window_values& main_window_globals();

enum class window_creation {
    created,
    already_exists, // another window record came first; this one stays without a window
    com_failed,
    factory_failed,
    class_failed,
    window_failed,
};

// Outer window size in pixels for `units` drawing units at `dpi`: ceiling(dpi * units / 96),
// computed in single precision.
int32_t window_pixels(float dpi, int32_t units);

// The editor's key for a virtual key code, Shift held or not; key_none for any other.
int32_t editor_key_of(uintptr_t virtual_key, bool shift);

// Wheel notches of one WM_MOUSEWHEEL delta, truncated toward zero (a delta of 60 is 0).
int32_t wheel_notches(int16_t delta);

// Fills the record, initialises COM, makes the Direct2D factory, registers the class and creates
// the 1024 x 720 unit window with its 500 ms timer. The window is not shown yet.
window_creation create_main_window(main_window& record, const std::string& title,
                                   const std::string& app_id);

// Shows the window, fills its client area with the start colour and paints it once.
void show_main_window();

// Runs the message loop until the window is closed or WM_QUIT arrives.
void run_message_loop(main_window& record);

// Asks the main window for a paint (RedrawWindow with RDW_INTERNALPAINT). Any thread.
void request_repaint();

// Makes the system arrow the window class's cursor.
void set_arrow_cursor();

} // namespace nimba
