// The editor's entry: the main window, the editor state, the message loop and the ordered
// shutdown. Runs on the GUI thread.
#include <windows.h>

#include <objbase.h>

#include <memory>

#include "app/draw/d2d_canvas_win32.h"
#include "app/main_window_win32.h"
#include "app/state.h"
#include "ui/event_handler.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    using namespace nimba;
    main_window window;
    const window_creation created = create_main_window(window, window_title, application_id);
    // Without a window nothing could ever end the message loop.
    if (created != window_creation::created) return static_cast<int>(created);

    main_window_values& globals = main_window_globals();
    ui_context ui;
    ui.target = &drawing_canvas(*globals.drawing);
    ui.pointer = &globals.pointer;
    ui.clock = &steady_clock_seam();
    ui.repaint = request_repaint;
    ui.set_arrow_cursor = set_arrow_cursor;

    auto state = std::make_unique<editor_state>();
    editor_state& s = *state;
    build_editor_state(s, &window, [&s, &ui, &globals](int32_t event) {
        ui.dpi = render_target_dpi(*globals.drawing);
        handle_event(s, ui, event);
    });

    show_main_window();
    run_message_loop(window);

    CoUninitialize();
    destroy_editor_state(s);
    return 0;
}
