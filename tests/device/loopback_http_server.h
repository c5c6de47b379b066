// An HTTP server on 127.0.0.1 for the firmware fetch tests: on a thread of its own it serves
// canned responses in turn, one connection each, from one listener at one URL, keeps the last
// request it read, then closes.
// Winsock in the Windows build (included only by its WinINet test), BSD sockets natively.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace nimba::test {

#ifdef _WIN32
using socket_handle = SOCKET;
inline constexpr socket_handle no_socket = INVALID_SOCKET;
inline constexpr int send_flags = 0;
inline void close_socket(socket_handle s) {
    ::shutdown(s, SD_BOTH);
    ::closesocket(s);
}
#else
using socket_handle = int;
inline constexpr socket_handle no_socket = -1;
inline constexpr int send_flags = MSG_NOSIGNAL; // a client that hung up must not kill the test
inline void close_socket(socket_handle s) {
    ::shutdown(s, SHUT_RDWR); // also ends a wait in accept on another thread
    ::close(s);
}
#endif

struct loopback_http_server {
    socket_handle listener = no_socket;
    uint16_t port = 0;
    std::string request;
    std::thread thread;
#ifdef _WIN32
    bool started = false;
#endif

    explicit loopback_http_server(std::string response)
        : loopback_http_server(std::vector<std::string>{std::move(response)}) {}

    explicit loopback_http_server(std::vector<std::string> responses) {
#ifdef _WIN32
        WSADATA data;
        started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
        if (!started) return;
#endif
        listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (listener == no_socket) return;
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        if (::bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(listener, 1) != 0 ||
            ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        port = ntohs(address.sin_port);
        thread = std::thread([this, responses = std::move(responses)] {
            for (const std::string& response : responses)
                if (!serve(response)) return;
        });
    }
    ~loopback_http_server() {
        // A connection that never came must not hold the test up.
        if (listener != no_socket) close_socket(listener);
        if (thread.joinable()) thread.join();
#ifdef _WIN32
        if (started) WSACleanup();
#endif
    }
    std::string url() const {
        return "http://127.0.0.1:" + std::to_string(port) + "/fw/NIMBA.bin?v=";
    }
    bool serve(const std::string& response) {
        const socket_handle connection = ::accept(listener, nullptr, nullptr);
        if (connection == no_socket) return false;
        char piece[1024];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const auto n = ::recv(connection, piece, sizeof(piece), 0);
            if (n <= 0) break;
            request.append(piece, static_cast<size_t>(n));
        }
        for (size_t sent = 0; sent < response.size();) {
            const auto n = ::send(connection, response.data() + sent,
                                  static_cast<int>(response.size() - sent), send_flags);
            if (n <= 0) break;
            sent += static_cast<size_t>(n);
        }
        close_socket(connection);
        return true;
    }
};

} // namespace nimba::test
