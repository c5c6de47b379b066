// The import's preview, driven for the editions.
#include "app/cabinet_preview.h"

#include <mutex>

#include "core/file_access.h"
#include "ir/ir_export.h"
#include "ir/ir_preview.h"
#include "ir/ir_transfer.h"
#include "ui/control_table.h"
#include "ui/event_handler.h"
#include "ui/slot_panel.h"

namespace nimba {

namespace {

void take_picked_file(editor_state& state, ui_context& ui) {
    cabinet_handoff& files = state.cabinet_files;
    std::unique_lock hold(files.lock);
    if (files.picked_slot < 0) return;
    const int32_t slot = files.picked_slot;
    files.picked_slot = -1;
    std::wstring name = std::move(files.picked_name);
    std::vector<uint8_t> file = std::move(files.picked_file);
    std::string error = std::move(files.picked_error);
    hold.unlock();
    open_cabinet_preview(state, ui, slot, std::move(name), std::move(file), std::move(error));
}

// The preview just filled in, shown: its first switch takes the focus, and a refusal is told
// in the status bar too.
void show_preview(editor_state& state, ui_context& ui) {
    clear_hovers(ui.hit_regions);
    ui.focus = id_preview_channel0;
    if (!ui.preview.refusal.empty())
        post_outcome(state.outcome,
                     make_outcome(outcome_code::import_refused, {ui.preview.refusal}));
    if (ui.repaint) ui.repaint();
}

// The preview after a change of choice, and the selected factory cabinet's plot the first time
// the page shows it.
void work_out_what_is_due(editor_state& state, ui_context& ui) {
    if (ui.preview.open && ui.preview.stale) shape_preview(ui.preview);
    const int32_t cabinet = state.factory_cabinet;
    if (state.ir_slot_choice < 1 || cabinet < 0 || cabinet >= cabinet_count) return;
    ir_plot& plot = ui.factory_plots[cabinet];
    if (plot.ready) return;
    if (const auto samples = cabinet_samples(state.cabinets[cabinet])) plot_ir(plot, *samples);
}

} // namespace

void editor_event(editor_state& state, ui_context& ui, int32_t event) {
    if (event == event_paint) {
        take_picked_file(state, ui);
        work_out_what_is_due(state, ui);
    }
    handle_event(state, ui, event);
}

void open_cabinet_preview(editor_state& state, ui_context& ui, int32_t slot, std::wstring name,
                          std::vector<uint8_t> file, std::string read_error) {
    ir_preview& preview = ui.preview;
    preview.open = true;
    preview.slot = slot;
    preview.name = std::move(name);
    preview.file = std::move(file);
    preview.read_error = std::move(read_error);
    preview.choices = {};
    shape_preview(preview);
    show_preview(state, ui);
}

bool drop_files(editor_state& state, ui_context& ui, int32_t x, int32_t y,
                const std::vector<std::wstring>& paths) {
    const int32_t slot = slot_row_at(x, y);
    if (slot < 0 || paths.empty() || ui.preview.open || state.link_status != link_connected ||
        input_locked(state.commands))
        return false;
    if (paths.size() > 1) {
        ir_preview& preview = ui.preview;
        preview = {};
        preview.open = true;
        preview.stale = false;
        preview.slot = slot;
        preview.name = std::to_wstring(paths.size()) + L" FILES";
        preview.refusal =
            "one slot takes one file: " + std::to_string(paths.size()) + " files were dropped";
        show_preview(state, ui);
        return true;
    }
    file_read file = read_regular_file(paths[0]);
    open_cabinet_preview(state, ui, slot, std::wstring(file_name_of(paths[0])),
                         std::move(file.bytes), std::move(file.error));
    return true;
}

} // namespace nimba
