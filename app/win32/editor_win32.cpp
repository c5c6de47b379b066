// The editor's run on Windows: start-up in order (window, state, worker, show), the message
// loop and the shutdown, which never frees what a still-running worker may touch.
#include "app/win32/editor_win32.h"

#include <windows.h>

#include <objbase.h>

#include "app/cabinet_preview.h"
#include "app/editor.h"
#include "app/win32/d2d_canvas_win32.h"
#include "app/win32/main_window_win32.h"
#include "app/win32/uia_provider_win32.h"
#include "ui/accessible.h"
#include "ui/event_handler.h"

namespace nimba {

namespace {

int exit_code_of(window_creation failure) {
    switch (failure) {
    case window_creation::com_failed:
        return exit_no_com;
    case window_creation::factory_failed:
        return exit_no_factory;
    default:
        return exit_no_window;
    }
}

} // namespace

int run_editor(worker_services services) {
    picture_start pictures;
    start_pictures(pictures);
    const precise_waits waits; // 5 ms polls, not 15.6 ms timer ticks
    main_window window;
    const window_creation created = create_main_window(window, window_title, application_id);
    // Without a window nothing could ever end the message loop.
    if (created != window_creation::created) return exit_code_of(created);
    if (const std::string fault = finish_pictures(pictures); !fault.empty()) {
        MessageBoxA(nullptr, fault.c_str(), window_title, MB_OK | MB_ICONERROR);
        CoUninitialize();
        return exit_bad_picture;
    }

    main_window_values& globals = main_window_globals();
    ui_context ui;
    ui.target = &drawing_canvas(*globals.drawing);
    ui.pointer = &globals.pointer;
    ui.keys = &globals.keys;
    ui.clock = &steady_clock_seam();
    ui.repaint = request_repaint;
    ui.set_arrow_cursor = set_arrow_cursor;

    editor_session session;
    editor_state& s = *session.state;
    // After each paint the UI Automation tree takes the reading of the regions just drawn.
    accessible_tree reading;
    const bool started = start_editor(
        session, window,
        [&s, &ui, &globals, &reading](int32_t event) {
            ui.dpi = render_target_dpi(*globals.drawing);
            editor_event(s, ui, event);
            if (event != event_paint || !globals.accessibility) return;
            read_accessible_tree(s, ui, reading);
            update_uia_root(*globals.accessibility, reading, ui.status.view(), ui.dpi);
        },
        request_repaint, std::move(services));
    if (!started) {
        CoUninitialize();
        return exit_no_worker;
    }
    globals.accessibility = create_uia_root(
        globals.hwnd, {[&s, &ui](int32_t id) { press_control(s, ui, id); },
                       [&s, &ui](int32_t id, bool up) { step_control(s, ui, id, up); }});

    globals.on_drop = [&s, &ui](int32_t x, int32_t y, const std::vector<std::wstring>& paths) {
        drop_files(s, ui, x, y, paths);
    };
    show_main_window();
    run_message_loop(window);
    globals.on_drop = nullptr;
    // No element acts on the state once the loop is over.
    release_uia_root(globals.accessibility);
    globals.accessibility = nullptr;

    CoUninitialize();
    // A worker that could not be stopped keeps the state: end the process, worker and all,
    // without running any teardown that could pull something from under it.
    if (!stop_editor(session)) TerminateProcess(GetCurrentProcess(), 0);
    return 0;
}

} // namespace nimba
