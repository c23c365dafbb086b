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

TEST(CliSettings, GetShowsValuesWithDefaultsAndLimitsApplied) {
    TempDir dir;
    CliResult r = RunCli(dir.Path(), {"settings", "get", "proxytype"});
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out, "1\n");
    r = RunCli(dir.Path(), {"settings", "get", "COMBaseURL"});
    EXPECT_EQ(r.out, "https://api.quillon-sms.example/http/\n");

    EXPECT_EQ(RunCli(dir.Path(), {"settings", "set", "NumRecent", "25"}).rc, 0);
    r = RunCli(dir.Path(), {"settings", "get", "NUMRECENT"});
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out, "10\n");
}

TEST(CliSettings, SetStoresTextThatOtherKeysReadBack) {
    TempDir dir;
    CliResult r = RunCli(dir.Path(), {"settings", "set", "MyKey", "it's a value"});
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.err, "");
    r = RunCli(dir.Path(), {"settings", "get", "mykey"});
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out, "it's a value\n");

    SettingsFile file;
    ASSERT_TRUE(file.Open(dir.File("SMS.dat"), false));
    EXPECT_EQ(file.Entries().at("MYKEY"), "it's a value");
}

TEST(CliSettings, ExitCodes) {
    TempDir dir;
    CliResult r = RunCli(dir.Path(), {"settings", "get", "NoSuchKey"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.out, "");
    ASSERT_FALSE(r.err.empty());
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1);  // one line

    r = RunCli(dir.Path(), {"settings", "get", "SchedulingInfo"});  // a known key not stored yet: empty
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out, "\n");

    EXPECT_EQ(RunCli(dir.Path(), {"settings"}).rc, 2);
    EXPECT_EQ(RunCli(dir.Path(), {"settings", "get"}).rc, 2);
    EXPECT_EQ(RunCli(dir.Path(), {"settings", "set", "OnlyKey"}).rc, 2);
    EXPECT_EQ(RunCli(dir.Path(), {"settings", "frob", "x"}).rc, 2);
    EXPECT_EQ(RunCli(dir.Path(), {"settings", "set", std::string(48, 'K'), "v"}).rc, 2);
    EXPECT_EQ(RunCli(dir.Path(), {"settings", "set", "big", std::string(2048, 'v')}).rc, 1);

    r = RunCli(dir.Path(), {"settings", "--help"});
    EXPECT_EQ(r.rc, 0);
    EXPECT_NE(r.out.find("settings get KEY"), std::string::npos);
}

}  // namespace
}  // namespace quillon
