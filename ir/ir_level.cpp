// IR level, response and the factory median.
#include "ir/ir_level.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "core/assets/cabinets.h"
#include "ir/ir_export.h"
#include "ir/ir_import.h"

namespace nimba {

namespace {

constexpr double pi = 3.14159265358979323846;

// An in-place radix-2 FFT of spectrum_size points.
void transform(std::vector<double>& re, std::vector<double>& im) {
    const size_t n = re.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) {
            std::swap(re[i], re[j]);
            std::swap(im[i], im[j]);
        }
    }
    for (size_t length = 2; length <= n; length <<= 1) {
        const double angle = -2.0 * pi / static_cast<double>(length);
        for (size_t k = 0; k < length / 2; ++k) {
            const double wr = std::cos(angle * static_cast<double>(k));
            const double wi = std::sin(angle * static_cast<double>(k));
            for (size_t start = 0; start < n; start += length) {
                const size_t a = start + k, b = a + length / 2;
                const double tr = re[b] * wr - im[b] * wi, ti = re[b] * wi + im[b] * wr;
                re[b] = re[a] - tr;
                im[b] = im[a] - ti;
                re[a] += tr;
                im[a] += ti;
            }
        }
    }
}

} // namespace

std::vector<double> ir_power_spectrum(std::span<const float> samples) {
    std::vector<double> re(spectrum_size, 0.0), im(spectrum_size, 0.0);
    for (size_t i = 0; i < std::min(samples.size(), spectrum_size); ++i) re[i] = samples[i];
    transform(re, im);
    std::vector<double> power(spectrum_size / 2 + 1);
    for (size_t k = 0; k < power.size(); ++k) power[k] = re[k] * re[k] + im[k] * im[k];
    return power;
}

// Each bin between 100 Hz and 6 kHz weighs its width over its frequency (df / f), so every
// octave weighs the same; the weights' own sum divides, so a flat response is exactly 0 dB.
double ir_level_db(std::span<const float> samples) {
    const std::vector<double> power = ir_power_spectrum(samples);
    double sum = 0.0, weights = 0.0;
    for (size_t k = 1; k < power.size(); ++k) {
        const double hz = static_cast<double>(k) * spectrum_bin_hz;
        if (hz < level_low_hz || hz > level_high_hz) continue;
        sum += power[k] / hz;
        weights += 1.0 / hz;
    }
    const double mean = sum / weights;
    return mean > 0.0 ? 10.0 * std::log10(mean) : -std::numeric_limits<double>::infinity();
}

float ir_peak(std::span<const float> samples) {
    float peak = 0.0f;
    for (float s : samples) peak = std::max(peak, std::fabs(s));
    return peak;
}

double factory_median_level_db() {
    static const double median = [] {
        cabinet_library cabinets;
        fill_cabinet_library(cabinets);
        std::array<double, cabinet_count> levels{};
        for (int i = 0; i < cabinet_count; ++i) {
            const auto samples = cabinet_samples(cabinets[i]);
            levels[i] = samples ? ir_level_db(*samples) : 0.0;
        }
        std::sort(levels.begin(), levels.end());
        return (levels[cabinet_count / 2 - 1] + levels[cabinet_count / 2]) / 2.0;
    }();
    return median;
}

level_match match_level(std::span<float> samples, double target_db) {
    const double level = ir_level_db(samples);
    const float peak = ir_peak(samples);
    if (!std::isfinite(level) || peak == 0.0f)
        return {0.0, std::numeric_limits<double>::infinity()};
    const double wanted_db = target_db - level;
    const double most_db = -20.0 * std::log10(static_cast<double>(peak));
    if (wanted_db <= most_db) {
        const double gain = std::pow(10.0, wanted_db / 20.0);
        for (float& s : samples) s = static_cast<float>(s * gain);
        return {wanted_db, 0.0};
    }
    // Dividing by the peak puts it at exactly 1.0 and every other sample within it.
    for (float& s : samples) s /= peak;
    return {most_db, wanted_db - most_db};
}

} // namespace nimba
