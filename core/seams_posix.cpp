// The real clock behind the clock seam, outside Windows: the standard library's sleeps are
// precise there already.
#include "core/seams.h"

#include <chrono>
#include <thread>

namespace nimba {

namespace {
struct steady_clock_impl final : clock_seam {
    int64_t now_ms() override {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
    void sleep_ms(int32_t ms) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
};
} // namespace

clock_seam& steady_clock_seam() {
    static steady_clock_impl clock;
    return clock;
}

precise_waits::precise_waits() = default;
precise_waits::~precise_waits() = default;

} // namespace nimba
