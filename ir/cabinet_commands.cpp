// The worker's cabinet commands.
#include "ir/cabinet_commands.h"

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

} // namespace

void run_cabinet_command(device_link& link, int32_t command, const path_picker& pick) {
    if (!link.state) return;
    editor_state& state = *link.state;
    if (command >= command_import_slot0 && command <= command_import_slot5) {
        state.link_status = link_busy;
        request_repaint(link);
        const std::wstring path = ask(pick, pick_mode::wav_file);
        import_user_ir(link, path, static_cast<uint8_t>(command - command_import_slot0));
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
