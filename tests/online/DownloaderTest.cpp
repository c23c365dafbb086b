// Downloads against the sandbox's /files/ routes: whole files land atomically with mode 0600, and
// every bad answer (404, too large, cut short, redirect elsewhere, cancel) leaves no file behind.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <thread>

#include "core/FileUtil.h"
#include "core/StringTable.h"
#include "online/Downloader.h"
#include "support/SandboxProcess.h"
#include "support/TempDir.h"
#include "support/Waits.h"

using namespace quillon;
using namespace quillon::test;

namespace {

class DownloaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(dir_.File("small.bin"), std::string(3000, 'a'));
        WriteFile(dir_.File("big.bin"), std::string(64 * 1024, 'b'));
        WriteFile(dir_.File("sandbox.conf"),
                  "file small small.bin\n"
                  "file big big.bin\n"
                  "file slow big.bin pace=50\n"
                  "file cut big.bin cut=5000\n"
                  "redirect moved http://127.0.0.1:" +
                      std::to_string(ClosedPort()) +
                      "/files/small\n"
                      "redirect here /files/small\n");
        ASSERT_TRUE(sandbox_.Start({"--config", dir_.File("sandbox.conf")})) << sandbox_.LastError();
    }
    std::string Url(const std::string& name) const { return sandbox_.BaseUrl() + "files/" + name; }

    TempDir dir_;
    SandboxProcess sandbox_;
};

int Mode(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 0777) : -1;
}

TEST_F(DownloaderTest, EachAnswerEndsAsExpectedAndNeverLeavesHalfAFile) {
    struct Case {
        const char* name;
        uint64_t cap;
        int result;
        int errorId;  // 0: no error text
        size_t size;  // of the target on success
    };
    const Case cases[] = {
        {"small", 4096, Downloader::kOk, 0, 3000},
        {"here", 4096, Downloader::kOk, 0, 3000},  // a redirect on the same host is followed
        {"small", 2999, Downloader::kFailed, 1267, 0},
        {"big", 4096, Downloader::kFailed, 1267, 0},
        {"cut", 1 << 20, Downloader::kFailed, 1267, 0},
        {"moved", 4096, Downloader::kFailed, 1267, 0},  // another port is another server
        {"missing", 4096, Downloader::kFailed, 1267, 0},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " cap " + std::to_string(c.cap));
        const std::string target = dir_.File("out/" + std::to_string(++n));
        Downloader downloader(DownloadKind::Update);
        downloader.SetCap(c.cap);
        std::atomic<bool> cancel{false};
        uint64_t lastProgress = 0;
        int result = downloader.Download(Url(c.name), target, &cancel, [&](uint64_t n) { lastProgress = n; });
        EXPECT_EQ(result, c.result) << downloader.ErrorText();
        EXPECT_FALSE(FileExists(target + ".tmp"));
        if (c.result == Downloader::kOk) {
            EXPECT_EQ(ReadFile(target).size(), c.size);
            EXPECT_EQ(lastProgress, c.size);
            EXPECT_EQ(Mode(target), 0600);
        } else {
            EXPECT_FALSE(FileExists(target));
            EXPECT_EQ(downloader.ErrorText(), FormatResourceString(c.errorId, {Url(c.name)}));
        }
    }
}

TEST_F(DownloaderTest, AFailedDownloadKeepsTheOldFile) {
    const std::string target = dir_.File("keep");
    WriteFile(target, "old");
    Downloader downloader(DownloadKind::Branding);
    EXPECT_EQ(downloader.Download(Url("cut"), target, nullptr), Downloader::kFailed);
    EXPECT_EQ(ReadFile(target), "old");
}

TEST_F(DownloaderTest, CancelStopsBetweenBlocks) {
    const std::string target = dir_.File("slow");
    std::atomic<bool> cancel{false};
    std::atomic<uint64_t> seen{0};
    int result = 0;
    std::thread worker([&] {
        Downloader downloader(DownloadKind::Update);
        result = downloader.Download(Url("slow"), target, &cancel, [&](uint64_t n) { seen = n; });
    });
    EXPECT_TRUE(WaitUntil([&] { return seen.load() > 0; }));
    cancel = true;
    worker.join();
    EXPECT_EQ(result, Downloader::kCancelled);
    EXPECT_LT(seen.load(), 64u * 1024);
    EXPECT_FALSE(FileExists(target));
    EXPECT_FALSE(FileExists(target + ".tmp"));
}

TEST(UrlOriginTest, OnlyHttpAndHttpsWithAHost) {
    const std::pair<const char*, const char*> cases[] = {
        {"http://Example.com/x", "http://example.com:80"},
        {"https://example.com:8443/a?b", "https://example.com:8443"},
        {"HTTPS://example.com", "https://example.com:443"},
        {"ftp://example.com/x", ""},
        {"file:///etc/passwd", ""},
        {"example.com/x", ""},
        {"", ""},
    };
    for (const auto& [url, origin] : cases)
        EXPECT_EQ(UrlOrigin(url), origin) << url;
}

}  // namespace
