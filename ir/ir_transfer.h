// Cabinet transfer to the amplifier: a user's WAV file or a factory cabinet sent into one of
// the six user slots as 256-byte chunks (message 08), each acknowledged, and a transfer close
// (message 09) naming slot, size and cabinet. Device-link worker thread only.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "device/messages.h"

namespace nimba {

struct device_link;

using ir_name_field = std::array<uint8_t, name_field_size>;

// The name the amplifier shows for a cabinet: upper-cased, the extension and any ".WAV" or
// ".WAVE" dropped, zero-filled, no terminator when all 64 bytes are used. Characters outside
// 7-bit ASCII become "_", since a System Exclusive data byte cannot carry them.
ir_name_field make_ir_name_field(std::wstring_view name_source);

// The name as the field holds it, up to its first zero byte.
std::string ir_name_text(const ir_name_field& field);

// The last component of a path (after its last "\" or "/").
std::wstring_view file_name_of(std::wstring_view path);

// Sends an IR image into `slot` (0..5). Nothing is sent while the output port is closed, for
// a slot outside 0..5 or for an image the 16-bit size field cannot describe (outcome
// cabinet_not_sent). progress runs through the chunks and reaches 100 when the close is
// acknowledged (outcome cabinet_sent); a missed acknowledge ends the transfer with link_status 3,
// failure_count + 1 and the outcome cabinet_timed_out naming the chunk; a stop request ends it
// silently.
void upload_ir_image(device_link& link, std::span<const uint8_t> image, uint8_t slot,
                     std::wstring_view name_source);

// A factory cabinet's samples into `slot`, named `name`.
void send_factory_ir(device_link& link, std::wstring_view name, std::span<const float> samples,
                     uint8_t slot);

} // namespace nimba
