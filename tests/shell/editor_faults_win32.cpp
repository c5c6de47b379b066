// editor_faults <fault>: the editor run with one fault that start-up and shutdown must survive.
//   stuck-worker: the worker never returns from its start (its port factory blocks), standing in
//                 for a worker caught in a picker or a stalled download; closing the window
//                 must still end the process at once, with exit code 0.
//   com-taken:    the GUI thread already runs COM in another mode, so no window can be made;
//                 the process must end with the no-COM exit code instead of waiting forever.
#include <windows.h>

#include <objbase.h>

#include <cstring>

#include "app/win32/editor_win32.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR command_line, int) {
    using namespace nimba;
    worker_services services;
    services.ports.make_input = [](const std::string&, unsigned) -> std::unique_ptr<midi_in_port> {
        Sleep(INFINITE);
        return nullptr;
    };
    services.ports.make_output = [](const std::string&) -> std::unique_ptr<midi_out_port> {
        return nullptr;
    };
    if (std::strcmp(command_line, "com-taken") == 0) {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    } else if (std::strcmp(command_line, "stuck-worker") != 0) {
        return 64;
    }
    return run_editor(std::move(services));
}
