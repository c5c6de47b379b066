// The loopback server's sockets over BSD sockets.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "loopback_socket.h"

namespace nimba::test {

bool start_sockets() {
    return true;
}

void stop_sockets() {}

socket_handle listen_on_loopback(uint16_t& port) {
    const int listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener < 0) return no_socket;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener, 1) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(listener);
        return no_socket;
    }
    port = ntohs(address.sin_port);
    return listener;
}

socket_handle accept_connection(socket_handle listener) {
    const int connection = ::accept(static_cast<int>(listener), nullptr, nullptr);
    return connection < 0 ? no_socket : connection;
}

long receive_some(socket_handle s, char* into, size_t size) {
    return ::recv(static_cast<int>(s), into, size, 0);
}

long send_some(socket_handle s, const char* from, size_t size) {
    return ::send(static_cast<int>(s), from, size, MSG_NOSIGNAL);
}

void close_socket(socket_handle s) {
    ::shutdown(static_cast<int>(s), SHUT_RDWR);
    ::close(static_cast<int>(s));
}

} // namespace nimba::test
