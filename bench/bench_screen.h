// The screen the frame benchmarks draw: a connected editor with the cabinet page and list
// open, so every control is registered; and the import's preview of a long stereo file, to open
// over it. The benchmark's thread only.
#pragma once

#include <cmath>
#include <memory>
#include <random>

#include "core/state.h"
#include "ir/ir_preview.h"
#include "ir/wav_codec.h"
#include "ui/event_handler.h"

namespace nimba {

struct bench_screen {
    std::unique_ptr<editor_state> state = std::make_unique<editor_state>();
    pointer_input pointer;
    virtual_clock clock;
    ui_context ui;
    bench_screen() {
        build_editor_state(*state);
        state->link_status = link_connected;
        state->ir_slot_choice = 2;
        state->cabinet_list_open = 1;
        state->tolex_colour = 3;
        state->device_firmware_version = 0x0104;
        for (int k = 0; k < slot_count; ++k)
            set_slot_name(*state, k, L"C:\\IMPULSE RESPONSES\\A RATHER LONG CABINET NAME.WAV");
        ui.pointer = &pointer;
        ui.clock = &clock;
        ui.repaint = [] {};
        ui.set_arrow_cursor = [] {};
    }
    ~bench_screen() { destroy_editor_state(*state); }
};

// The preview of a 44.1 kHz stereo float WAV of decaying noise, long enough to fill the 4096
// samples, with the level as chosen.
inline void open_bench_preview(ir_preview& preview, ir_level level) {
    std::mt19937 gen(5);
    std::uniform_real_distribution<float> dist(-0.8f, 0.8f);
    std::vector<float> frames(2 * 6000);
    for (size_t i = 0; i < frames.size(); ++i)
        frames[i] = dist(gen) * std::exp(-static_cast<float>(i) / 3000.0f);
    frames[0] = frames[1] = 0.9f;
    preview.open = true;
    preview.slot = 3;
    preview.name = L"A RATHER LONG CABINET NAME.WAV";
    preview.file = encode_wav_float32(frames, 2, 44100);
    preview.choices.level = level;
    shape_preview(preview);
}

} // namespace nimba
