// Fuzzes the WAV decoder and the whole IR conversion with arbitrary file bytes: every input
// must be refused or decoded without a read or write outside its buffers.
#include <cstddef>
#include <cstdint>
#include <span>

#include "ir/ir_import.h"
#include "ir/wav_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    if (const auto file = nimba::open_wav(bytes)) {
        const auto frames = nimba::decode_wav_frames(*file, file->format.frame_count);
        if (frames.size() > file->format.frame_count * file->format.channels) __builtin_trap();
    }
    const nimba::ir_conversion ir = nimba::convert_wav_to_ir(bytes);
    if (ir.samples.size() > nimba::ir_max_samples) __builtin_trap();
    if (ir.rejection == nimba::ir_rejection::none && !nimba::encode_ir_image(ir.samples))
        __builtin_trap();
    return 0;
}
