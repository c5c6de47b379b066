// The firmware fetch over libcurl (native builds). libcurl keeps no cache of its own; the
// no-cache request headers keep proxies from answering with a stored copy. The body is copied
// straight into the caller's buffer and refused once it would run past the buffer's end.
#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "device/firmware_fetch.h"

namespace nimba {

namespace {

constexpr size_t largest_piece = 4096;
constexpr long connect_timeout_s = 15;
// A transfer slower than this many bytes per second for the given time is given up.
constexpr long stalled_bytes_per_s = 1;
constexpr long stalled_for_s = 30;
constexpr long redirect_limit = 5;

struct body_sink {
    CURL* handle = nullptr;
    std::span<uint8_t> buffer;
    size_t received = 0;
    bool refused_status = false;
    bool too_long = false;
};

bool successful_status(long status) {
    return status >= 200 && status <= 299;
}

size_t take_body(char* data, size_t size, size_t count, void* user) {
    auto& sink = *static_cast<body_sink*>(user);
    long status = 0;
    curl_easy_getinfo(sink.handle, CURLINFO_RESPONSE_CODE, &status);
    if (!successful_status(status)) {
        // An error page is no image: stop before any of it lands in the buffer.
        sink.refused_status = true;
        return 0;
    }
    const size_t total = size * count;
    if (total > sink.buffer.size() - sink.received) {
        sink.too_long = true;
        return 0;
    }
    for (size_t done = 0; done < total;) {
        const size_t piece = std::min(largest_piece, total - done);
        std::memcpy(sink.buffer.data() + sink.received, data + done, piece);
        sink.received += piece;
        done += piece;
    }
    return total;
}

bool curl_ready() {
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] { ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    return ready;
}

fetch_result fetch_with_curl(const std::string& url, std::span<uint8_t> buffer) {
    if (!curl_ready()) return {};
    CURL* handle = curl_easy_init();
    if (!handle) return {};
    body_sink sink{handle, buffer};
    curl_slist* headers = curl_slist_append(nullptr, "Cache-Control: no-cache");
    headers = curl_slist_append(headers, "Pragma: no-cache");

    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(handle, CURLOPT_MAXREDIRS, redirect_limit);
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, connect_timeout_s);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, stalled_bytes_per_s);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, stalled_for_s);
    curl_easy_setopt(handle, CURLOPT_BUFFERSIZE, static_cast<long>(largest_piece));
    curl_easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(buffer.size()));
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, take_body);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &sink);

    const CURLcode code = curl_easy_perform(handle);
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(handle);
    curl_slist_free_all(headers);

    fetch_result result{fetch_status::ok, sink.received};
    if (sink.refused_status || (status != 0 && !successful_status(status)))
        result.status = fetch_status::http_error;
    else if (sink.too_long || code == CURLE_FILESIZE_EXCEEDED)
        result.status = fetch_status::too_long;
    else if (code != CURLE_OK)
        result.status = fetch_status::transport_error;
    return result;
}

} // namespace

firmware_fetch platform_firmware_fetch() {
    return fetch_with_curl;
}

} // namespace nimba
