// The editor's entry (Windows GUI subsystem): the editor with RtMidi's ports, the WinINet
// firmware fetch and the cabinet commands with the common item dialog.
#include <windows.h>

#include "app/editor_win32.h"
#include "device/midi_ports_rtmidi.h"
#include "ir/cabinet_commands.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    using namespace nimba;
    worker_services services;
    services.ports = rtmidi_port_factory();
    services.fetch = platform_firmware_fetch();
    services.cabinet_command = [](device_link& link, int32_t command) {
        run_cabinet_command(link, command, pick_path);
    };
    return run_editor(std::move(services));
}
