// The loopback server's sockets over Winsock.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "loopback_socket.h"

namespace nimba::test {

namespace {

SOCKET native(socket_handle s) {
    return static_cast<SOCKET>(s);
}

socket_handle handle_of(SOCKET s) {
    return s == INVALID_SOCKET ? no_socket : static_cast<socket_handle>(s);
}

} // namespace

bool start_sockets() {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

void stop_sockets() {
    WSACleanup();
}

socket_handle listen_on_loopback(uint16_t& port) {
    const SOCKET listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener == INVALID_SOCKET) return no_socket;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof(address);
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener, 1) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::closesocket(listener);
        return no_socket;
    }
    port = ntohs(address.sin_port);
    return handle_of(listener);
}

socket_handle accept_connection(socket_handle listener) {
    return handle_of(::accept(native(listener), nullptr, nullptr));
}

long receive_some(socket_handle s, char* into, size_t size) {
    return ::recv(native(s), into, static_cast<int>(size), 0);
}

long send_some(socket_handle s, const char* from, size_t size) {
    return ::send(native(s), from, static_cast<int>(size), 0);
}

void close_socket(socket_handle s) {
    ::shutdown(native(s), SD_BOTH);
    ::closesocket(native(s));
}

} // namespace nimba::test
