// The real clock behind the clock seam on Windows. Sleep(5) and std::this_thread::sleep_for
// last a whole timer tick (15.625 ms by default), which would stretch every 5 ms poll of the
// link threefold; a high-resolution waitable timer wakes within about half a millisecond.
#include <windows.h>

#include <mmsystem.h>

#include <chrono>

#include "core/seams.h"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace nimba {

namespace {

// Null where the system refuses the flag (before Windows 10 1803).
HANDLE high_resolution_timer() {
    return CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                  TIMER_ALL_ACCESS);
}

// Each thread that sleeps has its own timer, closed when the thread ends.
struct thread_timer {
    HANDLE handle = high_resolution_timer();
    ~thread_timer() {
        if (handle) CloseHandle(handle);
    }
};

struct steady_clock_impl final : clock_seam {
    int64_t now_ms() override {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
    void sleep_ms(int32_t ms) override {
        if (ms <= 0) return;
        thread_local thread_timer timer;
        LARGE_INTEGER due{};
        due.QuadPart = -int64_t{ms} * 10000; // relative, in 100 ns units
        if (timer.handle && SetWaitableTimerEx(timer.handle, &due, 0, nullptr, nullptr, nullptr, 0))
            WaitForSingleObject(timer.handle, INFINITE);
        else
            Sleep(static_cast<DWORD>(ms)); // 1 ms steps while precise_waits holds the period
    }
};

} // namespace

clock_seam& steady_clock_seam() {
    static steady_clock_impl clock;
    return clock;
}

precise_waits::precise_waits() {
    if (HANDLE probe = high_resolution_timer()) {
        CloseHandle(probe);
        return;
    }
    raised_timer_period_ = timeBeginPeriod(1) == TIMERR_NOERROR;
}

precise_waits::~precise_waits() {
    if (raised_timer_period_) timeEndPeriod(1);
}

} // namespace nimba
