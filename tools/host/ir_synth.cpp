// Synthesises the twelve factory cabinet impulse responses from the recipes below and writes
// them as "RW" blobs (magic, 16-bit byte count, little-endian float samples).
//
//   ir_synth <out_dir>   writes <out_dir>/cabinet_0.rw .. cabinet_11.rw
//   ir_synth --report    prints each cabinet's level at 100 Hz, 1 kHz, 3 kHz and 8 kHz
//
// Each IR is an impulse (plus the reflections the box, the room and the mic distance add, and a
// faint diffuse tail from a fixed-seed generator) passed through a cascade of biquads: the box's
// low cut, the speaker's resonance, its low-mid dip and cone break-up, the mic's own colour
// (proximity effect, presence, ribbon darkness) and a steep low-pass where the cone stops
// radiating. The build fails when a result breaks the blob's promises (length, early peak,
// peak level, finite samples).
//
// Sections: recipes; filters; synthesis; checks and levels; blob writing; main.
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr double sample_rate = 48000.0;
constexpr int ir_length = 4096;
constexpr double speed_of_sound_cm_per_s = 34300.0;
constexpr double pi = 3.14159265358979323846;

// ---------------------------------------------------------------------------------------------
// Recipes

enum class mic_kind { dynamic, condenser, ribbon };

struct speaker_voice {
    double resonance_hz; // the cone's resonance as the box loads it
    double resonance_db;
    double resonance_q;
    double low_mid_hz; // the dip most guitar speakers show between the thump and the bark
    double low_mid_db;
    std::array<double, 2> breakup_hz; // cone break-up peaks
    std::array<double, 2> breakup_db;
    std::array<double, 2> breakup_q;
    double rolloff_hz; // above this the cone stops radiating on axis
};

struct enclosure {
    bool open_back;
    double depth_cm;   // front to back: the delay of the back wave or of the inner reflection
    double height_cm;  // speaker centre above the floor: the floor reflection's path
    double low_cut_hz; // below this the box no longer supports the cone
};

struct mic_placement {
    mic_kind kind;
    double distance_cm; // grille to cone
    double off_centre;  // 0 on the dust cap, 1 at the cone's edge: further out is darker
    double weight;      // share in the blend; 0 leaves the second mic out
};

struct cabinet_recipe {
    const char* name;
    speaker_voice speaker;
    enclosure box;
    std::array<mic_placement, 2> mics;
    double peak; // normalised peak level, a fraction of full scale
};

