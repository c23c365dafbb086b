// The shared helpers where their rules differ from the obvious one: which blanks a trim takes,
// letter case by ASCII alone, the two kinds of file existence and the 32-bit time clamp.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <string>

#include "core/FileUtil.h"
#include "core/TextUtil.h"
#include "core/TimeUtil.h"
#include "support/TempDir.h"

namespace quillon {
namespace {

TEST(TextUtil, TrimAndCaseRules) {
    EXPECT_EQ(Trim("\v\f a b \t\r\n"), "a b");
    EXPECT_EQ(Trim("\v a \f", " \t\r\n"), "\v a \f");  // the INI rule keeps other control bytes
    EXPECT_EQ(Trim(" \t ", " \t"), "");
    // Bytes above 0x7F stay as they are, whatever the locale says of them.
    EXPECT_EQ(AsciiLower("AbZ\xC0\xC9"), "abz\xC0\xC9");
    EXPECT_EQ(AsciiUpper("aBz\xE0\xE9"), "ABZ\xE0\xE9");
    EXPECT_TRUE(EqualsIgnoreCase("Id:", "iD:"));
    EXPECT_FALSE(EqualsIgnoreCase("ID", "ID:"));
    EXPECT_TRUE(StartsWithIgnoreCase("URN:uuid:x", "urn:UUID:"));
    EXPECT_FALSE(StartsWithIgnoreCase("tel", "tel:"));
}

TEST(TextUtil, FileExistsByKind) {
    test::TempDir dir;
    const std::string file = dir.File("a.conf");
    test::WriteFile(file, "x");
    const std::string fifo = dir.File("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        std::string path;
        bool any;
        bool regular;
    } cases[] = {{file, true, true},
                 {dir.Path(), true, false},
                 {fifo, true, false},
                 {dir.File("none"), false, false},
                 {"", false, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(FileExists(c.path), c.any) << c.path;
        EXPECT_EQ(FileExists(c.path, FileKind::kRegular), c.regular) << c.path;
    }
}

TEST(TextUtil, ClampTimeKeepsTheStoredRange) {
    EXPECT_EQ(ClampTime(-5), 0);
    EXPECT_EQ(ClampTime(1700000000), 1700000000);
    EXPECT_EQ(ClampTime(int64_t{INT32_MAX} + 1), INT32_MAX);
}

}  // namespace
}  // namespace quillon
