// The browser edition's entry: the editor or its demo (the page says which), once the pictures
// the page handed in are found sound (else the page says which is not), its worker started on a
// pthread, and the functions the page calls from its animation frames, pointer, wheel,
// focus and drop events (site.js) and from the controls' mirror (aria_web.js). main returns at
// once; the page keeps the runtime.
// Main thread only, except request_repaint.
#include <emscripten.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <string>
#include <vector>

#include "app/cabinet_preview.h"
#include "app/editor.h"
#include "app/web/aria_web.h"
#include "app/web/files_web.h"
#include "app/web/html_canvas_web.h"
#include "app/web/midi_ports_web.h"
#include "core/file_access.h"
#include "ir/cabinet_commands.h"
#include "ui/control_table.h"
#include "ui/event_handler.h"
#include "ui/focus.h"

namespace nimba {

namespace {

struct web_editor {
    main_window record;
    editor_session session;
    ui_context ui;
    pointer_input pointer;
    key_input keys;
    double pixel_ratio = 1;
    int32_t width = 0;
    int32_t height = 0;
};
web_editor editor;

// Set by any thread; the next animation frame paints.
std::atomic<bool> repaint_wanted{true};

// While the link is busy its progress asks for a paint every few milliseconds, and each paint
// holds the main thread that carries the Web MIDI messages: a paint then comes at most this
// often (a resize still paints at once).
constexpr double busy_paint_interval_ms = 100;
double last_paint_ms = 0;

void request_repaint() {
    repaint_wanted.store(true);
}

void deliver(int32_t event) {
    if (editor.record.on_event) editor.record.on_event(event);
}

// clang-format off
EM_JS(int, page_is_demo, (), { return Module.nimbaMode === 'demo' ? 1 : 0; });
// Empty when the page holds MIDI access (and its ports are then published), else the reason.
EM_JS(char*, page_midi_refusal, (), {
    if (Module.nimbaMidiAccess) {
        Module.nimbaMidi.start(Module.nimbaMidiAccess);
        return 0;
    }
    const reason = Module.nimbaMidiRefusal || 'this browser offers no Web MIDI';
    const size = lengthBytesUTF8(reason) + 1;
    const text = _malloc(size);
    stringToUTF8(reason, text, size);
    return text;
});
// The page shows why the editor cannot start, in place of the editor.
EM_JS(void, page_start_fault, (const char* reason), { Module.nimbaStartFault(UTF8ToString(reason)); });
// clang-format on

// Both editions' cabinet commands, with EXTRACT ALL's folder offered as one zip download.
void run_web_cabinet_command(device_link& link, int32_t command) {
    run_cabinet_command(link, command, pick_path_web);
    if (command == command_export_all) offer_folder_as_zip(web_export_folder, "nimba-cabinets.zip");
}

// BACKUP's file becomes a download; RESTORE asks the page's file input.
void add_web_librarian(worker_services& services) {
    services.pick_backup_path = pick_path_web;
    services.backup_written = [](const std::wstring& path) { offer_file_download(path); };
}

worker_services page_services() {
    if (page_is_demo()) {
        worker_services services = demo_services(std::wstring(), pick_path_web);
        services.cabinet_command = run_web_cabinet_command;
        add_web_librarian(services);
        return services;
    }
    if (char* refusal = page_midi_refusal()) {
        set_web_midi_refusal(refusal);
        free(refusal);
    }
    // No firmware fetch and no backup folder: a page never updates the amplifier's firmware.
    worker_services services;
    services.ports = web_midi_port_factory();
    services.cabinet_command = run_web_cabinet_command;
    add_web_librarian(services);
    return services;
}

void store_pointer(double x, double y) {
    editor.pointer.pointer_x = static_cast<int32_t>(std::floor(x * editor.pixel_ratio));
    editor.pointer.pointer_y = static_cast<int32_t>(std::floor(y * editor.pixel_ratio));
}

} // namespace

} // namespace nimba

using namespace nimba;

