// The editor's wiring that every platform edition shares: the state and the device link built
// together, the window's event callback, the worker started with its services, and the
// shutdown in the one order that never frees what a running worker may touch. GUI thread.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "device/link.h"
#include "device/worker.h"
#include "ir/picker.h"
#include "ui/window.h"

namespace nimba {

// The editions' exit codes besides 0 (closed normally). The COM and Direct2D ones are the
// Windows edition's only.
enum : int {
    exit_no_com = 2,
    exit_no_factory = 3,
    exit_no_window = 4,
    exit_no_worker = 5,
    exit_bad_picture = 6,
};

// The built-in pictures at start-up, on a thread of their own while the window is made: every
// picture's PNG checked whole, and the pictures the first frame of a fresh state draws decoded,
// so that frame does not wait for them; then the PNGs' pages are given back. Any other picture
// is decoded when first drawn.
struct picture_start {
    std::thread thread;
    std::string fault;
    ~picture_start(); // waits for the thread
};
void start_pictures(picture_start& start);
// Waits for the thread: "" when every picture is sound, else a line naming the first that is
// not, for the edition to show before it exits with exit_bad_picture.
std::string finish_pictures(picture_start& start);
// The same work and answer on the calling thread (the browser's main thread must not wait).
std::string check_pictures();

// How long closing the window waits for the worker. Every wait of the worker checks the stop
// request, so only a blocking call (a picker, a stalled download) takes longer.
inline constexpr int32_t worker_stop_timeout_ms = 200;

struct editor_session {
    std::unique_ptr<editor_state> state = std::make_unique<editor_state>();
    std::unique_ptr<device_link> link = std::make_unique<device_link>();
    main_window* window = nullptr;
};

// Builds the state, hands the window's events to on_event, points the link at the state, the
// steady clock and the repaint request, and starts the worker. False when the thread could not
// be started; the state is destroyed again then.
bool start_editor(editor_session& session, main_window& window,
                  std::function<void(int32_t)> on_event, repaint_request repaint,
                  worker_services services);

// Stops the worker within worker_stop_timeout_ms, then destroys the state and clears the
// window's event callback. False when the worker is still inside a call that ignores the stop
// request: the state and the link are left to it, never freed, and the caller must end the
// process at once.
bool stop_editor(editor_session& session);

// The editor's services: RtMidi's ports, the platform's firmware fetch, the platform's backup
// folder, and the cabinet commands, BACKUP and RESTORE with the platform's path picker.
worker_services editor_services(path_picker pick);

// The demo's services: the built-in virtual amplifier in place of the MIDI ports, served a
// firmware image of its own version. When report_path names a file, every message the
// amplifier takes and every outcome the worker posts is reported there, and each cabinet that
// arrives in slot K is written beside it as "<report>.slotK.wav" (for the end-to-end checks; the
// editor never reads it).
worker_services demo_services(const std::wstring& report_path, path_picker pick);
// Closes the demo's report. After stop_editor has returned true.
void close_demo_report();

} // namespace nimba
