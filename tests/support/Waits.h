// Timing for tests: bounded waits on a condition instead of fixed sleeps, and the one gateway
// request timeout every test runs with.
#pragma once

#include <chrono>
#include <thread>

namespace quillon::test {

// Generous on purpose: a loaded machine never trips it; only the tests of a silent server wait it out.
constexpr int kGatewayTimeoutMs = 10000;

// Sets QUILLON_GATEWAY_TIMEOUT_MS to kGatewayTimeoutMs for its lifetime.
class GatewayTimeout {
public:
    GatewayTimeout();
    ~GatewayTimeout();
    GatewayTimeout(const GatewayTimeout&) = delete;
    GatewayTimeout& operator=(const GatewayTimeout&) = delete;
};

// Waits (bounded) until `done` holds; false when it never did.
template <class Predicate>
bool WaitUntil(Predicate done, int limitMs = 20000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return done();
}

// A loopback port on which nothing listens (bound, read back and closed).
int ClosedPort();
// Waits (bounded) until something accepts connections on the loopback port.
bool WaitForListener(int port, int limitMs = 20000);

}  // namespace quillon::test
