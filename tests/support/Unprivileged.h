// Permission bits do not stop root, and the tests often run as root (in CI, in containers). A check of
// an unreadable file therefore runs in a child process that first gives up root for the unprivileged
// "nobody" account, so it means the same whoever runs the tests.
#pragma once

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace quillon::test {

constexpr uid_t kNobody = 65534;

// Runs `check` (which uses EXPECT_* / ASSERT_*) in a child process without root's privileges. The child's
// failures are printed where it fails; the result is true when it ran and had none.
inline bool RunUnprivileged(const std::function<void()>& check) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0))
            _exit(2);
        check();
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid)
        return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace quillon::test
