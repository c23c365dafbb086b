// Outside tools (openssl, tinyproxy) for tests: a test that needs one skips, saying which, when it is
// missing; CI installs every such tool, so with CI=true a missing tool fails the test instead of hiding it.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace quillon::test {

class TempDir;

// A tool serving on a loopback port for one test, its output discarded; stopped by its PID.
class ToolProcess {
public:
    ToolProcess() = default;
    ~ToolProcess() { Stop(); }
    ToolProcess(const ToolProcess&) = delete;
    ToolProcess& operator=(const ToolProcess&) = delete;

    // Starts argv (argv[0] a full path) and waits, bounded, until something listens on `port`.
    bool Start(int port, std::vector<std::string> argv);
    // openssl s_server with a fresh self-signed certificate (made in `dir`) that no client trusts.
    bool StartUntrustedTls(int port, const TempDir& dir);
    // tinyproxy for 127.0.0.1 with basic authentication as quser / qpass (its config written in `dir`).
    bool StartProxy(int port, const TempDir& dir);
    void Stop();

private:
    pid_t pid_ = -1;
};

// Ends a child: SIGTERM, SIGKILL after a bounded wait, then reaps it. Its exit code, 128 + the signal, or -1.
int StopChild(pid_t pid);

inline bool InCi() {
    const char* ci = std::getenv("CI");
    return ci && std::strcmp(ci, "true") == 0;
}

}  // namespace quillon::test

// Use at the top of a test body or SetUp(); `path` is the tool's full path.
#define QUILLON_SKIP_WITHOUT_TOOL(path)                                            \
    do {                                                                           \
        if (::access(path, X_OK) != 0) {                                           \
            if (::quillon::test::InCi())                                           \
                FAIL() << path << " is missing: CI must install it for this test"; \
            GTEST_SKIP() << path << " is not installed; this test needs it";       \
        }                                                                          \
    } while (0)
