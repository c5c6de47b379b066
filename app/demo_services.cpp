// The demo's worker services: the built-in virtual amplifier, seeded with six named slots and
// programs that differ, and the optional report of what it takes.
#include <cstdio>

#include "app/editor.h"
#include "core/file_access.h"
#include "emulator/demo_amp.h"
#include "ir/cabinet_commands.h"

namespace nimba {

namespace {

// Static: the worker may still use them if the process has to end with the worker running.
loopback_bus bus;
amp_report report;

} // namespace

worker_services demo_services(const std::wstring& report_path, path_picker pick) {
    bus.clock = &steady_clock_seam();
    seed_demo_amp(bus.amp);
    if (!report_path.empty()) {
        report.log = open_file(report_path, "wb");
        report.keep_slot_image = [report_path](int slot, std::span<const uint8_t> image) {
            write_file_safely(report_path + L".slot" + std::to_wstring(slot) + L".wav", image);
        };
    }

    worker_services services;
    services.ports = reporting_port_factory(bus, report);
    services.fetch = demo_firmware_fetch(bus, report);
    services.pick_backup_path = pick;
    services.cabinet_command = [pick = std::move(pick)](device_link& link, int32_t command) {
        run_cabinet_command(link, command, pick);
    };
    // On the worker, as the amplifier's own lines: "outcome <text>".
    services.report_outcome = [](const outcome& result) {
        if (!report.log) return;
        std::fprintf(report.log, "outcome %s\n", result.text.c_str());
        std::fflush(report.log);
    };
    return services;
}

void close_demo_report() {
    if (report.log) std::fclose(report.log);
    report.log = nullptr;
}

} // namespace nimba
