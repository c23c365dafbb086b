// quillon-cli init DIR: the data directory made ready and named in Qln3.conf, other lines kept.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <string>

#include "support/CliRunner.h"
#include "support/TempDir.h"

namespace quillon {
namespace {

using test::RunOptions;
using test::RunProgram;
using test::TempDir;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool Exists(const std::string& path) {
    return std::ifstream(path).good();
}

TEST(CliInit, MakesTheDataDirectoryAndNamesIt) {
    // The config file before, and what it must hold after "init DIR" (DIR written as @).
    const struct {
        const char* before;  // nullptr: no file yet
        const char* after;
    } cases[] = {
        {nullptr, "[General]\nDataPath=@\n"},
        {"[General]\nDataPath=/old/place\nOther=1\n", "[General]\nDataPath=@\nOther=1\n"},
        {"# mine\nOther=1\n", "[General]\nDataPath=@\n\n# mine\nOther=1\n"},
        {"DataPath = /a\nDataPath=/b\n", "DataPath=@\n"},  // only one DataPath stays
    };
    for (const auto& c : cases) {
        TempDir home;
        const std::string config = home.Path() + "/config/Tarvane/Qln3.conf";
        const std::string data = home.Path() + "/deep/data";
        if (c.before) {
            RunProgram({"/bin/mkdir", "-p", home.Path() + "/config/Tarvane"});
            std::ofstream(config) << c.before;
        }
        RunOptions options;
        options.env = {{"XDG_CONFIG_HOME", home.Path() + "/config"}, {"QUILLON_DATAPATH", ""}};
        for (int run = 0; run < 2; ++run) {  // a second run changes nothing
            auto r = RunProgram({QUILLON_CLI_EXE, "init", data}, options);
            ASSERT_EQ(r.rc, 0) << r.err;
            std::string expected = c.after;
            expected.replace(expected.find('@'), 1, data);
            EXPECT_EQ(ReadAll(config), expected);
        }
        EXPECT_TRUE(Exists(data + "/SMS.dat"));
        EXPECT_TRUE(Exists(data + "/SMS.db"));
        struct stat info {};
        ASSERT_EQ(stat(data.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u);  // private whatever the umask
        // The program now finds it without being told.
        auto get = RunProgram({QUILLON_CLI_EXE, "settings", "get", "ProxyType"}, options);
        EXPECT_EQ(get.rc, 0) << get.err;
    }
    // Nothing to create: a usage error; a place that cannot be made: a failure.
    EXPECT_EQ(RunProgram({QUILLON_CLI_EXE, "init"}).rc, 2);
    EXPECT_EQ(RunProgram({QUILLON_CLI_EXE, "init", "/proc/no/such/place"}).rc, 1);
}

}  // namespace
}  // namespace quillon
