// The editor's entry: the main window, the editor state, the message loop and the ordered
// shutdown. Runs on the GUI thread.
#include <windows.h>

#include <objbase.h>

#include <memory>

#include "app/draw/d2d_canvas_win32.h"
#include "app/main_window_win32.h"
#include "app/state.h"
#include "tests/shell/canvas_scene.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    using namespace nimba;
    main_window window;
    const window_creation created = create_main_window(window, window_title, application_id);
    // Without a window nothing could ever end the message loop.
    if (created != window_creation::created) return static_cast<int>(created);

    auto state = std::make_unique<editor_state>();
    const scene_pictures pictures = make_scene_pictures();
    canvas& target = drawing_canvas(*main_window_globals().drawing);
    build_editor_state(*state, &window, [&](int32_t event) {
        if (event == event_paint) draw_canvas_scene(target, pictures);
    });

    show_main_window();
    run_message_loop(window);

    CoUninitialize();
    destroy_editor_state(*state);
    return 0;
}
