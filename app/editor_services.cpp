// The editor's worker services: the amplifier on RtMidi's ports, backups in the user's profile.
#include "app/editor.h"
#include "core/user_folders.h"
#include "device/midi_ports_rtmidi.h"
#include "ir/cabinet_commands.h"

namespace nimba {

worker_services editor_services(path_picker pick) {
    worker_services services;
    services.ports = rtmidi_port_factory();
    services.fetch = platform_firmware_fetch();
    services.backup_folder = backup_folder_path();
    services.pick_backup_path = pick;
    services.cabinet_command = [pick = std::move(pick)](device_link& link, int32_t command) {
        run_cabinet_command(link, command, pick);
    };
    return services;
}

} // namespace nimba
