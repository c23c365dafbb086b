// Private files under any umask, escaped log values, the link rule and the trust check on folders.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "core/AppLog.h"
#include "core/AppSettings.h"
#include "core/LinkPolicy.h"
#include "core/LogEscape.h"
#include "core/PrivateFiles.h"
#include "support/TempDir.h"

namespace quillon {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

unsigned ModeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0xFFFF;
}

struct ScopedUmask {
    explicit ScopedUmask(mode_t mask) : old(::umask(mask)) {}
    ~ScopedUmask() { ::umask(old); }
    mode_t old;
};

// Each way the program makes a file of the data directory, under the umasks users commonly have.
TEST(PrivateFiles, CreatedOwnerOnlyWhateverTheUmask) {
    for (mode_t mask : {mode_t{022}, mode_t{002}, mode_t{0}}) {
        SCOPED_TRACE(mask);
        ScopedUmask scoped(mask);
        TempDir dir;
        { AppLog log(dir.File("SMS.log")); }
        EXPECT_EQ(ModeOf(dir.File("SMS.log")), 0600u);

        SettingsFile fresh;
        fresh.Open(dir.File("SMS.dat"), false);
        fresh.SetString("Password", "x");
        ASSERT_TRUE(fresh.Save());
        EXPECT_EQ(ModeOf(dir.File("SMS.dat")), 0600u);

        // A settings file an older version left readable is narrowed by the next save.
        ::chmod(dir.File("SMS.dat").c_str(), 0644);
        ASSERT_TRUE(fresh.Save());
        EXPECT_EQ(ModeOf(dir.File("SMS.dat")), 0600u);

        ASSERT_TRUE(MakePrivateFolder(dir.File("downloads")));
        EXPECT_EQ(ModeOf(dir.File("downloads")), 0700u);
        ASSERT_TRUE(CreatePrivateFile(dir.File("downloads/setup.bin")));
        EXPECT_EQ(ModeOf(dir.File("downloads/setup.bin")), 0600u);
    }
}

TEST(PrivateFiles, NeverFollowsALinkToAnotherFile) {
    TempDir dir;
    WriteFile(dir.File("target"), "theirs");
    ::chmod(dir.File("target").c_str(), 0644);
    ASSERT_EQ(::symlink(dir.File("target").c_str(), dir.File("link").c_str()), 0);
    EXPECT_FALSE(CreatePrivateFile(dir.File("link")));
    EXPECT_FALSE(RestrictToOwner(dir.File("link")));
    EXPECT_EQ(ModeOf(dir.File("target")), 0644u);
}

TEST(PrivateFiles, PlaceSafetyByMode) {
    struct Case {
        unsigned mode;
        PlaceSafety expected;
    } cases[] = {
        {0700, PlaceSafety::kPrivate},          {0755, PlaceSafety::kReadableByOthers},
        {0757, PlaceSafety::kWritableByOthers}, {01777, PlaceSafety::kReadableByOthers},  // sticky, like /tmp
        {0600, PlaceSafety::kPrivate},          {0646, PlaceSafety::kWritableByOthers},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        char name[16];
        std::snprintf(name, sizeof name, "place%o", c.mode);
        const std::string path = dir.File(name);
        if (c.mode & 0100) {
            ASSERT_EQ(::mkdir(path.c_str(), 0700), 0);
        } else {
            WriteFile(path, "x");
        }
        ASSERT_EQ(::chmod(path.c_str(), c.mode), 0);
        EXPECT_EQ(CheckPlace(path), c.expected);
    }
    EXPECT_EQ(CheckPlace(dir.File("none")), PlaceSafety::kMissing);
    // A file of ours in a folder anyone may write to could have been swapped for another.
    EXPECT_TRUE(WritableByOthers(dir.File("place757") + "/components.conf"));
    EXPECT_FALSE(WritableByOthers(dir.File("place700") + "/components.conf"));
    EXPECT_FALSE(IsOwnFolder(dir.File("place757")));
    EXPECT_TRUE(IsOwnFolder(dir.File("place755")));
}

