// The published version file, the comparison by the two version words, the package kinds and the
// check that a package may be started.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "core/FileUtil.h"
#include "core/TextUtil.h"
#include "online/Sha256.h"
#include "online/UpdateVersion.h"
#include "support/CliRunner.h"
#include "support/TempDir.h"
#include "support/Waits.h"

using namespace quillon;
using namespace quillon::test;

namespace {

const std::string kDigest = Sha256Hex("package");

TEST(UpdateVersionTest, VersionFilesAreReadLikeTheFormatSaysAndBadOnesGiveZeroOrNoDigest) {
    struct Case {
        std::string bytes;
        VersionNumbers version;
        std::string digest;
    };
    const Case cases[] = {
        {"3.1.0.12\n", {3, 1, 0, 12}, ""},
        {"3.2", {3, 2, 0, 0}, ""},
        {" 3. 1.0.12 trailing words", {3, 1, 0, 12}, ""},
        {"", {0, 0, 0, 0}, ""},
        {std::string("\x7f"
                     "ELF\x02\x01\x01\0\0",
                     9),
         {0, 0, 0, 0},
         ""},
        {"v3.1.0.0", {0, 0, 0, 0}, ""},
        {"99999999999.1.2.3", {0, 0, 0, 0}, ""},  // does not fit: unreadable, like the rest after it
        {"3.1.0.1\nsha256 " + kDigest + "\n", {3, 1, 0, 1}, kDigest},
        {"3.1.0.1\r\nsha256 " + AsciiUpper(kDigest) + "\r\n", {3, 1, 0, 1}, kDigest},
        {"3.1.0.1\nsha256 " + kDigest.substr(1) + "\n", {3, 1, 0, 1}, ""},   // 63 digits
        {"3.1.0.1\nsha256 " + kDigest + "0\n", {3, 1, 0, 1}, ""},            // 65 digits
        {"3.1.0.1\nsha256 " + kDigest.substr(1) + "g\n", {3, 1, 0, 1}, ""},  // not hex
        {"3.1.0.1\nsha256 " + kDigest + " extra\n", {3, 1, 0, 1}, ""},       // more words
        {"3.1.0.1 sha256 " + kDigest + "\n", {3, 1, 0, 1}, ""},              // not its own line
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        VersionFile file = ParseVersionFile(c.bytes);
        EXPECT_EQ(file.version, c.version);
        EXPECT_EQ(file.sha256, c.digest);
    }
}

TEST(UpdateVersionTest, NewerComparesTheTwoWordsUnsigned) {
    struct Case {
        VersionNumbers published;
        VersionNumbers running;
        bool newer;
    };
    const Case cases[] = {
        {{3, 1, 0, 12}, {3, 1, 0, 9}, true},
        {{3, 1, 0, 12}, {3, 1, 0, 12}, false},
        {{3, 1, 0, 9}, {3, 1, 0, 12}, false},
        {{3, 2, 0, 0}, {3, 1, 9, 9}, true},
        {{2, 9, 9, 9}, {3, 0, 0, 0}, false},
        {{3, 65537, 0, 0}, {3, 1, 0, 0}, false},  // the second part counts modulo 65536
        {{3, 1, 0, 65548}, {3, 1, 0, 9}, true},   // 65548 counts as 12
        {{65539, 0, 0, 0}, {3, 0, 0, 0}, false},  // the first part wraps with the word
        {{0, 0, 0, 0}, {3, 0, 0, 0}, false},
        {{0xFFFF, 0, 0, 0}, {3, 0, 0, 0}, true},  // the high word is unsigned
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsNewer(c.published, c.running), c.newer)
            << VersionText(c.published) << " vs " << VersionText(c.running);
}

TEST(UpdateVersionTest, PackageKindsByThePathOfTheUrl) {
    EXPECT_EQ(PackageKindOf("https://d.example/q/quillon_3.1.deb"), PackageKind::Debian);
    EXPECT_EQ(PackageKindOf("https://d.example/q/Quillon.APPIMAGE?x=1#y"), PackageKind::AppImage);
    EXPECT_EQ(PackageKindOf("https://d.example/get?f=x.deb"), PackageKind::Unknown);
    EXPECT_EQ(PackageKindOf("https://d.example/setup.exe"), PackageKind::Unknown);
    EXPECT_EQ(PackageKindOf(".deb"), PackageKind::Unknown);
}

TEST(UpdateVersionTest, OnlyAMatchingDigestOverHttpsLetsAPackageStart) {
    TempDir dir;
    WriteFile(dir.File("p"), "package");
    VersionFile published{{3, 1, 0, 0}, kDigest};
    VersionFile unsigned_{{3, 1, 0, 0}, ""};
    VersionFile other{{3, 1, 0, 0}, Sha256Hex("other")};
    const std::string s = "https://d.example/v", f = "https://d.example/f.deb", h = "http://d.example/f.deb";
    EXPECT_TRUE(UpdateVerified(published, s, f, dir.File("p")));
    EXPECT_FALSE(UpdateVerified(unsigned_, s, f, dir.File("p")));
    EXPECT_FALSE(UpdateVerified(other, s, f, dir.File("p")));
    EXPECT_FALSE(UpdateVerified(published, s, h, dir.File("p")));
    EXPECT_FALSE(UpdateVerified(published, "http://d.example/v", f, dir.File("p")));
    EXPECT_FALSE(UpdateVerified(published, s, f, dir.File("missing")));
    EXPECT_TRUE(UpdateVerified(published, "http://d.example/v", h, dir.File("p"), false));
}

TEST(UpdateVersionTest, AStartedPackageRunsOnItsOwnAndIsOnlyTheOwnersToRun) {
    TempDir dir;
    const std::string package = dir.File("Update.AppImage");
    WriteFile(package, "#!/bin/sh\necho ran > \"$(dirname \"$0\")/ran\"\n");
    ASSERT_TRUE(StartProgram(package));
    struct stat st {};
    ASSERT_EQ(stat(package.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_TRUE(WaitUntil([&] { return ReadFile(dir.File("ran")) == "ran\n"; }));
    EXPECT_FALSE(StartProgram(dir.File("missing")));
}

TEST(UpdateVersionTest, BothProgramsTellTheBuildsVersion) {
    const VersionNumbers running = RunningVersion();
    EXPECT_EQ(VersionText(running), QUILLON_VERSION);  // four numbers, as the comparison needs
    for (const char* program : {QUILLON_CLI_EXE, QUILLON_BINARY_DIR "/quillon"}) {
        if (!FileExists(program))
            continue;  // a build without the desktop program
        CliResult result = RunProgram({program, "--version"});
        EXPECT_EQ(result.rc, 0) << program;
        EXPECT_NE(result.out.find(std::string(" ") + QUILLON_VERSION + "\n"), std::string::npos) << result.out;
    }
}

TEST(Sha256Test, KnownDigests) {
    EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // 56 bytes: the length no longer fits the first block's padding.
    EXPECT_EQ(Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(Sha256Hex(std::string(1000000, 'a')), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

}  // namespace
