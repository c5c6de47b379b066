// WAV codec: reads RIFF and Wave64 files held in memory (integer PCM, IEEE float, A-law, mu-law,
// Microsoft and IMA ADPCM) into interleaved 32-bit float frames, and writes float WAV images.
// Pure functions over caller-owned buffers; any thread. Header sizes are never trusted: every
// read is bounded by the buffer actually given.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace nimba {

enum class wav_container { riff, wave64 };

enum class wav_encoding { pcm, ieee_float, alaw, mulaw, ms_adpcm, ima_adpcm };

// What the header says, after checking it against the bytes present.
struct wav_format {
    wav_container container = wav_container::riff;
    wav_encoding encoding = wav_encoding::pcm;
    uint16_t channels = 0;
    uint32_t sample_rate = 0;
    uint16_t bits_per_sample = 0;
    uint16_t block_align = 0;      // bytes per frame, or per block for ADPCM
    uint32_t frames_per_block = 1; // ADPCM: frames decoded from one block
    uint64_t frame_count = 0;      // frames declared by the file and held by its data
};

// An opened file: its format and a view of its sample data inside the caller's buffer.
struct wav_file {
    wav_format format;
    std::span<const uint8_t> data;
    // Microsoft ADPCM predictor coefficient pairs from the format chunk.
    std::vector<std::array<int16_t, 2>> adpcm_coefficients;
};

// Parses the container and the format chunk. Refuses what it cannot decode: an unknown
// container or encoding, no format or data chunk, zero channels or rate, an impossible
// block layout. The result refers into `bytes`, which must outlive it.
std::optional<wav_file> open_wav(std::span<const uint8_t> bytes);

// Decodes up to `max_frames` frames from frame `first_frame` on as interleaved floats; for
// ADPCM, first_frame must begin a block (a multiple of frames_per_block), else nothing.
// Integer PCM is scaled by 1 / 2^(bits - 1) (8-bit is unsigned, centred on 128); A-law,
// mu-law and ADPCM go through their 16-bit expansion and / 32768; 64-bit floats are
// narrowed. Returns fewer frames when the data ends early or an ADPCM block is corrupt.
std::vector<float> decode_wav_frames(const wav_file& file, uint64_t max_frames,
                                     uint64_t first_frame = 0);

// A RIFF file of 32-bit IEEE float samples (format tag 3, 16-byte format chunk, no fact
// chunk). Empty when the data would not fit a RIFF size field or channels/rate are 0.
std::vector<uint8_t> encode_wav_float32(std::span<const float> interleaved, uint16_t channels,
                                        uint32_t sample_rate);

} // namespace nimba
