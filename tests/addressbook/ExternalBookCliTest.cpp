// quillon-cli external-book, run as a separate program.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>

#include "support/TempDir.h"

extern char** environ;

namespace quillon {
namespace {

using test::TempDir;

struct CliResult {
    int rc = -1;
    std::string out, err;
};

CliResult RunCli(const TempDir& dir, std::vector<std::string> args) {
    args.insert(args.begin(), {QUILLON_CLI_EXE, "--data-dir", dir.Path()});
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string outPath = dir.File("cli.out"), errPath = dir.File("cli.err");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    CliResult result;
    pid_t pid = 0;
    if (posix_spawn(&pid, QUILLON_CLI_EXE, &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        result.rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    result.out = test::ReadFile(outPath);
    result.err = test::ReadFile(errPath);
    return result;
}

TEST(ExternalBookCli, PrintsTheTreeIndentedAndReportsFailures) {
    TempDir dir;
    std::filesystem::create_directories(dir.File("cards/family"));
    test::WriteFile(dir.File("cards/a.vcf"), "BEGIN:VCARD\nFN:Abe\nTEL;TYPE=cell:0820000001\nEND:VCARD\n");
    test::WriteFile(dir.File("cards/family/b.vcf"), "BEGIN:VCARD\nFN:Bea\nTEL;TYPE=cell:0820000002\nEND:VCARD\n");
    auto r = RunCli(dir, {"external-book", "--source", "vcard", "--vcard", dir.File("cards")});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out, "Abe (0820000001)\nfamily\n  Bea (0820000002)\n");

    r = RunCli(dir, {"external-book", "--source", "mail", "--profile-root", dir.File("none")});
    EXPECT_EQ(r.rc, 1);
    EXPECT_NE(r.err.find("Failed to open the Outlook/MAPI Address Book."), std::string::npos);
    EXPECT_EQ(RunCli(dir, {"external-book", "--source", "other"}).rc, 2);
}

}  // namespace
}  // namespace quillon
