// The firmware fetch seam: an HTTP(S) GET of a URL straight into a caller's buffer, never from
// a cache. Implementations: libcurl (native, firmware_fetch_curl.cpp) and WinINet
// (firmware_fetch_win32.cpp); tests pass their own. Worker thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace nimba {

enum class fetch_status {
    ok,              // a successful response (HTTP 2xx where the transport reports one)
    transport_error, // no response, or the connection failed mid-body
    http_error,      // the server answered with a status outside 2xx
    too_long,        // the body was longer than the buffer; nothing beyond it was written
};

struct fetch_result {
    fetch_status status = fetch_status::transport_error;
    size_t received = 0; // bytes written into the buffer
};

// Reads in pieces of at most 4096 bytes, each straight into the buffer after the last.
using firmware_fetch =
    std::function<fetch_result(const std::string& url, std::span<uint8_t> buffer)>;

// The platform's fetch (libcurl natively, WinINet on Windows).
firmware_fetch platform_firmware_fetch();

inline constexpr const char* firmware_url = "https://firmware.corvane.com/fw/NIMBA.bin?v=";

} // namespace nimba
