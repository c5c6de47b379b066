// The demo edition's entry: the editor wired to the built-in virtual amplifier in place of MIDI
// ports, so it can be tried without the hardware. The amplifier starts with six named slots
// and programs that differ; the firmware fetch serves the amplifier's own version, so the
// connect sequence runs whole and never updates.
//
// For the end-to-end test only: when NIMBA_DEMO_LOG names a file, every message the amplifier
// takes is reported there (by the worker, as it sends), and each cabinet that arrives in slot K
// is written beside it as "<log>.slotK.wav". The editor itself never reads the variable.
#include <windows.h>

#include <cstdio>
#include <string>

#include "app/editor_win32.h"
#include "emulator/demo_amp.h"
#include "ir/cabinet_commands.h"
#include "ir/file_access.h"

namespace {

std::wstring report_path() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"NIMBA_DEMO_LOG", path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(path, length) : std::wstring();
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    using namespace nimba;
    // Static: the worker may still use them if the process has to end with the worker running.
    static loopback_bus bus;
    static amp_report report;
    bus.clock = &steady_clock_seam();
    seed_demo_amp(bus.amp);

    const std::wstring log_path = report_path();
    if (!log_path.empty()) {
        report.log = open_file(log_path, "wb");
        report.keep_slot_image = [log_path](int slot, std::span<const uint8_t> image) {
            write_file_safely(log_path + L".slot" + std::to_wstring(slot) + L".wav", image);
        };
    }

    worker_services services;
    services.ports = reporting_port_factory(bus, report);
    services.fetch = demo_firmware_fetch(bus, report);
    services.cabinet_command = [](device_link& link, int32_t command) {
        run_cabinet_command(link, command, pick_path);
    };
    const int code = run_editor(std::move(services));
    if (report.log) std::fclose(report.log);
    return code;
}
