// The few socket calls the loopback HTTP server makes: BSD sockets natively
// (loopback_socket_posix.cpp), Winsock in the Windows build (loopback_socket_win32.cpp).
// Any thread; start_sockets and stop_sockets pair up around a server's life.
#pragma once

#include <cstddef>
#include <cstdint>

namespace nimba::test {

using socket_handle = intptr_t;
inline constexpr socket_handle no_socket = -1;

bool start_sockets();
void stop_sockets();
// A listener on 127.0.0.1 at a port the system picks, told in `port`; no_socket on failure.
socket_handle listen_on_loopback(uint16_t& port);
socket_handle accept_connection(socket_handle listener);
// Bytes moved; 0 or less when the connection ended or failed. A client that hung up never
// ends the process.
long receive_some(socket_handle s, char* into, size_t size);
long send_some(socket_handle s, const char* from, size_t size);
// Also ends a wait in accept_connection on another thread.
void close_socket(socket_handle s);

} // namespace nimba::test
