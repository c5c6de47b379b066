// clock_bench [waits]: times one 5 ms wait of the clock seam against std::this_thread::sleep_for
// (5 ms), which the seam used before it took a high-resolution waitable timer, and prints the
// mean and the 99th percentile of each in milliseconds.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "core/seams.h"

namespace {

template <typename Wait> void report(const char* what, int waits, Wait wait) {
    std::vector<double> ms(static_cast<size_t>(waits));
    for (double& m : ms) {
        const auto start = std::chrono::steady_clock::now();
        wait();
        m = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
    }
    std::sort(ms.begin(), ms.end());
    double sum = 0;
    for (double m : ms) sum += m;
    const size_t p99 = (ms.size() * 99 + 99) / 100 - 1;
    std::printf("clock_bench: %-28s mean %6.3f ms, p99 %6.3f ms (%d waits)\n", what,
                sum / static_cast<double>(ms.size()), ms[p99], waits);
}

} // namespace

int main(int argc, char** argv) {
    const int waits = argc > 1 ? std::max(1, std::atoi(argv[1])) : 400;
    report("before: sleep_for(5 ms)", waits,
           [] { std::this_thread::sleep_for(std::chrono::milliseconds(5)); });
    const nimba::precise_waits held;
    nimba::clock_seam& clock = nimba::steady_clock_seam();
    report("after: clock seam sleep_ms(5)", waits, [&clock] { clock.sleep_ms(5); });
    return 0;
}
