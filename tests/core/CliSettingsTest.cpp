// quillon-cli settings get/set, run as a separate process on a fresh data directory.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/AppSettings.h"
#include "support/TempDir.h"

namespace quillon {
namespace {

using test::ReadFile;
using test::TempDir;

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& arg) {
    std::string quoted = "'";
    for (char c : arg) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

CliResult RunCli(const TempDir& dir, const std::vector<std::string>& args) {
    std::string command = Quote(QUILLON_CLI_EXE) + " --data-dir " + Quote(dir.Path());
    for (const auto& a : args)
        command += " " + Quote(a);
    const std::string errFile = dir.File("cli-stderr.txt");
    command += " 2>" + Quote(errFile);
    CliResult result;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.out.append(buffer, n);
    int raw = ::pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.err = ReadFile(errFile);
    std::remove(errFile.c_str());
    return result;
}

TEST(CliSettings, GetShowsValuesWithDefaultsAndLimitsApplied) {
    TempDir dir;
    CliResult r = RunCli(dir, {"settings", "get", "proxytype"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "1\n");
    r = RunCli(dir, {"settings", "get", "COMBaseURL"});
    EXPECT_EQ(r.out, std::string(kDefaultComBaseUrl) + "\n");

    EXPECT_EQ(RunCli(dir, {"settings", "set", "NumRecent", "25"}).status, 0);
    r = RunCli(dir, {"settings", "get", "NUMRECENT"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "10\n");
}

TEST(CliSettings, SetStoresTextThatOtherKeysReadBack) {
    TempDir dir;
    CliResult r = RunCli(dir, {"settings", "set", "MyKey", "it's a value"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    r = RunCli(dir, {"settings", "get", "mykey"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "it's a value\n");

    SettingsFile file;
    ASSERT_TRUE(file.Open(dir.File("SMS.dat"), false));
    EXPECT_EQ(file.Entries().at("MYKEY"), "it's a value");
}

TEST(CliSettings, ExitCodes) {
    TempDir dir;
    CliResult r = RunCli(dir, {"settings", "get", "NoSuchKey"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    ASSERT_FALSE(r.err.empty());
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1);  // one line

    r = RunCli(dir, {"settings", "get", "SchedulingInfo"});  // a known key not stored yet: empty
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "\n");

    EXPECT_EQ(RunCli(dir, {"settings"}).status, 2);
    EXPECT_EQ(RunCli(dir, {"settings", "get"}).status, 2);
    EXPECT_EQ(RunCli(dir, {"settings", "set", "OnlyKey"}).status, 2);
    EXPECT_EQ(RunCli(dir, {"settings", "frob", "x"}).status, 2);
    EXPECT_EQ(RunCli(dir, {"settings", "set", std::string(48, 'K'), "v"}).status, 2);
    EXPECT_EQ(RunCli(dir, {"settings", "set", "big", std::string(2048, 'v')}).status, 1);

    r = RunCli(dir, {"settings", "--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("settings get KEY"), std::string::npos);
}

}  // namespace
}  // namespace quillon
