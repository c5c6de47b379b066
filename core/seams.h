// Seams between the portable editor and the platform: time, repaint requests and the path
// picker. Production uses the steady clock, RedrawWindow and the system's file dialogs; tests
// use virtual time, counters and a path given by the caller. Time and repaints may be asked for
// from the GUI thread and the worker; a path only from the worker.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace nimba {

// Monotonic milliseconds and sleeping. The worker and the event handler take every pause
// through this, so tests can run on virtual time.
struct clock_seam {
    virtual ~clock_seam() = default;
    virtual int64_t now_ms() = 0;
    virtual void sleep_ms(int32_t ms) = 0;
};

// The real steady clock. Its sleeps last what they ask within about a millisecond: on Windows
// through a high-resolution waitable timer (Windows 10 1803 and later) or, failing that, the
// 1 ms timer period precise_waits asks for; elsewhere std::this_thread::sleep_for.
clock_seam& steady_clock_seam();

// Held for a program's whole run (the editor, the demo, nimba-cli). Where the steady clock
// cannot have a high-resolution timer (Windows before 10 1803), asks for a 1 ms timer period
// (timeBeginPeriod(1)) and gives it back at the end (timeEndPeriod(1)): a plain Sleep(5)
// lasts a whole 15.6 ms timer tick by default. Does nothing elsewhere. Main thread.
class precise_waits {
  public:
    precise_waits();
    ~precise_waits();
    precise_waits(const precise_waits&) = delete;
    precise_waits& operator=(const precise_waits&) = delete;

  private:
    bool raised_timer_period_ = false;
};

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

// What the path picker asks for: a WAV file to import, a folder to export into, a file to back
// the programs up into (a save dialog) or a backup to restore (an open dialog).
enum class pick_mode { wav_file, folder, backup_save, backup_open };

// Asks the user for a path; empty means cancelled or no dialog.
using path_picker = std::function<std::wstring(pick_mode)>;

} // namespace nimba
