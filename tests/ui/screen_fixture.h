// A built editor state wired to a recording canvas, a virtual clock and counters for repaints
// and cursor changes, with helpers to paint a frame, to point, click and wheel at controls and
// to read the commands queued for the worker.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/draw/recording_canvas.h"
#include "core/state.h"
#include "ui/control_table.h"
#include "ui/event_handler.h"

namespace nimba {

struct screen {
    std::unique_ptr<editor_state> state = std::make_unique<editor_state>();
    recording_canvas canvas;
    pointer_input pointer;
    key_input keys;
    virtual_clock clock;
    int repaints = 0;
    int cursors = 0;
    ui_context ui;

    explicit screen(int32_t width = 1024, int32_t height = 720) : canvas(width, height) {
        build_editor_state(*state);
        state->link_status = link_connected;
        ui.target = &canvas;
        ui.pointer = &pointer;
        ui.keys = &keys;
        ui.clock = &clock;
        ui.repaint = [this] { ++repaints; };
        ui.set_arrow_cursor = [this] { ++cursors; };
    }
    ~screen() { destroy_editor_state(*state); }

    editor_state& s() { return *state; }

    // The commands waiting for the worker, oldest first.
    std::vector<command> queued() const {
        std::vector<command> waiting;
        const command_queue& q = state->commands;
        for (uint32_t i = q.head; i != q.tail; ++i)
            waiting.push_back(q.entries[i % command_queue_capacity]);
        return waiting;
    }
    // The code of the newest command waiting; 0 when none is.
    int32_t posted() const {
        const auto waiting = queued();
        return waiting.empty() ? command_none : waiting.back().code;
    }
    program_record& program() { return current_program(*state); }

    void paint() {
        canvas.reset();
        handle_event(*state, ui, event_paint);
    }

    const hit_region* region(int32_t id, int32_t kind) const {
        for (const hit_region& r : ui.hit_regions)
            if (r.id == id && r.kind == kind) return &r;
        return nullptr;
    }

    void point_at(int32_t x, int32_t y) {
        pointer.pointer_x = x;
        pointer.pointer_y = y;
    }
    void move_to(int32_t x, int32_t y) {
        point_at(x, y);
        handle_event(*state, ui, event_pointer_move);
    }
    void click_at(int32_t x, int32_t y) {
        point_at(x, y);
        handle_event(*state, ui, event_left_down);
    }
    // Paints (so the regions follow the state), then clicks the middle of the control.
    void click(int32_t id) {
        paint();
        const hit_region* r = region(id, region_click);
        ASSERT_NE(r, nullptr) << "no click region for id " << id;
        click_at(r->x + r->width / 2, r->y + r->height / 2);
    }
    // Paints (so the regions follow the state), then presses the key.
    void key(int32_t k) {
        paint();
        keys.key = k;
        handle_event(*state, ui, event_key);
    }
    void wheel(int32_t notches) {
        pointer.wheel_steps += notches;
        handle_event(*state, ui, event_wheel);
    }
};

// IR bypass values as an amplifier may report them, and whether each reads as bypassed.
struct bypass_reading {
    int32_t raw;
    bool bypassed;
};
inline constexpr bypass_reading bypass_readings[] = {{0, false}, {1, true}, {2, true}, {127, true}};

// Paints program 0 on user slot 3 with the IR bypass word at `raw`.
inline void paint_with_bypass(screen& sc, int32_t raw) {
    sc.program().ir_slot[0] = 3;
    sc.program().ir_bypass = raw;
    sc.paint();
}

} // namespace nimba