// A paint when one was asked for or the view changed: width x height CSS pixels at `ratio`
// device pixels each. Returns 1 when it painted.
extern "C" EMSCRIPTEN_KEEPALIVE int nimba_frame(int width, int height, double ratio) {
    const bool resized =
        width != editor.width || height != editor.height || ratio != editor.pixel_ratio;
    if (!repaint_wanted.load() && !resized) return 0;
    const double now = emscripten_get_now();
    if (!resized && editor.session.state->link_status == link_busy &&
        now - last_paint_ms < busy_paint_interval_ms)
        return 0;
    repaint_wanted.store(false);
    last_paint_ms = now;
    editor.width = width;
    editor.height = height;
    editor.pixel_ratio = ratio > 0 ? ratio : 1;
    paint_html_canvas("#editor", width, height, editor.pixel_ratio, [](canvas& target) {
        editor.ui.target = &target;
        deliver(event_paint);
        editor.ui.target = nullptr;
    });
    update_aria_mirror(*editor.session.state, editor.ui);
    return 1;
}

// Pointer move, left button down or up (editor_event codes) at CSS pixel (x, y).
extern "C" EMSCRIPTEN_KEEPALIVE void nimba_pointer(int event, double x, double y) {
    store_pointer(x, y);
    deliver(event);
}

// Whole wheel notches, away from the user positive.
extern "C" EMSCRIPTEN_KEEPALIVE void nimba_wheel(int notches, double x, double y) {
    store_pointer(x, y);
    editor.pointer.wheel_steps += notches;
    deliver(event_wheel);
}

// The timer's tick or a change of focus.
extern "C" EMSCRIPTEN_KEEPALIVE void nimba_event(int event) {
    if (event == event_timer || event == event_activate) deliver(event);
}

// A keydown the mirror or the page took: KeyboardEvent.key, and whether Shift was held. Returns
// 1 when the editor takes the key (it then acts as on the desktop), 0 for the browser's own.
extern "C" EMSCRIPTEN_KEEPALIVE int nimba_key(const char* key, int shift) {
    const int32_t k = editor_key_of(key, shift != 0);
    if (k == key_none) return 0;
    editor.keys.key = k;
    deliver(event_key);
    return 1;
}

// The mirror's element for control `id` took the focus on its own (assistive technology, or
// Tab from outside the page): the focus ring goes there.
extern "C" EMSCRIPTEN_KEEPALIVE void nimba_focus(int id) {
    ui_context& ui = editor.ui;
    if (focus_stop_of(id) != id || !control_shown(*editor.session.state, ui, id)) return;
    if (ui.focus == id && ui.focus_shown) return;
    ui.focus = id;
    ui.focus_shown = true;
    request_repaint();
}

// Assistive technology clicked the mirror's element for control `id`.
extern "C" EMSCRIPTEN_KEEPALIVE void nimba_press(int id) {
    if (editor.record.on_event) press_control(*editor.session.state, editor.ui, id);
}

// `count` files dropped at CSS pixel (x, y), the first already in the file system at `path`
// (the others are not stored: one slot takes one file). On a slot's row the preview opens, with
// the file or refusing several. Returns 1 then.
extern "C" EMSCRIPTEN_KEEPALIVE int nimba_drop(double x, double y, int count, const char* path) {
    if (count < 1 || !std::isfinite(x) || !std::isfinite(y)) return 0;
    std::vector<std::wstring> paths(static_cast<size_t>(count));
    paths[0] = wide_from_utf8(path);
    const auto unit = [](double v) {
        return static_cast<int32_t>(std::floor(std::clamp(v, -1e9, 1e9)));
    };
    return drop_files(*editor.session.state, editor.ui, unit(x), unit(y), paths) ? 1 : 0;
}

int main() {
    if (const std::string fault = check_pictures(); !fault.empty()) {
        page_start_fault(fault.c_str());
        return exit_bad_picture;
    }
    editor.record.title = window_title;
    editor.record.app_id = application_id;
    editor.ui.pointer = &editor.pointer;
    editor.ui.keys = &editor.keys;
    editor.ui.clock = &steady_clock_seam();
    editor.ui.repaint = request_repaint;
    editor_state& state = *editor.session.state;
    const bool started = start_editor(
        editor.session, editor.record,
        [&state](int32_t event) {
            editor.ui.dpi = static_cast<float>(96.0 * editor.pixel_ratio);
            editor_event(state, editor.ui, event);
        },
        request_repaint, page_services());
    return started ? 0 : exit_no_worker;
}