// clang-format off
const std::array<cabinet_recipe, 12> recipes = {{
    // Open-back 1x12, bright ceramic speaker; the back wave thins the lows.
    {"112 RED",
     {118, 3.5, 1.6, 520, -2.5, {1900, 3600}, {3.5, 5.0}, {1.6, 2.2}, 5600},
     {true, 24, 30, 95},
     {{{mic_kind::dynamic, 2.5, 0.30, 1.0}, {mic_kind::condenser, 45, 0.0, 0.35}}},
     0.84},
    // Closed 2x12 with V30-type speakers: strong upper-mid bark.
    {"212 V30",
     {104, 3.5, 1.8, 480, -3.0, {1500, 2900}, {3.0, 6.5}, {1.4, 2.0}, 5200},
     {false, 28, 35, 75},
     {{{mic_kind::dynamic, 2.0, 0.45, 1.0}, {mic_kind::ribbon, 12, 0.20, 0.45}}},
     0.86},
    // Closed 4x12, birch ply, V30s: deep box thump and a forward 3 kHz.
    {"412 V30",
     {88, 4.5, 1.7, 420, -3.5, {1600, 3100}, {3.5, 6.0}, {1.3, 2.2}, 5000},
     {false, 36, 40, 62},
     {{{mic_kind::dynamic, 2.5, 0.35, 1.0}, {mic_kind::condenser, 20, 0.10, 0.30}}},
     0.88},
    // Closed 4x12 with low-power greenback-type speakers: warm mid hump, early roll-off.
    {"412 GB",
     {82, 4.0, 1.5, 380, -2.0, {1200, 2400}, {4.5, 3.0}, {1.1, 1.8}, 4500},
     {false, 36, 40, 60},
     {{{mic_kind::ribbon, 5.0, 0.30, 1.0}, {mic_kind::dynamic, 2.0, 0.55, 0.60}}},
     0.82},
    // Closed 4x12 with high-power ceramic speakers: tight lows, scooped mids, crisp top.
    {"412 X1200",
     {96, 3.0, 2.2, 650, -5.0, {2200, 3800}, {4.0, 5.0}, {1.8, 2.4}, 5600},
     {false, 34, 40, 78},
     {{{mic_kind::dynamic, 1.5, 0.15, 1.0}, {mic_kind::condenser, 30, 0.0, 0.0}}},
     0.90},
    // Oversized closed 4x12, extra depth: big low resonance, smooth top.
    {"412 LEGEND DEEP",
     {80, 6.0, 1.4, 360, -3.0, {1400, 2700}, {3.0, 5.0}, {1.2, 1.9}, 4800},
     {false, 42, 42, 55},
     {{{mic_kind::dynamic, 3.0, 0.40, 1.0}, {mic_kind::ribbon, 25, 0.0, 0.40}}},
     0.85},
    // The same box with less low-end bloom and a tighter, higher resonance.
    {"412 LEGEND TIGHT",
     {122, 3.5, 2.4, 440, -2.0, {1700, 3300}, {3.5, 5.5}, {1.5, 2.3}, 5100},
     {false, 42, 42, 90},
     {{{mic_kind::condenser, 4.0, 0.25, 1.0}, {mic_kind::dynamic, 2.0, 0.50, 0.50}}},
     0.83},
    // Closed 2x12 with heavy 300 W speakers: flat, stiff, clean and extended.
    {"212 EVM12L",
     {100, 2.5, 1.3, 600, -1.5, {2600, 4200}, {2.0, 3.0}, {1.2, 2.0}, 5800},
     {false, 30, 35, 70},
     {{{mic_kind::dynamic, 3.0, 0.20, 1.0}, {mic_kind::condenser, 15, 0.05, 0.40}}},
     0.87},
    // Tall closed 4x12 with V30s: heavy lows, deep mid scoop, aggressive presence.
    {"412 RECT",
     {84, 5.0, 1.8, 500, -6.0, {2000, 3200}, {4.0, 7.0}, {1.6, 2.4}, 5300},
     {false, 40, 45, 58},
     {{{mic_kind::dynamic, 1.5, 0.50, 1.0}, {mic_kind::condenser, 30, 0.0, 0.0}}},
     0.89},
    // British slanted 4x12 with V30s: tight low end, vocal upper mids.
    {"UK 412 V30",
     {95, 3.5, 2.0, 450, -2.5, {1800, 2800}, {4.0, 5.5}, {1.5, 2.0}, 5000},
     {false, 32, 40, 70},
     {{{mic_kind::dynamic, 2.0, 0.35, 1.0}, {mic_kind::ribbon, 8.0, 0.25, 0.50}}},
     0.86},
    // The British box with two V30s and two greenback-types: bark over a warm middle.
    {"UK 412 V30 GB",
     {92, 3.5, 1.8, 420, -2.0, {1400, 2700}, {4.0, 4.5}, {1.3, 1.9}, 4800},
     {false, 32, 40, 68},
     {{{mic_kind::dynamic, 2.5, 0.40, 1.0}, {mic_kind::condenser, 35, 0.0, 0.30}}},
     0.81},
    // British box mixing clean 120 W American speakers with greenback-types: wide and open.
    {"UK 412 JBL120 GB",
     {90, 3.0, 1.6, 700, -1.5, {1300, 3500}, {2.5, 4.0}, {1.2, 2.0}, 6200},
     {false, 32, 40, 66},
     {{{mic_kind::ribbon, 6.0, 0.20, 1.0}, {mic_kind::condenser, 3.0, 0.30, 0.70}}},
     0.80},
}};
// clang-format on

