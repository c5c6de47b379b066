// Start and ordered shutdown of the editor's state, link and worker.
#include "app/editor.h"

#include <system_error>

#include "core/assets/pictures.h"
#include "ui/renderer.h"

namespace nimba {

picture_start::~picture_start() {
    if (thread.joinable()) thread.join();
}

std::string check_pictures() {
    const program_record fresh_program{};
    for (const picture p : pictures_drawn(0, fresh_program)) picture_blob(p);
    const std::string fault = pictures_fault();
    release_picture_pngs();
    return fault.empty() ? fault : "the editor cannot start: " + fault;
}

void start_pictures(picture_start& start) {
    start.thread = std::thread([&start] { start.fault = check_pictures(); });
}

std::string finish_pictures(picture_start& start) {
    if (start.thread.joinable()) start.thread.join();
    return start.fault;
}

bool start_editor(editor_session& session, main_window& window,
                  std::function<void(int32_t)> on_event, repaint_request repaint,
                  worker_services services) {
    editor_state& state = *session.state;
    build_editor_state(state);
    session.window = &window;
    window.on_event = std::move(on_event);

    device_link& link = *session.link;
    link.state = &state;
    link.clock = &steady_clock_seam();
    link.repaint = std::move(repaint);
    try {
        start_worker(link, std::move(services));
    } catch (const std::system_error&) {
        destroy_editor_state(state);
        window.on_event = nullptr;
        return false;
    }
    return true;
}

bool stop_editor(editor_session& session) {
    if (!stop_worker(*session.link, worker_stop_timeout_ms)) {
        // The worker may still use the link and the state: leave both to it, unfreed.
        session.link.release();
        session.state.release();
        return false;
    }
    destroy_editor_state(*session.state);
    if (session.window) session.window->on_event = nullptr;
    return true;
}

} // namespace nimba
