// The device link record: what the worker keeps beside the editor state (ports, the reply
// last seen, the stop request, the firmware image and the one message buffer) and the seams
// it reaches the outside through. Written by the worker; the GUI thread only starts and stops it.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <thread>

#include "core/seams.h"
#include "core/state.h"

namespace nimba {

struct midi_in_port;
struct midi_out_port;

// The worker's record. Lives as long as the editor state; both outlive the worker thread.
struct device_link {
    std::atomic<int32_t> last_reply{0};
    std::atomic<int32_t> last_program{-1}; // the program the last reply 02 named
    std::atomic<bool> resync_pending{false};
    midi_in_port* midi_in = nullptr;
    midi_out_port* midi_out = nullptr;
    editor_state* state = nullptr;
    std::thread worker;
    std::atomic<bool> stop_requested{false};
    std::atomic<bool> worker_finished{false}; // set by the worker as its last act
    std::atomic<int32_t> failure_count{0};
    std::array<uint8_t, firmware_image_size> firmware_image{}; // worker only
    std::array<uint8_t, 1024> message_buffer{};                // worker only: every request
    clock_seam* clock = nullptr;                               // every pause and reply wait
    repaint_request repaint;                                   // asks the window for a paint
};

// Makes `result` the state's latest outcome, numbers it one past the last and asks for a paint.
// The only writer of the outcome record: the worker, or nimba-cli playing the worker.
void post_outcome(device_link& link, outcome result);

} // namespace nimba
