// Firmware download and transfer. The image is taken only whole: a response that is not a
// success, or whose body is not exactly the image's size, leaves a zeroed buffer, so a partial
// or foreign body can never reach the amplifier.
#include "device/firmware.h"

#include <algorithm>
#include <cstring>

#include "device/program_backup.h"
#include "device/protocol.h"
#include "device/worker.h"

namespace nimba {

namespace {

fetch_result fetch_guarded(const firmware_fetch& fetch, const std::string& url,
                           std::span<uint8_t> buffer) {
    try {
        return fetch(url, buffer);
    } catch (...) {
        return {fetch_status::transport_error, 0};
    }
}

// Percentage of the image sent once `remaining` bytes are left: 100 - remaining * 100 / size,
// cut toward zero, which after chunk k is k * 25 / 128.
int32_t transfer_percent(size_t remaining) {
    return static_cast<int32_t>((firmware_image_size - remaining) * 100 / firmware_image_size);
}

std::string refusal_reason(const fetch_result& result) {
    switch (result.status) {
    case fetch_status::transport_error:
        return reason_text(reason::download_failed);
    case fetch_status::http_error:
        return reason_text(reason::server_error);
    case fetch_status::too_long:
        return reason_text(reason::image_too_long);
    case fetch_status::ok:
        break;
    }
    return reason_text(reason::image_too_short, {std::to_string(result.received)});
}

// "chunk 3 of 512" for the chunk at `address`.
std::string chunk_text(uint32_t address) {
    return reason_text(reason::chunk_of, {std::to_string(address / chunk_bytes + 1),
                                          std::to_string(firmware_chunk_count)});
}

} // namespace

std::optional<outcome> download_firmware_image(device_link& link, const firmware_fetch& fetch,
                                               const std::string& url) {
    std::span<uint8_t> buffer(link.firmware_image);
    std::fill(buffer.begin(), buffer.end(), uint8_t{0});
    const fetch_result result = fetch ? fetch_guarded(fetch, url, buffer) : fetch_result{};
    if (result.status == fetch_status::ok && result.received == buffer.size()) return std::nullopt;
    std::fill(buffer.begin(), buffer.end(), uint8_t{0});
    return make_outcome(outcome_code::firmware_refused, {refusal_reason(result)});
}

uint16_t firmware_image_version(std::span<const uint8_t, firmware_image_size> image) {
    return static_cast<uint16_t>(image[firmware_version_at + 1] << 8 | image[firmware_version_at]);
}

size_t build_firmware_chunk(std::span<const uint8_t, firmware_image_size> image, uint32_t address,
                            std::span<uint8_t> out) {
    if (address > firmware_image_size - chunk_bytes) return 0;
    const auto frame = build_frame(out, code_firmware_chunk, firmware_chunk_size - frame_overhead);
    if (frame.empty()) return 0;
    size_t at = firmware_address_at;
    for (int shift = 20; shift >= 0; shift -= 4) frame[at++] = (address >> shift) & 0x0F;
    for (uint8_t byte : image.subspan(address, chunk_bytes)) {
        frame[at++] = byte >> 4;
        frame[at++] = byte & 0x0F;
    }
    return frame.size();
}

size_t build_firmware_close(std::span<uint8_t> out) {
    const auto frame = build_frame(out, code_transfer_close, transfer_close_size - frame_overhead);
    if (frame.empty()) return 0;
    frame[close_at::target] = close_target_firmware;
    std::fill_n(frame.begin() + close_at::size, 4, uint8_t{0x0F});
    std::memcpy(&frame[close_at::name], firmware_file_name, std::strlen(firmware_file_name));
    return frame.size();
}

void transfer_firmware(device_link& link) {
    if (!output_open(link)) {
        post_outcome(link, make_outcome(outcome_code::firmware_not_sent,
                                        {reason_text(reason::port_closed)}));
        return;
    }
    editor_state& state = *link.state;
    const std::span<const uint8_t, firmware_image_size> image(link.firmware_image);
    std::span<uint8_t> buffer(link.message_buffer);

    size_t remaining = firmware_image_size;
    for (uint32_t address = 0; remaining > 0; address += chunk_bytes) {
        const size_t size = build_firmware_chunk(image, address, buffer);
        remaining -= chunk_bytes;
        link.last_reply = 0;
        send_message(link, buffer.first(size));
        if (remaining > 0) {
            state.progress = transfer_percent(remaining);
            request_repaint(link);
        }
        const wait_result waited = wait_for_reply(link, code_acknowledge);
        if (waited == wait_result::stopped) return;
        if (waited == wait_result::timeout) {
            note_timeout(link,
                         make_outcome(outcome_code::firmware_timed_out, {chunk_text(address)}));
            return;
        }
    }

    const size_t size = build_firmware_close(buffer);
    link.last_reply = 0;
    send_message(link, buffer.first(size));
    const wait_result waited = wait_for_reply(link, code_acknowledge);
    if (waited == wait_result::stopped) return;
    if (waited == wait_result::timeout) {
        note_timeout(link, make_outcome(outcome_code::firmware_timed_out,
                                        {reason_text(reason::closing_message)}));
        return;
    }
    state.progress = 100;
    post_outcome(link, make_outcome(outcome_code::firmware_updated,
                                    {firmware_version_text(state.device_firmware_version),
                                     firmware_version_text(firmware_image_version(image))}));
    if (!pause_unless_stopped(link, transfer_pause_ms)) return;
    link.failure_count = 0;
}

} // namespace nimba