TEST(PrivateFiles, AnotherUsersFolderIsNotTrusted) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to make a folder owned by another user";
    TempDir dir;
    const std::string theirs = dir.File("theirs");
    ASSERT_EQ(::mkdir(theirs.c_str(), 0755), 0);
    ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
    EXPECT_EQ(CheckPlace(theirs), PlaceSafety::kWritableByOthers);
    EXPECT_FALSE(IsOwnFolder(theirs));
}

TEST(LogEscape, ControlCharactersBecomeEscapes) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"plain text", "plain text"},
        {"two\nlines", "two\\nlines"},
        {"cr\r\nlf", "cr\\r\\nlf"},
        {"tab\there", "tab\\there"},
        {"\x1b[31mred", "\\x1b[31mred"},
        {"bell\a del\x7f", "bell\\x07 del\\x7f"},
        {"back\\slash", "back\\\\slash"},
        {"caf\xc3\xa9 \xe2\x82\xac", "caf\xc3\xa9 \xe2\x82\xac"},  // UTF-8 letters stay
        {"nel\xc2\x85 csi\xc2\x9b", "nel\\u0085 csi\\u009b"},
        {"ls\xe2\x80\xa8ps\xe2\x80\xa9", "ls\\u2028ps\\u2029"},
        {"cut\xc2", "cut\xc2"},  // a cut-off character is not read past the end
    };
    for (const Case& c : cases)
        EXPECT_EQ(EscapeLogText(c.in), c.out) << c.in;
}

TEST(LogEscape, AForgedLineStaysInsideTheRealOne) {
    TempDir dir;
    AppLog log(dir.File("SMS.log"));
    log.Write("Added SMS: SMS_ID (%d) Mobile:%s Msg:%s\n", 3, ",0821", "hi\r\n12/05/2026 16:52:40 (1a)   Login OK");
    const std::string content = ReadFile(dir.File("SMS.log"));
    const std::string line = content.substr(content.find("Added SMS"));
    // One line: the caller's own trailing line break is kept, the value's are escaped.
    EXPECT_EQ(line, "Added SMS: SMS_ID (3) Mobile:,0821 Msg:hi\\r\\n12/05/2026 16:52:40 (1a)   Login OK\n\r\n");
}

TEST(LinkPolicy, OnlyWebAndMailAddressesOpen) {
    struct Case {
        const char* url;
        bool page;
        bool installer;
    } cases[] = {
        {"https://quillon-sms.example/help?help=3", true, true},
        {"HTTP://quillon-sms.example/", true, true},
        {"mailto:support@quillon-sms.example", true, true},
        {"file:///tmp/quillon-setup.run", false, true},
        {"file:/etc/passwd", false, false},
        {"javascript:alert(1)", false, false},
        {"smb://host/share", false, false},
        {"/usr/bin/xterm", false, false},
        {"quillon-sms.example/help", false, false},
        {"https://", false, false},
        {"https:evil", false, false},
        {"mailto:", false, false},
        {"https://host/a b", false, false},
        {" https://host/", false, false},
        {"https://host/\n", false, false},
        {"", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsOpenableLink(c.url, LinkUse::kWebPage), c.page) << c.url;
        EXPECT_EQ(IsOpenableLink(c.url, LinkUse::kInstaller), c.installer) << c.url;
    }
}

TEST(LinkPolicy, SessionIdOnlyOnAnEncryptedVoucherPage) {
    EXPECT_EQ(VoucherPageUrl("https://shop.example/buy", "ABC"), "https://shop.example/buy?session_id=ABC");
    EXPECT_EQ(VoucherPageUrl("http://shop.example/buy", "ABC"), "http://shop.example/buy");
    EXPECT_EQ(VoucherPageUrl("https://shop.example/buy", ""), "https://shop.example/buy");
}

TEST(LinkPolicy, PlainHttpGatewayIsWarnedUnlessLocal) {
    struct Case {
        const char* url;
        bool clear;
    } cases[] = {
        {"https://api.quillon-sms.example/http/", false},
        {"http://api.quillon-sms.example/http/", true},
        {"http://user:pw@gw.example:8080/x", true},
        {"http://127.0.0.1:8080/http/", false},
        {"http://localhost/", false},
        {"http://[::1]:9000/", false},
        {"http://127.0.0.1.evil.example/", true},
        {"HTTP://GW.EXAMPLE/", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SendsPasswordInClear(c.url), c.clear) << c.url;
}

}  // namespace
}  // namespace quillon
