#include "support/CliRunner.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>

#include "support/TempDir.h"
#include "support/Waits.h"

extern char** environ;

namespace quillon::test {

namespace {

// The inherited environment with the overrides applied.
std::vector<std::string> ChildEnvironment(const std::vector<std::pair<std::string, std::string>>& overrides) {
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e) {
        const std::string entry = *e;
        bool replaced = false;
        for (const auto& [name, value] : overrides)
            replaced = replaced || entry.compare(0, name.size() + 1, name + "=") == 0;
        if (!replaced)
            env.push_back(entry);
    }
    for (const auto& [name, value] : overrides)
        env.push_back(name + "=" + value);
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (auto& s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Waits for the child, bounded; kills it by its PID when the time is up. The exit code, or -1.
int WaitBounded(pid_t pid, int timeoutSeconds, bool& timedOut) {
    int status = 0;
    pid_t done = 0;
    timedOut = !WaitUntil(
        [&] {
            done = waitpid(pid, &status, WNOHANG);
            return done == pid || (done < 0 && errno != EINTR);
        },
        timeoutSeconds * 1000);
    if (timedOut) {
        kill(pid, SIGKILL);
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        return -1;
    }
    return done == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

CliResult RunProgram(const std::vector<std::string>& argv, const RunOptions& options) {
    CliResult result;
    if (argv.empty())
        return result;
    TempDir scratch;
    const std::string outPath = scratch.File("out"), errPath = scratch.File("err");
    std::vector<std::string> args = argv;
    std::vector<std::string> env = ChildEnvironment(options.env);
    std::vector<char*> argp = Pointers(args), envp = Pointers(env);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    const int spawnError = posix_spawn(&pid, argp[0], &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawnError != 0) {
        result.err = "could not start " + argv[0] + ": " + std::strerror(spawnError) + "\n";
        return result;
    }
    bool timedOut = false;
    result.rc = WaitBounded(pid, options.timeoutSeconds, timedOut);
    result.out = ReadFile(outPath);
    result.err = ReadFile(errPath);
    if (timedOut)
        result.err += "killed after " + std::to_string(options.timeoutSeconds) + " s: " + argv[0] + "\n";
    return result;
}

CliResult RunCli(const std::string& dataDir, const std::vector<std::string>& args, const RunOptions& options) {
    std::vector<std::string> argv = {QUILLON_CLI_EXE, "--data-dir", dataDir};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProgram(argv, options);
}

}  // namespace quillon::test
