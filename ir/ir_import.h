// Cabinet IR import: a WAV file turned into a 48 kHz mono IR of at most 4096 samples, and the
// IR image (the float WAV bytes in which every cabinet travels and is saved). Runs on the
// device-link worker, the GUI thread (the import's preview) or the command-line tool; touches no
// editor state.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/ir_choices.h"
#include "ir/ir_level.h"

namespace nimba {

inline constexpr uint32_t ir_sample_rate = 48000;
inline constexpr size_t ir_max_samples = 4096;
inline constexpr uint32_t ir_min_source_rate = 44100;
inline constexpr uint32_t ir_max_source_rate = 96000;
inline constexpr size_t ir_image_header_size = 44;
inline constexpr size_t ir_max_image_size = ir_image_header_size + 4 * ir_max_samples; // 16428
inline constexpr size_t ir_fade_samples = 512; // the longest tail fade

enum class ir_rejection {
    none,
    unreadable,        // no path, cannot be opened, empty, read error
    not_decodable,     // not a WAV file the codec can decode
    sample_rate,       // outside 44100..96000 Hz
    too_many_channels, // neither 1 nor 2 channels
    no_frames,         // no audio frames decoded
    not_finite,        // a converted sample is infinite or NaN
};

// One line for a person: why a file was refused.
const char* rejection_text(ir_rejection rejection);

struct ir_conversion {
    ir_rejection rejection = ir_rejection::none;
    std::vector<float> samples;   // 0..4096 samples at 48 kHz when accepted
    std::string read_error;       // for `unreadable`: why the file could not be read
    uint32_t source_rate = 0;     // the file's rate, once its header is read
    uint16_t source_channels = 0; // its channels, likewise
    uint64_t source_frames = 0;   // its frames, likewise
    level_match level{};          // what matching the level did (nothing unless chosen)
};

// The refusal with its detail, as "the file cannot be read: is a folder, not a file" or
// "sample rate 22050 Hz is outside 44100 to 96000".
std::string refusal_text(const ir_conversion& conversion);

// The whole conversion of a file already in memory: take the chosen channel (a mono file has
// one), drop leading silence (never the last sample), resample to 48 kHz, cut; then, as
// chosen, fade the tail and match the level to the factory median. Frames are decoded a slice
// at a time and silence is dropped as it goes, so only what the 4096 output samples need is
// ever held, however long the file or its silence. Refused when any converted sample is not
// finite. The default choices give the conversion the editor always made.
ir_conversion convert_wav_to_ir(std::span<const uint8_t> file_bytes,
                                const ir_choices& choices = {});

// Reads the file at `path` (a regular file of at most max_read_bytes) and converts it.
ir_conversion read_ir_from_wav(const std::wstring& path, const ir_choices& choices = {});

// The IR image of up to 4096 samples: a 44-byte RIFF header (format tag 3, 1 channel,
// 48000 Hz, 32 bits) and the samples. Nothing for more than 4096 samples.
std::optional<std::vector<uint8_t>> encode_ir_image(std::span<const float> samples);

} // namespace nimba
