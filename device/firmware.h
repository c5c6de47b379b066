// The firmware image: its download into the link's image buffer, the version it carries and its
// transfer to the amplifier as acknowledged chunk messages 07 and a closing message 09.
// Worker thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "core/outcome.h"

#include "device/firmware_fetch.h"
#include "device/link.h"
#include "device/messages.h"

namespace nimba {

inline constexpr int32_t firmware_chunk_count = firmware_image_size / chunk_bytes;
inline constexpr const char* firmware_file_name = "NIMBA.bin";

// Zeroes the image buffer and fetches the image into it. Takes only a successful response of
// exactly the image's size and returns nothing then; otherwise leaves the buffer zeroed and
// returns the refusal saying why (the fetch's status or the size that arrived).
std::optional<outcome> download_firmware_image(device_link& link, const firmware_fetch& fetch,
                                               const std::string& url);

// Where an image carries its version: a 16-bit little-endian word.
inline constexpr size_t firmware_version_at = 0x1FFFC;
// The version word of an image.
uint16_t firmware_image_version(std::span<const uint8_t, firmware_image_size> image);

// Writes the chunk message for the 256 image bytes at `address` (a multiple of 256 inside the
// image) into `out`, which holds at least 522 bytes. Returns the message's size.
size_t build_firmware_chunk(std::span<const uint8_t, firmware_image_size> image, uint32_t address,
                            std::span<uint8_t> out);

// Writes the 73-byte closing message into `out` (at least 73 bytes). Returns its size.
size_t build_firmware_close(std::span<uint8_t> out);

// Sends the image buffer chunk by chunk, each awaited by its acknowledge 08, then the closing
// message. Reports through link_status, progress, failure_count and the outcome (updated, or
// timed out at a chunk or the close); with the output port closed it posts firmware_not_sent and
// sends nothing; a stop request ends it silently.
void transfer_firmware(device_link& link);

} // namespace nimba
