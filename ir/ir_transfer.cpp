// Cabinet transfer to the amplifier.
#include "ir/ir_transfer.h"

#include <algorithm>
#include <string>

#include "device/link.h"
#include "device/protocol.h"
#include "ir/ir_import.h"

namespace nimba {

namespace {

constexpr size_t max_image_size = 0xFFFF; // offsets and sizes travel as four nibbles

void put_nibbles16(uint8_t* out, uint32_t value) {
    out[0] = static_cast<uint8_t>((value >> 12) & 0x0F);
    out[1] = static_cast<uint8_t>((value >> 8) & 0x0F);
    out[2] = static_cast<uint8_t>((value >> 4) & 0x0F);
    out[3] = static_cast<uint8_t>(value & 0x0F);
}

// Message 08 for the chunk at `offset`, in the link's message buffer; returns the image
// bytes it carries. Positions past the image's end travel as 00 00.
size_t build_chunk(device_link& link, std::span<const uint8_t> image, size_t offset) {
    const auto m =
        build_frame(link.message_buffer, code_cabinet_chunk, cabinet_chunk_size - frame_overhead);
    put_nibbles16(&m[cabinet_offset_at], static_cast<uint32_t>(offset));
    const size_t carried = std::min(chunk_bytes, image.size() - offset);
    for (size_t i = 0; i < carried; ++i) {
        m[cabinet_data_at + 2 * i] = image[offset + i] >> 4;
        m[cabinet_data_at + 2 * i + 1] = image[offset + i] & 0x0F;
    }
    return carried;
}

void build_close(device_link& link, uint8_t slot, size_t image_size, const ir_name_field& name) {
    const auto m =
        build_frame(link.message_buffer, code_transfer_close, transfer_close_size - frame_overhead);
    m[close_at::target] = slot;
    put_nibbles16(&m[close_at::size], static_cast<uint32_t>(image_size));
    std::copy(name.begin(), name.end(), m.begin() + close_at::name);
}

// An acknowledge that arrived before this send must not count for it.
void send_built(device_link& link, size_t size) {
    link.last_reply = 0;
    send_message(link, std::span<const uint8_t>(link.message_buffer.data(), size));
}

// False when the transfer must end: on a timeout the failure is noted as a time-out at `step`,
// on a stop request nothing is touched.
bool acknowledged(device_link& link, const std::string& step) {
    switch (wait_for_reply(link, code_acknowledge)) {
    case wait_result::reply:
        return true;
    case wait_result::timeout:
        note_timeout(link, make_outcome(outcome_code::cabinet_timed_out, {step}));
        return false;
    case wait_result::stopped:
        return false;
    }
    return false;
}

void set_progress(device_link& link, int32_t value) {
    if (link.state) link.state->progress = value;
    request_repaint(link);
}

// Upper-cases a..z only; 7-bit characters are otherwise kept, everything else becomes "_".
// Characters beyond the 16-bit range count as the two UTF-16 units they are on Windows.
std::string narrow_name(std::wstring_view source) {
    std::string out;
    for (wchar_t c : source) {
        const auto code = static_cast<uint32_t>(c);
        if (code >= 'a' && code <= 'z') {
            out += static_cast<char>(code - 'a' + 'A');
        } else if (code < 0x80) {
            out += static_cast<char>(code);
        } else {
            out += code > 0xFFFF ? "__" : "_";
        }
    }
    return out;
}

void cut_at_last(std::string& text, std::string_view marker) {
    const size_t at = text.rfind(marker);
    if (at != std::string::npos) text.resize(at);
}

void post_not_sent(device_link& link, reason why) {
    post_outcome(link, make_outcome(outcome_code::cabinet_not_sent, {reason_text(why)}));
}

// A cabinet that cannot become an image: link_status 1, nothing sent.
void refuse_image(device_link& link) {
    if (link.state) link.state->link_status = link_connected;
    post_outcome(link, make_outcome(outcome_code::image_not_built));
}

} // namespace

ir_name_field make_ir_name_field(std::wstring_view name_source) {
    std::string name = narrow_name(name_source);
    cut_at_last(name, ".");
    cut_at_last(name, ".WAVE");
    cut_at_last(name, ".WAV");
    ir_name_field field{};
    std::copy_n(name.begin(), std::min(name.size(), field.size()), field.begin());
    return field;
}

std::wstring_view file_name_of(std::wstring_view path) {
    const size_t at = path.find_last_of(L"\\/");
    return at == std::wstring_view::npos ? path : path.substr(at + 1);
}

void upload_ir_image(device_link& link, std::span<const uint8_t> image, uint8_t slot,
                     std::wstring_view name_source) {
    if (!output_open(link)) {
        post_not_sent(link, reason::port_closed);
        return;
    }
    if (image.size() > max_image_size || slot >= slot_count) {
        post_not_sent(link, reason::no_slot_or_room);
        return;
    }
    const size_t size = image.size();
    const std::string chunks = std::to_string((size + chunk_bytes - 1) / chunk_bytes);
    size_t remaining = size;
    size_t offset = 0;
    do {
        remaining -= build_chunk(link, image, offset);
        send_built(link, cabinet_chunk_size);
        if (remaining > 0 && remaining < size) {
            const float left = static_cast<float>(remaining) / static_cast<float>(size) * 100.0f;
            set_progress(link, static_cast<int32_t>(100.0 - static_cast<double>(left)));
        }
        const std::string chunk = std::to_string(offset / chunk_bytes + 1);
        if (!acknowledged(link, reason_text(reason::chunk_of, {chunk, chunks}))) return;
        offset += chunk_bytes;
    } while (remaining > 0);

    const ir_name_field name = make_ir_name_field(name_source);
    build_close(link, slot, size, name);
    send_built(link, transfer_close_size);
    if (!acknowledged(link, reason_text(reason::closing_message))) return;
    if (link.state) link.state->progress = 100;
    post_outcome(
        link, make_outcome(outcome_code::cabinet_sent, {std::to_string(slot), ir_name_text(name)}));
    link_clock(link).sleep_ms(transfer_pause_ms);
    link.failure_count = 0;
}

std::string ir_name_text(const ir_name_field& field) {
    return std::string(field.begin(), std::find(field.begin(), field.end(), uint8_t{0}));
}

void send_factory_ir(device_link& link, std::wstring_view name, std::span<const float> samples,
                     uint8_t slot) {
    const auto image = encode_ir_image(samples);
    if (!image) {
        refuse_image(link);
        return;
    }
    upload_ir_image(link, *image, slot, name);
}

} // namespace nimba
