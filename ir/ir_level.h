// The level of a cabinet IR as a listener hears it: the mean of |H(f)|^2 over 100 Hz to 6 kHz
// with equal weight per octave (what pink noise played through it gives), in dB; the factory
// cabinets' median level; the gain that matches an IR to it without a peak above 1.0; and the
// response at any frequency, for the plots. Pure functions over 48 kHz samples: any thread.
#pragma once

#include <span>

namespace nimba {

inline constexpr double level_low_hz = 100.0;
inline constexpr double level_high_hz = 6000.0;

// |H(f)|^2 of the IR (taken at 48 kHz) at `hz`.
double ir_power_at(std::span<const float> samples, double hz);

// The level in dB; minus infinity for an IR that is silent throughout.
double ir_level_db(std::span<const float> samples);

// The largest magnitude of any sample; 0 for none.
float ir_peak(std::span<const float> samples);

// The median level of the twelve factory cabinets (the mean of the middle two), worked out on
// first use.
double factory_median_level_db();

// Scales the IR in place to `target_db`, stopping where its peak reaches exactly 1.0, and says
// what gain that was and how many dB short of the target it leaves the IR (0 when it got
// there). A silent IR is left as it is, short by infinity.
struct level_match {
    double gain_db = 0.0;
    double shortfall_db = 0.0;
};
level_match match_level(std::span<float> samples, double target_db);

} // namespace nimba
