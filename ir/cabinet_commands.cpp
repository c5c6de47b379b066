// The worker's cabinet commands.
#include "ir/cabinet_commands.h"

#include "core/file_access.h"
#include "device/link.h"
#include "device/protocol.h"
#include "ir/ir_export.h"
#include "ir/ir_transfer.h"

namespace nimba {

namespace {

std::wstring ask(const path_picker& pick, pick_mode mode) {
    return pick ? pick(mode) : std::wstring();
}

void send_chosen_factory_cabinet(device_link& link) {
    editor_state& state = *link.state;
    const int32_t cabinet = state.factory_cabinet;
    // The slot travels as a data byte; a choice outside the six slots (the cabinet page
    // closed) or outside the cabinet table is not sent.
    const auto slot = static_cast<uint8_t>(state.ir_slot_choice - 1);
    const auto samples = cabinet >= 0 && cabinet < cabinet_count
                             ? cabinet_samples(state.cabinets[cabinet])
                             : std::nullopt;
    if (slot >= slot_count || !samples) {
        state.link_status = link_connected;
        post_outcome(link, make_outcome(outcome_code::cabinet_not_sent,
                                        {reason_text(reason::no_slot_or_cabinet)}));
        return;
    }
    send_factory_ir(link, state.cabinets[cabinet].name, *samples, slot);
}

// The picked file, read whole, goes to the GUI thread's preview; nothing is sent until the user
// sends it from there. A cancelled picker hands nothing.
void hand_picked_file(device_link& link, const std::wstring& path, int32_t slot) {
    editor_state& state = *link.state;
    if (!path.empty()) {
        file_read file = read_regular_file(path);
        const std::lock_guard hold(state.cabinet_files.lock);
        state.cabinet_files.picked_slot = slot;
        state.cabinet_files.picked_name = std::wstring(file_name_of(path));
        state.cabinet_files.picked_file = std::move(file.bytes);
        state.cabinet_files.picked_error = std::move(file.error);
    }
    state.link_status = link_connected;
}

// The IR the preview handed over, named after its file.
void send_previewed_cabinet(device_link& link) {
    editor_state& state = *link.state;
    std::unique_lock hold(state.cabinet_files.lock);
    const int32_t slot = state.cabinet_files.send_slot;
    const std::wstring name = std::move(state.cabinet_files.send_name);
    const std::vector<float> samples = std::move(state.cabinet_files.send_samples);
    state.cabinet_files.send_slot = -1;
    hold.unlock();
    if (slot < 0 || slot >= slot_count) {
        state.link_status = link_connected;
        return;
    }
    send_factory_ir(link, name, samples, static_cast<uint8_t>(slot));
}

} // namespace

void run_cabinet_command(device_link& link, int32_t command, const path_picker& pick) {
    if (!link.state) return;
    editor_state& state = *link.state;
    if (command >= command_import_slot0 && command <= command_import_slot5) {
        state.link_status = link_busy;
        request_repaint(link);
        hand_picked_file(link, ask(pick, pick_mode::wav_file), command - command_import_slot0);
        request_repaint(link);
    } else if (command == command_send_previewed) {
        state.link_status = link_busy;
        request_repaint(link);
        send_previewed_cabinet(link);
        request_repaint(link);
    } else if (command == command_send_factory) {
        state.link_status = link_busy;
        request_repaint(link);
        send_chosen_factory_cabinet(link);
        request_repaint(link);
    } else if (command == command_export_all) {
        const export_report report = export_factory_irs(state, ask(pick, pick_mode::folder));
        // A cancelled picker ends the export as the user wanted: nothing to tell.
        if (report.outcome == export_outcome::no_folder)
            request_repaint(link);
        else
            post_outcome(link, outcome_of(report));
    }
}

} // namespace nimba
