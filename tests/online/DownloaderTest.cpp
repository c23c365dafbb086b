// Downloads against the sandbox's /files/ routes: whole files land atomically with mode 0600, and
// every bad answer (404, too large, cut short, redirect elsewhere, cancel) leaves no file behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "core/FileUtil.h"
#include "core/StringTable.h"
#include "online/Downloader.h"
#include "support/SandboxProcess.h"
#include "support/TempDir.h"
#include "support/Tools.h"
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

// A child process on loopback, stopped by its PID.
struct ChildServer {
    pid_t pid = -1;
    ~ChildServer() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
    template <class... Args>
    bool Start(int port, const char* program, Args... args) {
        pid = fork();
        if (pid == 0) {
            int null = open("/dev/null", O_RDWR);
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
            execl(program, program, args..., static_cast<char*>(nullptr));
            _exit(127);
        }
        return WaitForListener(port);
    }
};

TEST_F(DownloaderTest, HttpsRefusesAnUntrustedCertificate) {
    QUILLON_SKIP_WITHOUT_TOOL("/usr/bin/openssl");
    std::string key = dir_.File("key.pem"), cert = dir_.File("cert.pem");
    std::string make = "/usr/bin/openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 -keyout " + key +
                       " -out " + cert + " >/dev/null 2>&1";
    ASSERT_EQ(0, std::system(make.c_str()));
    int port = ClosedPort();
    ChildServer tls;
    ASSERT_TRUE(tls.Start(port, "/usr/bin/openssl", "s_server", "-accept", std::to_string(port).c_str(), "-cert",
                          cert.c_str(), "-key", key.c_str(), "-www", "-quiet"));
    const std::string url = "https://127.0.0.1:" + std::to_string(port) + "/";
    Downloader downloader(DownloadKind::VersionFile);
    EXPECT_EQ(downloader.Download(url, dir_.File("v"), nullptr), Downloader::kFailed);
    EXPECT_EQ(downloader.ErrorText(), FormatResourceString(1265, {url}));
    EXPECT_FALSE(FileExists(dir_.File("v")));
}

TEST_F(DownloaderTest, TheEnteredProxyCarriesTheDownloadWithItsCredentials) {
    QUILLON_SKIP_WITHOUT_TOOL("/usr/bin/tinyproxy");
    int port = ClosedPort();
    std::string conf = dir_.File("tinyproxy.conf");
    WriteFile(conf, "Port " + std::to_string(port) +
                        "\nListen 127.0.0.1\nTimeout 30\nAllow 127.0.0.1\nBasicAuth quser qpass\n"
                        "LogLevel Critical\nSyslog Off\n" +
                        (getuid() == 0 ? "User nobody\nGroup nogroup\n" : ""));
    ChildServer proxy;
    ASSERT_TRUE(proxy.Start(port, "/usr/bin/tinyproxy", "-d", "-c", conf.c_str()));
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
        EXPECT_EQ(downloader.Download(Url("small"), dir_.File("p"), nullptr), c.result)
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
