#include "support/Waits.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace quillon::test {

namespace {

sockaddr_in Loopback(int port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    return addr;
}

}  // namespace

GatewayTimeout::GatewayTimeout() {
    ::setenv("QUILLON_GATEWAY_TIMEOUT_MS", std::to_string(kGatewayTimeoutMs).c_str(), 1);
}

GatewayTimeout::~GatewayTimeout() {
    ::unsetenv("QUILLON_GATEWAY_TIMEOUT_MS");
}

int ClosedPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr = Loopback(0);
    socklen_t length = sizeof addr;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length) == 0) {
        port = ntohs(addr.sin_port);
    }
    close(fd);
    return port;
}

bool WaitForListener(int port, int limitMs) {
    return WaitUntil(
        [port] {
            int fd = socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in addr = Loopback(port);
            const bool up = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
            close(fd);
            return up;
        },
        limitMs);
}

}  // namespace quillon::test
