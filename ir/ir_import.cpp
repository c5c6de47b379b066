// Cabinet IR import and the IR image.
#include "ir/ir_import.h"

#include <algorithm>
#include <cmath>

#include "core/file_access.h"
#include "device/link.h"
#include "ir/wav_codec.h"

namespace nimba {

namespace {

constexpr float silence_threshold = 0.01f; // -40 dB full scale

// Leading samples within the threshold, among all but the last, so at least one remains.
size_t leading_silence(std::span<const float> mono) {
    size_t skip = 0;
    while (skip + 1 < mono.size() && mono[skip] >= -silence_threshold &&
           mono[skip] <= silence_threshold)
        ++skip;
    return skip;
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
    }
    return "refused";
}

ir_conversion convert_wav_to_ir(std::span<const uint8_t> file_bytes) {
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
    if (format.sample_rate < ir_min_source_rate || format.sample_rate > ir_max_source_rate) {
        result.rejection = ir_rejection::sample_rate;
        return result;
    }
    if (format.channels > 2) {
        result.rejection = ir_rejection::too_many_channels;
        return result;
    }
    const std::vector<float> frames = decode_wav_frames(*file, format.frame_count);
    const size_t n = frames.size() / format.channels;
    if (n == 0) {
        result.rejection = ir_rejection::no_frames;
        return result;
    }
    std::vector<float> mono(n);
    for (size_t i = 0; i < n; ++i) mono[i] = frames[i * format.channels];

    const std::span<const float> working =
        std::span<const float>(mono).subspan(leading_silence(mono));
    if (format.sample_rate == ir_sample_rate) {
        result.samples.assign(working.begin(),
                              working.begin() + std::min(working.size(), ir_max_samples));
    } else {
        result.samples = resample_to_48k(working, format.sample_rate);
    }
    return result;
}

ir_conversion read_ir_from_wav(const std::wstring& path) {
    const auto bytes = read_whole_file(path);
    if (!bytes) return {ir_rejection::unreadable, {}};
    return convert_wav_to_ir(*bytes);
}

std::optional<std::vector<float>> load_ir_from_wav(device_link& link, const std::wstring& path) {
    ir_conversion conversion = read_ir_from_wav(path);
    if (conversion.rejection != ir_rejection::none) {
        if (link.state) link.state->link_status.store(link_connected);
        post_outcome(link, make_outcome(outcome_code::import_refused,
                                        {rejection_text(conversion.rejection)}));
        return std::nullopt;
    }
    return std::move(conversion.samples);
}

std::optional<std::vector<uint8_t>> encode_ir_image(std::span<const float> samples) {
    if (samples.size() > ir_max_samples) return std::nullopt;
    std::vector<uint8_t> image = encode_wav_float32(samples, 1, ir_sample_rate);
    if (image.size() != ir_image_header_size + 4 * samples.size()) return std::nullopt;
    return image;
}

} // namespace nimba
