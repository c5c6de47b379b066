// Export of the factory cabinets.
#include "ir/ir_export.h"

#include "core/file_access.h"
#include "core/state.h"
#include "ir/ir_import.h"
#include "ir/ir_transfer.h"

namespace nimba {

std::optional<std::vector<float>> cabinet_samples(const cabinet_entry& cabinet) {
    const auto ir = ir_samples_from_blob(cabinet.ir);
    if (!ir) return std::nullopt;
    std::vector<float> samples(ir->count);
    for (uint32_t i = 0; i < ir->count; ++i) samples[i] = ir->sample(i);
    return samples;
}

export_report write_factory_irs(const cabinet_library& cabinets, const std::wstring& folder) {
    export_report report;
    // A cancelled picker gives no folder; writing at the drive's root instead is not wanted.
    if (folder.empty()) {
        report.outcome = export_outcome::no_folder;
        return report;
    }
    for (const cabinet_entry& cabinet : cabinets) {
        const std::wstring path = folder + L"/" + cabinet.name + L".wav";
        const auto samples = cabinet_samples(cabinet);
        const auto image = samples ? encode_ir_image(*samples) : std::nullopt;
        if (!image) {
            report.outcome = export_outcome::no_image;
            report.failed_path = path;
            return report;
        }
        report.reason = write_file_safely(path, *image);
        if (!report.reason.empty()) {
            report.outcome = export_outcome::write_failed;
            report.failed_path = path;
            return report;
        }
        ++report.written;
    }
    return report;
}

export_report export_factory_irs(editor_state& state, const std::wstring& folder) {
    const export_report report = write_factory_irs(state.cabinets, folder);
    if (report.outcome == export_outcome::no_image) state.link_status = link_connected;
    return report;
}

outcome outcome_of(const export_report& report) {
    const std::string file = quoted_path(file_name_of(report.failed_path));
    switch (report.outcome) {
    case export_outcome::done:
        return make_outcome(outcome_code::export_done, {std::to_string(report.written)});
    case export_outcome::no_folder:
        return make_outcome(outcome_code::export_stopped,
                            {reason_text(reason::export_start), reason_text(reason::no_folder)});
    case export_outcome::no_image:
        return make_outcome(outcome_code::export_stopped,
                            {file, reason_text(reason::cabinet_unusable)});
    case export_outcome::write_failed:
        break;
    }
    return make_outcome(outcome_code::export_stopped, {file, report.reason});
}

} // namespace nimba
