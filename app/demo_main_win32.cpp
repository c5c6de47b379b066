// The demo edition's entry: the editor wired to the built-in virtual amplifier in place of MIDI
// ports, so it can be tried without the hardware. No firmware is downloaded.
#include <windows.h>

#include "app/editor_win32.h"
#include "emulator/loopback_ports.h"
#include "ir/cabinet_commands.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    using namespace nimba;
    // Static: the worker may still use it if the process has to end with the worker running.
    static loopback_bus bus;
    bus.clock = &steady_clock_seam();
    worker_services services;
    services.ports = loopback_port_factory(bus);
    services.cabinet_command = [](device_link& link, int32_t command) {
        run_cabinet_command(link, command, pick_path);
    };
    return run_editor(std::move(services));
}
