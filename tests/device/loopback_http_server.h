// An HTTP server on 127.0.0.1 for the firmware fetch tests: on a thread of its own it serves
// canned responses in turn, one connection each, from one listener at one URL, keeps the last
// request it read, then closes.
// Portable: the socket calls are loopback_socket.h's.
#pragma once

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "loopback_socket.h"

namespace nimba::test {

struct loopback_http_server {
    socket_handle listener = no_socket;
    uint16_t port = 0;
    std::string request;
    std::thread thread;
    bool started = false;

    explicit loopback_http_server(std::string response)
        : loopback_http_server(std::vector<std::string>{std::move(response)}) {}

    explicit loopback_http_server(std::vector<std::string> responses) {
        started = start_sockets();
        if (!started) return;
        listener = listen_on_loopback(port);
        if (listener == no_socket) return;
        thread = std::thread([this, responses = std::move(responses)] {
            for (const std::string& response : responses)
                if (!serve(response)) return;
        });
    }
    ~loopback_http_server() {
        // A connection that never came must not hold the test up.
        if (listener != no_socket) close_socket(listener);
        if (thread.joinable()) thread.join();
        if (started) stop_sockets();
    }
    std::string url() const {
        return "http://127.0.0.1:" + std::to_string(port) + "/fw/NIMBA.bin?v=";
    }
    bool serve(const std::string& response) {
        const socket_handle connection = accept_connection(listener);
        if (connection == no_socket) return false;
        char piece[1024];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const long n = receive_some(connection, piece, sizeof(piece));
            if (n <= 0) break;
            request.append(piece, static_cast<size_t>(n));
        }
        for (size_t sent = 0; sent < response.size();) {
            const long n = send_some(connection, response.data() + sent, response.size() - sent);
            if (n <= 0) break;
            sent += static_cast<size_t>(n);
        }
        close_socket(connection);
        return true;
    }
};

} // namespace nimba::test
