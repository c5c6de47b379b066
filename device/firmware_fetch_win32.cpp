// The firmware fetch over WinINet (Windows builds). The request bypasses the URL cache both
// ways (reload from the server, store nothing) and the HTTP status is read before any body,
// so an error page never lands in the buffer. The body is read straight into the caller's
// buffer in pieces of at most 4096 bytes and refused once it would run past the buffer's end.
#include <windows.h>
#include <wininet.h>

#include <algorithm>

#include "device/firmware_fetch.h"

namespace nimba {

namespace {

constexpr DWORD largest_piece = 4096;

struct internet_handle {
    HINTERNET handle = nullptr;
    explicit internet_handle(HINTERNET h) : handle(h) {}
    internet_handle(const internet_handle&) = delete;
    internet_handle& operator=(const internet_handle&) = delete;
    ~internet_handle() {
        if (handle) InternetCloseHandle(handle);
    }
};

std::wstring widen_url(const std::string& url) {
    if (url.empty()) return {};
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, url.data(), static_cast<int>(url.size()), nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, url.data(), static_cast<int>(url.size()), wide.data(), length);
    return wide;
}

fetch_result fetch_with_wininet(const std::string& url, std::span<uint8_t> buffer) {
    const std::wstring wide_url = widen_url(url);
    if (wide_url.empty()) return {};
    internet_handle session(
        InternetOpenW(L"NIMBA editor", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session.handle) return {};
    constexpr DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                            INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_UI;
    internet_handle request(
        InternetOpenUrlW(session.handle, wide_url.c_str(), nullptr, 0, flags, 0));
    if (!request.handle) return {};

    DWORD status = 0;
    DWORD status_size = sizeof(status);
    if (!HttpQueryInfoW(request.handle, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                        &status_size, nullptr))
        return {};
    if (status < 200 || status > 299) return {fetch_status::http_error, 0};

    fetch_result result{fetch_status::ok, 0};
    for (;;) {
        const size_t space = buffer.size() - result.received;
        if (space == 0) {
            // The buffer is full: one more byte from the server means the body is too long.
            uint8_t probe = 0;
            DWORD read = 0;
            if (!InternetReadFile(request.handle, &probe, 1, &read))
                result.status = fetch_status::transport_error;
            else if (read != 0)
                result.status = fetch_status::too_long;
            return result;
        }
        const DWORD want = static_cast<DWORD>(std::min<size_t>(largest_piece, space));
        DWORD read = 0;
        if (!InternetReadFile(request.handle, buffer.data() + result.received, want, &read)) {
            result.status = fetch_status::transport_error;
            return result;
        }
        if (read == 0) return result;
        result.received += std::min<size_t>(read, want);
    }
}

} // namespace

firmware_fetch platform_firmware_fetch() {
    return fetch_with_wininet;
}

} // namespace nimba
