// The editor's run: start-up in order (window, state, worker, show), the message loop and the
// shutdown, which never frees what a still-running worker may touch.
#include "app/editor_win32.h"

#include <windows.h>

#include <objbase.h>

#include <memory>
#include <system_error>

#include "app/draw/d2d_canvas_win32.h"
#include "app/main_window_win32.h"
#include "app/state.h"
#include "ui/event_handler.h"

namespace nimba {

namespace {

// How long closing the window waits for the worker. Every wait of the worker checks the stop
// request, so only a blocking call (a picker, a stalled download) takes longer.
constexpr int32_t worker_stop_timeout_ms = 200;

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
    main_window window;
    const window_creation created = create_main_window(window, window_title, application_id);
    // Without a window nothing could ever end the message loop.
    if (created != window_creation::created) return exit_code_of(created);

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

    auto link = std::make_unique<device_link>();
    link->window = &window;
    link->state = &s;
    link->clock = &steady_clock_seam();
    link->repaint = request_repaint;
    try {
        start_worker(*link, std::move(services));
    } catch (const std::system_error&) {
        destroy_editor_state(s);
        CoUninitialize();
        return exit_no_worker;
    }

    show_main_window();
    run_message_loop(window);

    CoUninitialize();
    if (!stop_worker(*link, worker_stop_timeout_ms)) {
        // The worker is inside a call that does not look at the stop request and may still use
        // the link and the state: leave both to it and end the process at once, worker and
        // all, without running any teardown that could pull something from under it.
        link.release();
        state.release();
        TerminateProcess(GetCurrentProcess(), 0);
    }
    destroy_editor_state(s);
    return 0;
}

} // namespace nimba
