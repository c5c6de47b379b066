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

// Points of the level's average, evenly spaced in log frequency (about 87 per octave): the
// midpoints of equal steps, so each octave weighs the same.
constexpr int level_points = 512;

} // namespace

double ir_power_at(std::span<const float> samples, double hz) {
    const double w = 2.0 * pi * hz / static_cast<double>(ir_sample_rate);
    const double step_re = std::cos(w), step_im = -std::sin(w);
    double turn_re = 1.0, turn_im = 0.0, re = 0.0, im = 0.0;
    for (float s : samples) {
        re += s * turn_re;
        im += s * turn_im;
        const double next_re = turn_re * step_re - turn_im * step_im;
        turn_im = turn_re * step_im + turn_im * step_re;
        turn_re = next_re;
    }
    return re * re + im * im;
}

double ir_level_db(std::span<const float> samples) {
    const double low = std::log(level_low_hz), span = std::log(level_high_hz) - low;
    double sum = 0.0;
    for (int i = 0; i < level_points; ++i)
        sum += ir_power_at(samples, std::exp(low + span * (i + 0.5) / level_points));
    const double mean = sum / level_points;
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
