// SMS.log: banner, line prefix, the 1024-character cut, rotation and whole lines from two threads.
#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "core/AppLog.h"
#include "core/AppSettings.h"
#include "support/TempDir.h"

namespace quillon {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

const std::string kBannerPattern =
    R"(Started @ [A-Z][a-z]{2} [A-Z][a-z]{2} [ 123]\d \d\d:\d\d:\d\d \d{4}\r\n------\r\n)";
const std::string kPrefixPattern = R"(\d\d/\d\d/\d{4} \d\d:\d\d:\d\d \(([0-9a-f]+)\)   )";

std::vector<std::string> Archives(const TempDir& dir) {
    std::vector<std::string> names;
    const std::regex archive(R"(SMS\.log\.\d{8}\.\d{4}\.log)");
    for (const auto& e : std::filesystem::directory_iterator(dir.Path())) {
        std::string name = e.path().filename().string();
        if (std::regex_match(name, archive))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(AppLog, EveryStartAppendsOneBanner) {
    TempDir dir;
    const std::string path = dir.File("SMS.log");
    WriteFile(path, "older run\r\n");
    { AppLog log(path); }
    EXPECT_TRUE(std::regex_match(ReadFile(path), std::regex("older run\r\n" + kBannerPattern)));
}

TEST(AppLog, LineHasDatePrefixAndKernelThreadId) {
    TempDir dir;
    AppLog log(dir.File("SMS.log"));
    log.Write("Added SMS: SMS_ID (%d) Mobile:%s Msg:%s\n", 7, ",0821234567", "hi");
    log.Write("plain %x", 255);
    char tid[32];
    std::snprintf(tid, sizeof tid, "%lx", static_cast<long>(::syscall(SYS_gettid)));
    std::smatch m;
    const std::string content = ReadFile(dir.File("SMS.log"));
    ASSERT_TRUE(std::regex_match(
        content, m,
        std::regex(kBannerPattern + kPrefixPattern + "Added SMS: SMS_ID \\(7\\) Mobile:,0821234567 Msg:hi\n\r\n" +
                   kPrefixPattern + "plain ff\r\n")))
        << content;
    EXPECT_EQ(m[1].str(), tid);
    EXPECT_EQ(m[2].str(), tid);
}

TEST(AppLog, MessageIsCutAt1024Characters) {
    TempDir dir;
    AppLog log(dir.File("SMS.log"));
    log.Write("%s", std::string(3000, 'x').c_str());
    // 1023 ASCII bytes and a two-byte character: the character does not fit whole and goes.
    log.Write("%s%s", std::string(1023, 'y').c_str(), "é");
    const std::string content = ReadFile(dir.File("SMS.log"));
    EXPECT_TRUE(std::regex_match(content, std::regex(kBannerPattern + kPrefixPattern + std::string(1024, 'x') + "\r\n" +
                                                     kPrefixPattern + std::string(1023, 'y') + "\r\n")));
}

// 10:mm:00 local time on Sunday 6 December 2026.
time_t At(int minute) {
    struct tm fields {};
    fields.tm_year = 2026 - 1900;
    fields.tm_mon = 11;
    fields.tm_mday = 6;
    fields.tm_hour = 10;
    fields.tm_min = minute;
    fields.tm_isdst = -1;
    return mktime(&fields);
}

TEST(AppLog, RotationMovesTheLogAsideOncePerMinute) {
    TempDir dir;
    const std::string path = dir.File("SMS.log");
    time_t now = At(15);
    AppLog log(path, 200, [&now] { return now; });
    log.Write("%s", std::string(100, 'a').c_str());
    EXPECT_TRUE(Archives(dir).empty());
    log.Write("%s", std::string(100, 'b').c_str());  // passes 200 bytes: rotated
    EXPECT_EQ(Archives(dir), std::vector<std::string>{"SMS.log.20261206.1015.log"});
    EXPECT_FALSE(std::filesystem::exists(path));
    const std::string archived = ReadFile(dir.File("SMS.log.20261206.1015.log"));
    EXPECT_NE(archived.find(std::string(100, 'b') + "\r\n"), std::string::npos);

    // The next line starts a fresh log the way a new run would.
    log.Write("after rotation");
    EXPECT_TRUE(
        std::regex_match(ReadFile(path), std::regex("Started @ Sun Dec  6 10:15:00 2026\r\n------\r\n"
                                                    R"(12/06/2026 10:15:00 \([0-9a-f]+\)   after rotation\r\n)")));

    // A second rotation in the same minute never replaces that minute's archive: the log stays.
    log.Write("%s", std::string(200, 'c').c_str());
    EXPECT_EQ(ReadFile(dir.File("SMS.log.20261206.1015.log")), archived);
    EXPECT_NE(ReadFile(path).find(std::string(200, 'c')), std::string::npos);
    // A minute later it goes to the archive of that minute.
    now = At(16);
    log.Write("next minute");
    EXPECT_EQ(Archives(dir), (std::vector<std::string>{"SMS.log.20261206.1015.log", "SMS.log.20261206.1016.log"}));
    EXPECT_NE(ReadFile(dir.File("SMS.log.20261206.1016.log")).find("next minute\r\n"), std::string::npos);
}

TEST(AppLog, TwoThreadsWriteWholeLines) {
    TempDir dir;
    AppLog log(dir.File("SMS.log"));
    const int perThread = 400;
    auto writer = [&](char c) {
        const std::string body(150, c);
        for (int i = 0; i < perThread; ++i)
            log.Write("%c %04d %s", c, i, body.c_str());
    };
    std::thread a(writer, 'a');
    std::thread b(writer, 'b');
    a.join();
    b.join();
    const std::string content = ReadFile(dir.File("SMS.log"));
    const std::regex line(kPrefixPattern + R"(([ab]) \d{4} ([ab]{150}))");
    size_t pos = content.find("------\r\n") + 8;
    int counts[2] = {0, 0};
    while (pos < content.size()) {
        size_t end = content.find("\r\n", pos);
        ASSERT_NE(end, std::string::npos);
        std::smatch m;
        const std::string text = content.substr(pos, end - pos);
        ASSERT_TRUE(std::regex_match(text, m, line)) << text;
        EXPECT_EQ(m[3].str(), std::string(150, m[2].str()[0]));
        ++counts[m[2].str()[0] - 'a'];
        pos = end + 2;
    }
    EXPECT_EQ(counts[0], perThread);
    EXPECT_EQ(counts[1], perThread);
}

TEST(AppLog, StandardErrorChannelOnlyWhenAsked) {
    TempDir dir;
    for (bool asked : {false, true}) {
        if (asked)
            ::setenv("QUILLON_LOG_STDERR", "1", 1);
        AppLog log(dir.File("SMS.log"));
        ::unsetenv("QUILLON_LOG_STDERR");
        testing::internal::CaptureStderr();
        log.Write("line %d", 2);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), asked ? "line 2\r\n" : "");
    }
}

TEST(AppLog, LogLineNeedsWriteLogAndALog) {
    TempDir dir;
    const std::string path = dir.File("SMS.log");
    Settings().WriteLog = true;
    LogLine("no log yet");  // nothing to write to, nothing happens
    AppLog log(path);
    SetTheLog(&log);
    Settings().WriteLog = false;
    LogLine("off %d", 1);
    Settings().WriteLog = true;
    LogLine("on %d", 2);
    SetTheLog(nullptr);
    Settings().WriteLog = false;
    const std::string content = ReadFile(path);
    EXPECT_EQ(content.find("off 1"), std::string::npos);
    EXPECT_NE(content.find("on 2\r\n"), std::string::npos);
    EXPECT_EQ(content.find("no log yet"), std::string::npos);
}

}  // namespace
}  // namespace quillon
