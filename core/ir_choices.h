// The choices an owner makes when a WAV file becomes a cabinet IR: which channel of a stereo
// file, whether its level is matched to the factory cabinets', and how a long IR ends. The
// defaults are the conversion as it always was. Plain values: any thread.
#pragma once

#include <cstdint>

namespace nimba {

enum class ir_channel : uint8_t { left, right, both }; // both: the mean of left and right
enum class ir_level : uint8_t { file, matched };       // matched: to the factory median
enum class ir_tail : uint8_t { cut, fade };            // fade: a half-cosine over the last 512

struct ir_choices {
    ir_channel channel = ir_channel::left;
    ir_level level = ir_level::file;
    ir_tail tail = ir_tail::cut;
};

} // namespace nimba
