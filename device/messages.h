// The amplifier's System Exclusive messages, declared once: every request and reply code, the
// byte layout of each message that carries fields, and the one frame builder. Constants and a
// pure function over a caller's buffer; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace nimba {

// Every message is F0 00 <code> <data bytes> F7: no further identifier, length or checksum.
// Data bytes are 7-bit; values that need 8 bits travel as nibbles, most significant first.
inline constexpr uint8_t sysex_start = 0xF0;
inline constexpr uint8_t sysex_zero = 0x00; // byte 1 of every message
inline constexpr uint8_t sysex_end = 0xF7;
inline constexpr size_t frame_code_at = 2;
inline constexpr size_t frame_data_at = 3;
inline constexpr size_t frame_overhead = 4; // F0 00 <code> ... F7

// Message codes. "->" the editor sends it, "<-" the amplifier does. 08 is both the cabinet
// chunk going out and the acknowledge coming back for every chunk and close.
enum message_code : uint8_t {
    code_parameter_block = 0x01, // -> the parameter block below
    code_program = 0x02,         // -> F0 00 02 n F7; <- the parameter block of program n
    code_program_changed = 0x03, // <- F0 00 03 F7 or F0 00 03 n F7, unsolicited
    code_slot_name = 0x04,       // -> F0 00 04 k F7; <- F0 00 04 00 k name F7
    code_firmware_chunk = 0x07,  // -> address in 6 nibbles, 256 image bytes as nibble pairs
    code_cabinet_chunk = 0x08,   // -> offset in 4 nibbles, 256 image bytes as nibble pairs
    code_acknowledge = 0x08,     // <- F0 00 08 F7
    code_transfer_close = 0x09,  // -> target, size in 4 nibbles, name
    code_store = 0x0A,           // -> F0 00 0A F7
    code_version = 0x0B,         // -> F0 00 0B F7; <- F0 00 0B hi lo F7
    code_link_reset = 0x0C,      // -> F0 00 0C F7
};

// Byte offsets from the F0, and whole sizes, F0 and F7 included.
namespace block_at { // the parameter block: request 01, reply 02
inline constexpr size_t program = 3;
} // namespace block_at
// The values after the program number, each at its byte, are declared in core/amp_values.h.
inline constexpr size_t parameter_block_size = 23;
inline constexpr size_t program_reply_min_size = 20; // shorter program replies are dropped

namespace slot_name_at { // reply 04
inline constexpr size_t slot = 4;
inline constexpr size_t name = 5;
} // namespace slot_name_at
inline constexpr size_t slot_name_reply_size = 70;

namespace version_at { // reply 0B: the version word, most significant byte first
inline constexpr size_t high = 3;
inline constexpr size_t low = 4;
} // namespace version_at
inline constexpr size_t version_reply_size = 6;

// Transfers: chunks 08 (cabinet) and 07 (firmware), then the close 09.
inline constexpr size_t chunk_bytes = 256; // image bytes per chunk
inline constexpr size_t cabinet_offset_at = 3;
inline constexpr size_t cabinet_data_at = 7;
inline constexpr size_t cabinet_chunk_size = 520;
inline constexpr size_t firmware_address_at = 3;
inline constexpr size_t firmware_data_at = 9;
inline constexpr size_t firmware_chunk_size = 522;
namespace close_at {
inline constexpr size_t target = 3; // a cabinet slot 0..5, or close_target_firmware
inline constexpr size_t size = 4;   // 4 nibbles
inline constexpr size_t name = 8;   // name_field_size bytes, zero-filled
} // namespace close_at
inline constexpr uint8_t close_target_firmware = 0x10;
inline constexpr size_t name_field_size = 64;
inline constexpr size_t transfer_close_size = 73;

// Writes F0 00 <code>, `data_size` zero bytes and F7 at the start of `buffer` and returns the
// whole frame, whose data the caller fills in place; empty when the buffer is too small.
std::span<uint8_t> build_frame(std::span<uint8_t> buffer, message_code code, size_t data_size);

} // namespace nimba
