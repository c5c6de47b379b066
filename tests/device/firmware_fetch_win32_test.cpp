// The WinINet firmware fetch against a loopback HTTP server: status read before the body,
// bodies taken only into the buffer, the cache bypassed.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "app/state.h"
#include "device/firmware_fetch.h"
#include "tests/device/fetch_cases.h"

namespace nimba {
namespace {

using bytes = std::vector<uint8_t>;

// Serves one connection with a canned response on 127.0.0.1, then closes it.
struct loopback_http_server {
    SOCKET listener = INVALID_SOCKET;
    uint16_t port = 0;
    std::string request;
    std::thread thread;

    explicit loopback_http_server(std::string response) {
        WSADATA data;
        if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return;
        listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int length = sizeof(address);
        if (::bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(listener, 1) != 0 ||
            ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        port = ntohs(address.sin_port);
        thread = std::thread([this, response = std::move(response)] { serve(response); });
    }
    ~loopback_http_server() {
        if (thread.joinable()) thread.join();
        if (listener != INVALID_SOCKET) ::closesocket(listener);
        WSACleanup();
    }
    std::string url() const {
        return "http://127.0.0.1:" + std::to_string(port) + "/fw/NIMBA.bin?v=";
    }
    void serve(const std::string& response) {
        const SOCKET connection = ::accept(listener, nullptr, nullptr);
        if (connection == INVALID_SOCKET) return;
        char piece[1024];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const int n = ::recv(connection, piece, sizeof(piece), 0);
            if (n <= 0) break;
            request.append(piece, static_cast<size_t>(n));
        }
        for (size_t sent = 0; sent < response.size();) {
            const int n = ::send(connection, response.data() + sent,
                                 static_cast<int>(response.size() - sent), 0);
            if (n <= 0) break;
            sent += static_cast<size_t>(n);
        }
        ::shutdown(connection, SD_BOTH);
        ::closesocket(connection);
    }
};

TEST(WininetFetch, ReportsStatusAndNeverWritesPastTheBuffer) {
    const std::string image = test::body_of(firmware_image_size);
    const test::fetch_case cases[] = {
        {"whole image", test::http_response("200 OK", image), fetch_status::ok,
         firmware_image_size},
        {"not found", test::http_response("404 Not Found", "no such file"),
         fetch_status::http_error, 0},
        {"short body", test::http_response("200 OK", test::body_of(firmware_image_size - 1)),
         fetch_status::ok, firmware_image_size - 1},
        {"long body", test::http_response("200 OK", test::body_of(firmware_image_size + 1)),
         fetch_status::too_long, firmware_image_size},
    };
    test::check_fetch_cases<loopback_http_server>(platform_firmware_fetch(), cases, image);
}

TEST(WininetFetch, FetchesAgainRatherThanFromTheCache) {
    bytes buffer(firmware_image_size);
    const std::string first = test::body_of(firmware_image_size);
    const std::string second = first.substr(1).insert(0, 1, char{0x55});
    for (const std::string* body : {&first, &second}) {
        loopback_http_server server(test::http_response("200 OK", *body));
        ASSERT_NE(server.port, 0);
        // Both servers may land on the same port: a cached copy would return the first body.
        const fetch_result result = platform_firmware_fetch()(server.url(), buffer);
        EXPECT_EQ(result.status, fetch_status::ok);
        EXPECT_EQ(buffer[0], static_cast<uint8_t>((*body)[0]));
    }
}

} // namespace
} // namespace nimba