// ---------------------------------------------------------------------------------------------
// Filters: second-order sections with the usual bilinear-transform designs.

struct biquad {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
};

biquad normalised(double b0, double b1, double b2, double a0, double a1, double a2) {
    return {b0 / a0, b1 / a0, b2 / a0, a1 / a0, a2 / a0};
}

biquad low_pass(double hz, double q) {
    const double w = 2 * pi * hz / sample_rate, c = std::cos(w), alpha = std::sin(w) / (2 * q);
    return normalised((1 - c) / 2, 1 - c, (1 - c) / 2, 1 + alpha, -2 * c, 1 - alpha);
}

biquad high_pass(double hz, double q) {
    const double w = 2 * pi * hz / sample_rate, c = std::cos(w), alpha = std::sin(w) / (2 * q);
    return normalised((1 + c) / 2, -(1 + c), (1 + c) / 2, 1 + alpha, -2 * c, 1 - alpha);
}

biquad peak_eq(double hz, double db, double q) {
    const double a = std::pow(10.0, db / 40), w = 2 * pi * hz / sample_rate, c = std::cos(w);
    const double alpha = std::sin(w) / (2 * q);
    return normalised(1 + alpha * a, -2 * c, 1 - alpha * a, 1 + alpha / a, -2 * c, 1 - alpha / a);
}

// Shelves with a slope of 1 (the steepest without overshoot).
biquad low_shelf(double hz, double db) {
    const double a = std::pow(10.0, db / 40), w = 2 * pi * hz / sample_rate, c = std::cos(w);
    const double alpha = std::sin(w) / 2 * std::sqrt(2.0), k = 2 * std::sqrt(a) * alpha;
    return normalised(a * ((a + 1) - (a - 1) * c + k), 2 * a * ((a - 1) - (a + 1) * c),
                      a * ((a + 1) - (a - 1) * c - k), (a + 1) + (a - 1) * c + k,
                      -2 * ((a - 1) + (a + 1) * c), (a + 1) + (a - 1) * c - k);
}

biquad high_shelf(double hz, double db) {
    const double a = std::pow(10.0, db / 40), w = 2 * pi * hz / sample_rate, c = std::cos(w);
    const double alpha = std::sin(w) / 2 * std::sqrt(2.0), k = 2 * std::sqrt(a) * alpha;
    return normalised(a * ((a + 1) + (a - 1) * c + k), -2 * a * ((a - 1) + (a + 1) * c),
                      a * ((a + 1) + (a - 1) * c - k), (a + 1) - (a - 1) * c + k,
                      2 * ((a - 1) - (a + 1) * c), (a + 1) - (a - 1) * c - k);
}

void run(const biquad& f, std::vector<double>& x) {
    double z1 = 0, z2 = 0; // transposed direct form II
    for (double& v : x) {
        const double in = v, out = f.b0 * in + z1;
        z1 = f.b1 * in - f.a1 * out + z2;
        z2 = f.b2 * in - f.a2 * out;
        v = out;
    }
}

// ---------------------------------------------------------------------------------------------
// Synthesis

// A fixed-seed xorshift generator: the same recipe always gives the same samples.
struct noise_source {
    uint64_t state;
    double next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<double>(state >> 11) / 9007199254740992.0 * 2 - 1;
    }
};

// Adds an impulse of `gain` at a fractional position, split between the two nearest samples.
void add_tap(std::vector<double>& x, double position, double gain) {
    const int whole = static_cast<int>(position);
    const double frac = position - whole;
    if (whole + 1 >= static_cast<int>(x.size())) return;
    x[whole] += gain * (1 - frac);
    x[whole + 1] += gain * frac;
}

double samples_for_cm(double cm) {
    return cm / speed_of_sound_cm_per_s * sample_rate;
}

