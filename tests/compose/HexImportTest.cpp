#include "compose/HexImport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <string>

#include "support/TempDir.h"
#include "support/Unprivileged.h"

namespace quillon {
namespace {

TEST(HexImport, BytesBecomeUppercaseHex) {
    test::TempDir dir;
    test::WriteFile(dir.File("card.vcf"), std::string("\x00\x7F\x80\xFF", 4));
    std::string hex = "old";
    HexImportFailure failure{};
    ASSERT_TRUE(ImportFileAsHex(dir.File("card.vcf"), hex, failure));
    EXPECT_EQ(hex, "007F80FF");

    test::WriteFile(dir.File("empty.vcf"), "");
    ASSERT_TRUE(ImportFileAsHex(dir.File("empty.vcf"), hex, failure));
    EXPECT_EQ(hex, "");

    test::WriteFile(dir.File("text.vcs"), "BEGIN:VCALENDAR\r\n");
    ASSERT_TRUE(ImportFileAsHex(dir.File("text.vcs"), hex, failure));
    EXPECT_EQ(hex, "424547494E3A5643414C454E4441520D0A");
}

TEST(HexImport, FailuresLeaveTheTextAndSayWhy) {
    test::TempDir dir;
    std::string hex = "kept";
    HexImportFailure failure{};

    EXPECT_FALSE(ImportFileAsHex("", hex, failure));
    EXPECT_EQ(failure, HexImportFailure::FilenameTooShort);
    EXPECT_FALSE(ImportFileAsHex(dir.File("missing.vcf"), hex, failure));
    EXPECT_EQ(failure, HexImportFailure::NoFileLength);
    EXPECT_FALSE(ImportFileAsHex(dir.Path(), hex, failure));
    EXPECT_EQ(failure, HexImportFailure::NotRegularFile);
    // A fifo with no writer would block a plain read for ever.
    ASSERT_EQ(mkfifo(dir.File("pipe").c_str(), 0600), 0);
    EXPECT_FALSE(ImportFileAsHex(dir.File("pipe"), hex, failure));
    EXPECT_EQ(failure, HexImportFailure::NotRegularFile);
    EXPECT_FALSE(ImportFileAsHex("/dev/zero", hex, failure));
    EXPECT_EQ(failure, HexImportFailure::NotRegularFile);

    test::WriteFile(dir.File("limit.bin"), std::string(kMaxHexImportBytes, 'A'));
    std::string big;
    EXPECT_TRUE(ImportFileAsHex(dir.File("limit.bin"), big, failure));
    EXPECT_EQ(big.size(), 2 * kMaxHexImportBytes);
    test::WriteFile(dir.File("large.bin"), std::string(kMaxHexImportBytes + 1, 'A'));
    EXPECT_FALSE(ImportFileAsHex(dir.File("large.bin"), hex, failure));
    EXPECT_EQ(failure, HexImportFailure::TooLarge);
    EXPECT_EQ(hex, "kept");
}

TEST(HexImport, UnreadableFile) {
    test::TempDir dir;
    ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);  // the unprivileged child must reach the file
    test::WriteFile(dir.File("secret.vcf"), "x");
    ASSERT_EQ(chmod(dir.File("secret.vcf").c_str(), 0), 0);
    EXPECT_TRUE(test::RunUnprivileged([&] {
        std::string hex = "kept";
        HexImportFailure failure{};
        EXPECT_FALSE(ImportFileAsHex(dir.File("secret.vcf"), hex, failure));
        EXPECT_EQ(failure, HexImportFailure::OpenFailed);
        EXPECT_EQ(hex, "kept");
    }));
}

TEST(HexImport, ShortRead) {
    // Kernel attribute files claim a page of size and hold a few bytes.
    const char* path = "/sys/devices/system/cpu/online";
    struct stat info {};
    if (stat(path, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 64)
        GTEST_SKIP() << "no kernel attribute file here";
    std::string hex = "kept";
    HexImportFailure failure{};
    EXPECT_FALSE(ImportFileAsHex(path, hex, failure));
    EXPECT_EQ(failure, HexImportFailure::ReadFailed);
    EXPECT_EQ(hex, "kept");
}

TEST(HexImport, FailureTexts) {
    EXPECT_EQ(HexImportFailureCaption(), "Import failed");
    const std::string head = "Failed to import and convert the data into hex.\nFilename: /a/b.vcf\nError:";
    EXPECT_EQ(HexImportFailureText("/a/b.vcf", HexImportFailure::OpenFailed), head + "Failed to open the file.");
    EXPECT_EQ(HexImportFailureText("/a/b.vcf", static_cast<HexImportFailure>(42)), head + "Unknown error!");
    // The two refusals have texts of their own (or the nearest classic one).
    for (HexImportFailure reason : {HexImportFailure::TooLarge, HexImportFailure::NotRegularFile}) {
        const std::string text = HexImportFailureText("/a/b.vcf", reason);
        EXPECT_EQ(text.rfind(head, 0), 0u) << text;
        EXPECT_EQ(text.find("String ["), std::string::npos) << text;
    }
}

}  // namespace
}  // namespace quillon
