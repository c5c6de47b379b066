// Seams between the portable editor and the platform: time and repaint requests.
// Production uses the steady clock and RedrawWindow; tests use virtual time and counters.
// Both may be called from the GUI thread and the worker.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

namespace nimba {

// Monotonic milliseconds and sleeping. The worker and the event handler take every pause
// through this, so tests can run on virtual time.
struct clock_seam {
    virtual ~clock_seam() = default;
    virtual int64_t now_ms() = 0;
    virtual void sleep_ms(int32_t ms) = 0;
};

// The real steady clock (std::chrono::steady_clock and std::this_thread::sleep_for).
clock_seam& steady_clock_seam();

// Virtual time: sleep_ms returns at once and moves the clock on. Safe across threads.
struct virtual_clock final : clock_seam {
    std::atomic<int64_t> now{0};
    std::atomic<int64_t> sleeps{0};
    int64_t now_ms() override { return now.load(); }
    void sleep_ms(int32_t ms) override {
        now.fetch_add(ms);
        sleeps.fetch_add(1);
    }
};

// Asks the main window for a paint without invalidating anything (RedrawWindow with
// RDW_INTERNALPAINT on Windows). Asynchronous; may be empty, then nothing happens.
using repaint_request = std::function<void()>;

} // namespace nimba