// What reaches one mic before filtering: the direct sound, the box's own reflection, the floor
// reflection and a faint diffuse tail. The blend is time-aligned, as an engineer lines up a
// close and a distant mic: every mic's direct sound starts at sample 0 and only the
// reflections keep their distance-dependent delays.
std::vector<double> excitation(const cabinet_recipe& r, const mic_placement& m, uint64_t seed) {
    std::vector<double> x(ir_length, 0.0);
    const double direct = 0;
    add_tap(x, direct, 1.0);

    if (r.box.open_back) {
        // The back wave leaves in opposite polarity and wraps round the baffle; a distant mic
        // hears more of it.
        const double wrap_cm = r.box.depth_cm + 25;
        const double gain = -(0.25 + 0.35 * std::min(1.0, m.distance_cm / 50));
        add_tap(x, direct + samples_for_cm(wrap_cm), gain);
    } else {
        // Sound bouncing off the closed back and coming through the cone again.
        add_tap(x, direct + samples_for_cm(2 * r.box.depth_cm), 0.12);
    }

    const double floor_path =
        std::sqrt(m.distance_cm * m.distance_cm + 4 * r.box.height_cm * r.box.height_cm);
    add_tap(x, direct + samples_for_cm(floor_path - m.distance_cm),
            0.6 * m.distance_cm / floor_path);

    noise_source noise{seed};
    const double decay = (r.box.open_back ? 9.0 : 6.0) * 1e-3 * sample_rate;
    for (int n = static_cast<int>(direct) + 24; n < ir_length; ++n)
        x[n] += 0.02 * noise.next() * std::exp(-(n - direct) / decay);
    return x;
}

// The speaker and box, then the mic's colour, then the cone's top-end roll-off.
void shape(const cabinet_recipe& r, const mic_placement& m, std::vector<double>& x) {
    const speaker_voice& s = r.speaker;
    run(high_pass(r.box.low_cut_hz, 0.7), x);
    run(peak_eq(s.resonance_hz, s.resonance_db, s.resonance_q), x);
    run(peak_eq(s.low_mid_hz, s.low_mid_db, 1.0), x);
    // Towards the cone's edge the break-up peaks soften and the top closes in.
    const double edge = 1 - 0.5 * m.off_centre;
    for (int k = 0; k < 2; ++k)
        run(peak_eq(s.breakup_hz[k], s.breakup_db[k] * edge, s.breakup_q[k]), x);

    switch (m.kind) {
    case mic_kind::dynamic: // cardioid: proximity lift and a presence bump
        run(low_shelf(180, 4.0 * std::exp(-m.distance_cm / 6)), x);
        run(peak_eq(4500, 3.0, 1.2), x);
        break;
    case mic_kind::condenser: // cardioid, flatter and a little more air
        run(low_shelf(180, 2.5 * std::exp(-m.distance_cm / 6)), x);
        run(high_shelf(6000, 2.0), x);
        break;
    case mic_kind::ribbon: // figure-of-eight: the strongest proximity lift, a soft top
        run(low_shelf(200, 6.0 * std::exp(-m.distance_cm / 8)), x);
        run(high_shelf(2500, -5.0), x);
        break;
    }

    // Eighth-order Butterworth low-pass: the steep fall above the cone's useful range.
    const double top = s.rolloff_hz * (1 - 0.25 * m.off_centre);
    for (double q : {0.5098, 0.6013, 0.9000, 2.5629}) run(low_pass(top, q), x);
}

