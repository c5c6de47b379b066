// Cabinet IR import and the IR image.
#include "ir/ir_import.h"

#include <algorithm>
#include <cmath>

#include "core/file_access.h"
#include "ir/ir_level.h"
#include "ir/wav_codec.h"

namespace nimba {

namespace {

constexpr float silence_threshold = 0.01f; // -40 dB full scale

// Source frames held for the conversion once the sound starts: twice what 4096 output
// samples read at the highest rate (about 2 x 8194 at 96 kHz), so the cut never shows.
uint64_t frames_kept(uint32_t rate) {
    return 2 * (uint64_t{ir_max_samples} * rate / ir_sample_rate + 8);
}

// Frames decoded at a time: about 64 Ki, whole ADPCM blocks.
uint64_t slice_frames(const wav_format& format) {
    const uint64_t block = format.frames_per_block;
    return std::max<uint64_t>(1, 65536 / block) * block;
}

bool silent(float sample) {
    return sample >= -silence_threshold && sample <= silence_threshold; // NaN is not silence
}

// The chosen channel of one frame; a mono file has only its one.
float channel_of(const float* frame, uint16_t channels, ir_channel channel) {
    if (channels < 2 || channel == ir_channel::left) return frame[0];
    if (channel == ir_channel::right) return frame[1];
    return 0.5f * frame[0] + 0.5f * frame[1];
}

// The chosen channel from the first sample outside the silence threshold, at most frames_kept.
// A file that is silent throughout gives its last sample. Decoding stops where the file's frames
// end or a slice comes back short (a corrupt ADPCM block). Empty when no frame decodes.
std::vector<float> sounding_channel(const wav_file& file, ir_channel channel) {
    const wav_format& format = file.format;
    const uint64_t keep = frames_kept(format.sample_rate);
    const uint64_t slice = slice_frames(format);
    std::vector<float> kept;
    std::optional<float> last;
    for (uint64_t first = 0; first < format.frame_count && kept.size() < keep; first += slice) {
        const std::vector<float> frames = decode_wav_frames(file, slice, first);
        const size_t count = frames.size() / format.channels;
        for (size_t i = 0; i < count && kept.size() < keep; ++i) {
            last = channel_of(&frames[i * format.channels], format.channels, channel);
            if (!kept.empty() || !silent(*last)) kept.push_back(*last);
        }
        if (count < slice) break;
    }
    if (kept.empty() && last) kept.push_back(*last);
    return kept;
}

// Lanczos (a = 3) over the 8 source positions around each output position, in single
// precision with a fixed order of operations, so the same file always gives the same IR.
// The kernel is not widened when converting down and its weights are not normalised.
std::vector<float> resample_to_48k(std::span<const float> working, uint32_t rate) {
    const float length = static_cast<float>(working.size()) *
                         (static_cast<float>(ir_sample_rate) / static_cast<float>(rate));
    const size_t count =
        length >= static_cast<float>(ir_max_samples) ? ir_max_samples : static_cast<size_t>(length);
    const float step = static_cast<float>(rate) / static_cast<float>(ir_sample_rate);
    const auto n = static_cast<int64_t>(working.size());
    constexpr double pi = 3.14159265358979323846;

    std::vector<float> out(count);
    for (size_t m = 0; m < count; ++m) {
        const float p = static_cast<float>(m) * step;
        const auto k = static_cast<int64_t>(std::floor(p));
        float sum = 0.0f;
        for (int64_t t = std::max<int64_t>(k - 4, 0); t <= k + 3 && t < n; ++t) {
            const float x = p - static_cast<float>(t);
            float w = 0.0f;
            if (x == 0.0f) {
                w = 1.0f;
            } else if (x > -3.0f && x < 3.0f) {
                const auto y = static_cast<float>(static_cast<double>(x) * pi);
                w = ((std::sin(y) * 3.0f) * std::sin(y / 3.0f)) / (y * y);
            }
            sum += w * working[static_cast<size_t>(t)];
        }
        out[m] = sum;
    }
    return out;
}

// A half-cosine over the last min(512, N) samples: the sample before it keeps its gain of 1 and
// the last one reaches 0.
void fade_tail(std::vector<float>& samples) {
    const size_t length = std::min(ir_fade_samples, samples.size());
    const size_t start = samples.size() - length;
    constexpr double pi = 3.14159265358979323846;
    for (size_t j = 0; j < length; ++j) {
        const double gain =
            0.5 * (1.0 + std::cos(pi * static_cast<double>(j + 1) / static_cast<double>(length)));
        samples[start + j] = static_cast<float>(samples[start + j] * gain);
    }
}

} // namespace

const char* rejection_text(ir_rejection rejection) {
    switch (rejection) {
    case ir_rejection::none:
        return "accepted";
    case ir_rejection::unreadable:
        return "the file cannot be read";
    case ir_rejection::not_decodable:
        return "not a WAV file we can decode";
    case ir_rejection::sample_rate:
        return "sample rate outside 44100 to 96000 Hz";
    case ir_rejection::too_many_channels:
        return "more than 2 channels";
    case ir_rejection::no_frames:
        return "no audio frames";
    case ir_rejection::not_finite:
        return "contains samples that are not finite numbers";
    }
    return "refused";
}

std::string refusal_text(const ir_conversion& conversion) {
    if (conversion.rejection == ir_rejection::sample_rate)
        return "sample rate " + std::to_string(conversion.source_rate) + " Hz is outside " +
               std::to_string(ir_min_source_rate) + " to " + std::to_string(ir_max_source_rate);
    std::string text = rejection_text(conversion.rejection);
    if (!conversion.read_error.empty()) text += ": " + conversion.read_error;
    return text;
}

ir_conversion convert_wav_to_ir(std::span<const uint8_t> file_bytes, const ir_choices& choices) {
    ir_conversion result;
    if (file_bytes.empty()) {
        result.rejection = ir_rejection::unreadable;
        return result;
    }
    const auto file = open_wav(file_bytes);
    if (!file) {
        result.rejection = ir_rejection::not_decodable;
        return result;
    }
    const wav_format& format = file->format;
    result.source_rate = format.sample_rate;
    result.source_channels = format.channels;
    result.source_frames = format.frame_count;
    if (format.sample_rate < ir_min_source_rate || format.sample_rate > ir_max_source_rate) {
        result.rejection = ir_rejection::sample_rate;
        return result;
    }
    if (format.channels > 2) {
        result.rejection = ir_rejection::too_many_channels;
        return result;
    }
    const std::vector<float> working = sounding_channel(*file, choices.channel);
    if (working.empty()) {
        result.rejection = ir_rejection::no_frames;
        return result;
    }
    if (format.sample_rate == ir_sample_rate) {
        result.samples.assign(working.begin(),
                              working.begin() + std::min(working.size(), ir_max_samples));
    } else {
        result.samples = resample_to_48k(working, format.sample_rate);
    }
    // Huge 64-bit values narrow to infinity and the resampler's sums can overflow; the
    // amplifier's convolution would turn such a response into noise or full-scale silence.
    if (!std::all_of(result.samples.begin(), result.samples.end(),
                     [](float s) { return std::isfinite(s); })) {
        result.samples.clear();
        result.rejection = ir_rejection::not_finite;
        return result;
    }
    if (choices.tail == ir_tail::fade) fade_tail(result.samples);
    if (choices.level == ir_level::matched)
        result.level = match_level(result.samples, factory_median_level_db());
    return result;
}

ir_conversion read_ir_from_wav(const std::wstring& path, const ir_choices& choices) {
    file_read file = read_regular_file(path);
    if (!file.error.empty()) return {ir_rejection::unreadable, {}, std::move(file.error)};
    return convert_wav_to_ir(file.bytes, choices);
}

std::optional<std::vector<uint8_t>> encode_ir_image(std::span<const float> samples) {
    if (samples.size() > ir_max_samples) return std::nullopt;
    std::vector<uint8_t> image = encode_wav_float32(samples, 1, ir_sample_rate);
    if (image.size() != ir_image_header_size + 4 * samples.size()) return std::nullopt;
    return image;
}

} // namespace nimba
