// The one frame builder of the amplifier's System Exclusive messages.
#include "device/messages.h"

#include <algorithm>

namespace nimba {

std::span<uint8_t> build_frame(std::span<uint8_t> buffer, message_code code, size_t data_size) {
    const size_t size = data_size + frame_overhead;
    if (buffer.size() < size) return {};
    const std::span<uint8_t> frame = buffer.first(size);
    frame[0] = sysex_start;
    frame[1] = sysex_zero;
    frame[frame_code_at] = code;
    std::fill(frame.begin() + frame_data_at, frame.end() - 1, uint8_t{0});
    frame.back() = sysex_end;
    return frame;
}

} // namespace nimba
