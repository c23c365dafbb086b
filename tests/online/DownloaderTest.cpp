// Downloads against the sandbox's /files/ routes: whole files land atomically with mode 0600, and
// every bad answer (404, too large, cut short, redirect elsewhere, cancel) leaves no file behind.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "core/FileUtil.h"
#include "core/StringTable.h"
#include "online/Downloader.h"
#include "support/FileServer.h"
#include "support/TempDir.h"
#include "support/Tools.h"
#include "support/Waits.h"

using namespace quillon;
using namespace quillon::test;
namespace fs = std::filesystem;

namespace {

class DownloaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        server_.Put("small.bin", std::string(3000, 'a'));
        server_.Put("big.bin", std::string(64 * 1024, 'b'));
        ASSERT_TRUE(
            server_.Start("file small small.bin\nfile big big.bin\nfile slow big.bin pace=50\n"
                          "file cut big.bin cut=5000\nredirect moved http://127.0.0.1:" +
                          std::to_string(ClosedPort()) + "/files/small\nredirect here /files/small\n"))
            << server_.LastError();
    }

    TempDir dir_;
    FileServer server_;
};

TEST_F(DownloaderTest, EachAnswerEndsAsExpectedAndNeverLeavesHalfAFile) {
    struct Case {
        const char* name;
        uint64_t cap;
        int result;
    };
    const Case cases[] = {
        {"small", 4096, Downloader::kOk},
        {"here", 4096, Downloader::kOk},  // a redirect on the same host is followed
        {"small", 2999, Downloader::kFailed},
        {"big", 4096, Downloader::kFailed},
        {"cut", 1 << 20, Downloader::kFailed},
        {"moved", 4096, Downloader::kFailed},  // another port is another server
        {"missing", 4096, Downloader::kFailed},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " cap " + std::to_string(c.cap));
        const std::string target = dir_.File("out/" + std::to_string(++n));
        Downloader downloader(DownloadKind::Update);
        downloader.SetCap(c.cap);
        std::atomic<bool> cancel{false};
        uint64_t lastProgress = 0;
        int result = downloader.Download(server_.Url(c.name), target, &cancel, [&](uint64_t n) { lastProgress = n; });
        EXPECT_EQ(result, c.result) << downloader.ErrorText();
        EXPECT_FALSE(FileExists(target + ".tmp"));
        if (c.result == Downloader::kOk) {
            EXPECT_EQ(ReadFile(target), std::string(3000, 'a'));  // every case that succeeds fetches small.bin
            EXPECT_EQ(lastProgress, 3000u);
            EXPECT_EQ(fs::status(target).permissions(), fs::perms::owner_read | fs::perms::owner_write);
        } else {
            EXPECT_FALSE(FileExists(target));
            EXPECT_EQ(downloader.ErrorText(), FormatResourceString(1267, {server_.Url(c.name)}));
        }
    }
}

TEST_F(DownloaderTest, AFailedDownloadKeepsTheOldFile) {
    const std::string target = dir_.File("keep");
    WriteFile(target, "old");
    Downloader downloader(DownloadKind::Branding);
    EXPECT_EQ(downloader.Download(server_.Url("cut"), target, nullptr), Downloader::kFailed);
    EXPECT_EQ(ReadFile(target), "old");
}

TEST_F(DownloaderTest, CancelStopsBetweenBlocks) {
    const std::string target = dir_.File("slow");
    std::atomic<bool> cancel{false};
    std::atomic<uint64_t> seen{0};
    int result = 0;
    std::thread worker([&] {
        Downloader downloader(DownloadKind::Update);
        result = downloader.Download(server_.Url("slow"), target, &cancel, [&](uint64_t n) { seen = n; });
    });
    EXPECT_TRUE(WaitUntil([&] { return seen.load() > 0; }));
    cancel = true;
    worker.join();
    EXPECT_EQ(result, Downloader::kCancelled);
    EXPECT_LT(seen.load(), 64u * 1024);
    EXPECT_FALSE(FileExists(target));
    EXPECT_FALSE(FileExists(target + ".tmp"));
}

TEST_F(DownloaderTest, HttpsRefusesAnUntrustedCertificate) {
    QUILLON_SKIP_WITHOUT_TOOL("/usr/bin/openssl");
    int port = ClosedPort();
    ToolProcess tls;
    ASSERT_TRUE(tls.StartUntrustedTls(port, dir_));
    const std::string url = "https://127.0.0.1:" + std::to_string(port) + "/";
    Downloader downloader(DownloadKind::VersionFile);
    EXPECT_EQ(downloader.Download(url, dir_.File("v"), nullptr), Downloader::kFailed);
    EXPECT_EQ(downloader.ErrorText(), FormatResourceString(1265, {url}));
    EXPECT_FALSE(FileExists(dir_.File("v")));
}

TEST_F(DownloaderTest, TheEnteredProxyCarriesTheDownloadWithItsCredentials) {
    QUILLON_SKIP_WITHOUT_TOOL("/usr/bin/tinyproxy");
    int port = ClosedPort();
    ToolProcess proxy;
    ASSERT_TRUE(proxy.StartProxy(port, dir_));
    struct Case {
        DownloadProxy proxy;
        int result;
    };
    const std::string p = std::to_string(port);
    const Case cases[] = {
        {{4, "127.0.0.1", p, "quser", "qpass"}, Downloader::kOk},
        {{4, "127.0.0.1", p, "quser", "wrong"}, Downloader::kFailed},
        {{4, "127.0.0.1", std::to_string(ClosedPort()), "", ""}, Downloader::kFailed},
        {{1, "127.0.0.1", std::to_string(ClosedPort()), "", ""}, Downloader::kOk},  // direct ignores the server
    };
    for (const Case& c : cases) {
        Downloader downloader(DownloadKind::VersionFile, c.proxy);
        EXPECT_EQ(downloader.Download(server_.Url("small"), dir_.File("p"), nullptr), c.result)
            << c.proxy.type << " " << c.proxy.port << " " << c.proxy.password << ": " << downloader.ErrorText();
    }
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
