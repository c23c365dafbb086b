// quillon-cli settings get/set, run as a separate process on a fresh data directory.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/AppSettings.h"
#include "support/CliRunner.h"
#include "support/TempDir.h"

namespace quillon {
namespace {

using test::CliResult;
using test::RunCli;
using test::TempDir;

TEST(CliSettings, GetAndSetWithTheirExitCodes) {
    // In order, on one data directory; out == nullptr: not checked.
    const struct {
        std::vector<std::string> args;
        int rc;
        const char* out;
    } steps[] = {
        // Values in use: defaults and limits applied, keys in any letter case.
        {{"settings", "get", "proxytype"}, 0, "1\n"},
        {{"settings", "get", "COMBaseURL"}, 0, "https://api.quillon-sms.example/http/\n"},
        {{"settings", "set", "NumRecent", "25"}, 0, ""},
        {{"settings", "get", "NUMRECENT"}, 0, "10\n"},
        {{"settings", "get", "SchedulingInfo"}, 0, "\n"},  // a known key not stored yet: empty
        // Any other key: its stored text.
        {{"settings", "set", "MyKey", "it's a value"}, 0, ""},
        {{"settings", "get", "mykey"}, 0, "it's a value\n"},
        {{"settings", "get", "NoSuchKey"}, 1, ""},
        {{"settings", "set", "big", std::string(2048, 'v')}, 1, nullptr},
        // Usage errors.
        {{"settings"}, 2, nullptr},
        {{"settings", "get"}, 2, nullptr},
        {{"settings", "set", "OnlyKey"}, 2, nullptr},
        {{"settings", "frob", "x"}, 2, nullptr},
        {{"settings", "set", std::string(48, 'K'), "v"}, 2, nullptr},
    };
    TempDir dir;
    for (const auto& step : steps) {
        const CliResult r = RunCli(dir.Path(), step.args);
        EXPECT_EQ(r.rc, step.rc) << step.args.back() << ": " << r.err;
        if (step.out) {
            EXPECT_EQ(r.out, step.out) << step.args.back();
        }
        // Success is silent on stderr; a failure says why in one line.
        if (step.rc == 0) {
            EXPECT_EQ(r.err, "") << step.args.back();
        } else if (step.rc == 1) {
            EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
        }
    }
    SettingsFile file;
    ASSERT_TRUE(file.Open(dir.File("SMS.dat"), false));
    EXPECT_EQ(file.Entries().at("MYKEY"), "it's a value");

    const CliResult help = RunCli(dir.Path(), {"settings", "--help"});
    EXPECT_EQ(help.rc, 0);
    EXPECT_NE(help.out.find("settings get KEY"), std::string::npos);
}

// A gateway address that sends the password in clear is named once on stderr by every command.
TEST(CliSettings, WarnsOnceOfAnUnencryptedGateway) {
    const struct {
        const char* url;
        size_t warnings;
    } cases[] = {
        {"http://gw.example/http/", 1},
        {"http://127.0.0.1:8080/http/", 0},  // nothing leaves this computer
        {"https://gw.example/http/", 0},
    };
    TempDir dir;
    for (const auto& c : cases) {
        ASSERT_EQ(RunCli(dir.Path(), {"settings", "set", "COMBaseURL", c.url}).rc, 0);
        const CliResult r = RunCli(dir.Path(), {"settings", "get", "prefix"});
        EXPECT_EQ(r.rc, 0);
        size_t count = 0;
        for (size_t at = r.err.find("not encrypted"); at != std::string::npos; at = r.err.find("not encrypted", at + 1))
            ++count;
        EXPECT_EQ(count, c.warnings) << c.url << ": " << r.err;
    }
}

}  // namespace
}  // namespace quillon
