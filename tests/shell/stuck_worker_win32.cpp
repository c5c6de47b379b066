// stuck_worker: the editor with a worker that never returns from its start (its port factory
// blocks), standing in for a worker caught in a picker or a stalled download. Closing the
// window must still end the process at once and with exit code 0.
#include <windows.h>

#include "app/editor_win32.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    using namespace nimba;
    worker_services services;
    services.ports.make_input = [](const std::string&, unsigned) -> std::unique_ptr<midi_in_port> {
        Sleep(INFINITE);
        return nullptr;
    };
    services.ports.make_output = [](const std::string&) -> std::unique_ptr<midi_out_port> {
        return nullptr;
    };
    return run_editor(std::move(services));
}