std::vector<float> synthesise(const cabinet_recipe& r, int index) {
    std::vector<double> sum(ir_length, 0.0);
    for (int k = 0; k < 2; ++k) {
        const mic_placement& m = r.mics[k];
        if (m.weight <= 0) continue;
        std::vector<double> x = excitation(r, m, 0x9E3779B97F4A7C15ull * (index + 1) + k);
        shape(r, m, x);
        for (int n = 0; n < ir_length; ++n) sum[n] += m.weight * x[n];
    }

    // A half-cosine fade over the last 512 samples so the cut at 4096 makes no click.
    constexpr int fade = 512;
    for (int n = 0; n < fade; ++n)
        sum[ir_length - fade + n] *= 0.5 * (1 + std::cos(pi * (n + 0.5) / fade));

    int at = 0;
    for (int n = 1; n < ir_length; ++n)
        if (std::fabs(sum[n]) > std::fabs(sum[at])) at = n;
    const double scale = r.peak / sum[at]; // also turns a negative peak positive
    std::vector<float> out(ir_length);
    for (int n = 0; n < ir_length; ++n) out[n] = static_cast<float>(sum[n] * scale);
    return out;
}

// ---------------------------------------------------------------------------------------------
// Checks and levels

double level_db(const std::vector<float>& ir, double hz) {
    double re = 0, im = 0;
    const double w = 2 * pi * hz / sample_rate;
    for (size_t n = 0; n < ir.size(); ++n) {
        re += ir[n] * std::cos(w * n);
        im -= ir[n] * std::sin(w * n);
    }
    return 10 * std::log10(re * re + im * im + 1e-30);
}

int peak_index(const std::vector<float>& ir) {
    int at = 0;
    for (int n = 1; n < static_cast<int>(ir.size()); ++n)
        if (std::fabs(ir[n]) > std::fabs(ir[at])) at = n;
    return at;
}

bool meets_promises(const char* name, const std::vector<float>& ir) {
    for (int n = 0; n < ir_length; ++n) {
        if (!std::isfinite(ir[n])) {
            std::fprintf(stderr, "ir_synth: %s: sample %d is not finite\n", name, n);
            return false;
        }
    }
    const int at = peak_index(ir);
    if (at >= 40 || ir[at] < 0.79f || ir[at] > 0.91f) {
        std::fprintf(stderr, "ir_synth: %s: peak %.3f at sample %d\n", name, ir[at], at);
        return false;
    }
    if (level_db(ir, 8000) > level_db(ir, 1000) - 20) {
        std::fprintf(stderr, "ir_synth: %s: too much top end at 8 kHz\n", name);
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Blob writing

bool write_blob(const std::string& path, const std::vector<float>& ir) {
    const uint16_t byte_count = static_cast<uint16_t>(ir.size() * 4);
    std::vector<unsigned char> bytes = {'R', 'W', static_cast<unsigned char>(byte_count & 0xff),
                                        static_cast<unsigned char>(byte_count >> 8)};
    for (float f : ir) {
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        for (int k = 0; k < 4; ++k) bytes.push_back(static_cast<unsigned char>(bits >> (8 * k)));
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

// ---------------------------------------------------------------------------------------------
// Main

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: ir_synth <out_dir> | --report\n");
        return 2;
    }
    const bool report = std::strcmp(argv[1], "--report") == 0;
    if (report)
        std::printf("%-18s %8s %8s %8s %8s %6s %4s\n", "cabinet", "100 Hz", "1 kHz", "3 kHz",
                    "8 kHz", "peak", "at");

    for (int i = 0; i < static_cast<int>(recipes.size()); ++i) {
        const cabinet_recipe& r = recipes[i];
        const std::vector<float> ir = synthesise(r, i);
        if (!meets_promises(r.name, ir)) return 1;
        if (report) {
            const int at = peak_index(ir);
            std::printf("%-18s %8.1f %8.1f %8.1f %8.1f %6.3f %4d\n", r.name, level_db(ir, 100),
                        level_db(ir, 1000), level_db(ir, 3000), level_db(ir, 8000), ir[at], at);
            continue;
        }
        const std::string path = std::string(argv[1]) + "/cabinet_" + std::to_string(i) + ".rw";
        if (!write_blob(path, ir)) {
            std::fprintf(stderr, "ir_synth: cannot write %s\n", path.c_str());
            return 2;
        }
    }
    return 0;
}
