// Runs a program (usually quillon-cli) as a child process, the way a user would, and collects its exit
// code and output. The wait is bounded: a child that hangs is killed by its PID, so the test fails
// instead of stalling the run.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace quillon::test {

struct CliResult {
    int rc = -1;      // the exit code; -1 when the program could not start, was killed or timed out
    std::string out;  // everything written to stdout
    std::string err;  // everything written to stderr (and a note when the run was cut short)
};

struct RunOptions {
    // Set in the child's environment, replacing any inherited value of the same name.
    std::vector<std::pair<std::string, std::string>> env;
    // Far longer than any command takes, even on a loaded machine.
    int timeoutSeconds = 120;
};

// argv[0] is the program's path. Stdin is /dev/null; stdout and stderr go to files in a private
// temporary directory, read back when the program has ended.
CliResult RunProgram(const std::vector<std::string>& argv, const RunOptions& options = {});

// quillon-cli --data-dir DATADIR ARGS...
CliResult RunCli(const std::string& dataDir, const std::vector<std::string>& args, const RunOptions& options = {});

}  // namespace quillon::test
