// Tests that need an outside tool (openssl, tinyproxy) skip, saying which, when it is missing.
// CI installs every such tool, so with CI=true a missing tool fails the test instead of hiding it.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace quillon::test {

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
