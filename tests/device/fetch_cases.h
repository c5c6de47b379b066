// The table every platform firmware fetch is held to: canned HTTP responses served by a
// loopback server, each fetched into a buffer with guard bytes on both sides. Single-threaded
// apart from the server's own thread.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "core/state.h"
#include "device/firmware_fetch.h"

namespace nimba::test {

inline std::string body_of(size_t size) {
    std::string body(size, '\0');
    for (size_t i = 0; i < size; ++i) body[i] = static_cast<char>(i % 251);
    return body;
}

inline std::string http_response(const char* status, const std::string& body,
                                 bool with_length = true) {
    std::string head = std::string("HTTP/1.1 ") + status + "\r\nConnection: close\r\n";
    if (with_length) head += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    return head + "\r\n" + body;
}

struct fetch_case {
    const char* name;
    std::string response;
    fetch_status status;
    size_t received; // SIZE_MAX: any count within the buffer
};

// The rows every platform's fetch answers alike: the whole image, an error page and a short
// body. Each test adds how its platform treats a body longer than the buffer.
inline std::vector<fetch_case> shared_fetch_cases(const std::string& image) {
    return {
        {"whole image", http_response("200 OK", image), fetch_status::ok, firmware_image_size},
        {"not found", http_response("404 Not Found", "no such file"), fetch_status::http_error, 0},
        {"short body", http_response("200 OK", body_of(firmware_image_size - 1)), fetch_status::ok,
         firmware_image_size - 1},
    };
}

// Serves each case from a fresh `server_type` (constructed from the response, with `port` and
// `url()`) and checks the status, the count, the guard bytes and, on success, that the bytes
// are `image`'s; an error page must not reach the buffer.
template <class server_type>
void check_fetch_cases(const firmware_fetch& fetch, std::span<const fetch_case> cases,
                       const std::string& image) {
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server_type server(c.response);
        ASSERT_NE(server.port, 0);
        std::vector<uint8_t> storage(firmware_image_size + 64, 0xAA);
        const std::span<uint8_t> buffer(storage.data() + 32, firmware_image_size);
        const fetch_result result = fetch(server.url(), buffer);
        EXPECT_EQ(result.status, c.status);
        if (c.received != SIZE_MAX) {
            EXPECT_EQ(result.received, c.received);
        }
        EXPECT_LE(result.received, firmware_image_size);
        EXPECT_TRUE(std::all_of(storage.begin(), storage.begin() + 32,
                                [](uint8_t b) { return b == 0xAA; }));
        EXPECT_TRUE(
            std::all_of(storage.end() - 32, storage.end(), [](uint8_t b) { return b == 0xAA; }));
        if (c.status == fetch_status::ok) {
            EXPECT_EQ(std::memcmp(buffer.data(), image.data(), c.received), 0);
        }
        if (c.status == fetch_status::http_error) {
            EXPECT_EQ(buffer[0], 0xAA) << "an error page landed in the buffer";
        }
    }
}

} // namespace nimba::test
