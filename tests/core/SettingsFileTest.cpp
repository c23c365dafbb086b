// SMS.dat byte for byte, checked against an encoder written independently of SettingsFile.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core/AppSettings.h"
#include "support/TempDir.h"

namespace quillon {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;
namespace fs = std::filesystem;

// The scrambling value at stream position p: K[p mod 8] xor r(p), with r(0) = 0 and
// r running 5, 10, ..., 255, 5, ... afterwards, which is ((5p - 1) mod 255) + 1.
uint8_t KeyStream(size_t p) {
    static const uint8_t key[8] = {0x5C, 0xA7, 0x13, 0xE9, 0x70, 0x2D, 0xB4, 0x00};
    uint8_t rolling = p == 0 ? 0 : static_cast<uint8_t>((5 * p - 1) % 255 + 1);
    return key[p % 8] ^ rolling;
}

std::string Scramble(const std::string& plain) {
    std::string out = plain;
    for (size_t p = 0; p < out.size(); ++p)
        out[p] = static_cast<char>(static_cast<uint8_t>(out[p]) ^ KeyStream(p));
    return out;
}

std::string Le32(uint32_t n) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[i] = static_cast<char>((n >> (8 * i)) & 0xFF);
    return s;
}

// One unscrambled record; `length` overrides the header's length field.
std::string Record(const std::string& name, const std::string& value, int64_t length = -1) {
    std::string header(48, '\0');
    header.replace(0, name.size(), name);
    return header + Le32(length < 0 ? static_cast<uint32_t>(value.size()) : static_cast<uint32_t>(length)) + value;
}

std::string SettingsBytes(const std::vector<std::pair<std::string, std::string>>& records) {
    std::string plain;
    for (const auto& [name, value] : records)
        plain += Record(name, value);
    return std::string("\xBE\xBA\xFE\xCA", 4) + Scramble(plain);
}

TEST(SettingsFile, ScramblingStreamMatchesKnownBytes) {
    TempDir dir;
    SettingsFile file;
    file.Open(dir.File("SMS.dat"), false);
    file.SetString("a", "1");
    ASSERT_TRUE(file.Save());
    const std::string bytes = ReadFile(dir.File("SMS.dat"));
    ASSERT_EQ(bytes.size(), 4u + 52u + 1u);
    EXPECT_EQ(bytes.substr(0, 4), std::string("\xBE\xBA\xFE\xCA", 4));
    // Stream position and byte: 'A' ^ 5C ^ 00, then NUL ^ A7 ^ 05, NUL ^ 13 ^ 0A; the length byte 1 at 48
    // (key byte 0, r = 240); r = 255 at 51, the last value before the wrap; the value '1' at 52 (key byte 4,
    // r = 5 after the wrap).
    const std::pair<size_t, int> known[] = {{0, 0x1D},  {1, 0xA2},         {2, 0x19},
                                            {48, 0xAD}, {51, 0xE9 ^ 0xFF}, {52, '1' ^ 0x70 ^ 5}};
    for (auto [position, byte] : known)
        EXPECT_EQ(static_cast<uint8_t>(bytes[4 + position]), byte) << position;
}

TEST(SettingsFile, GettersIgnoreKeyCaseAndApplyDefaultsAndDecimalRules) {
    TempDir dir;
    SettingsFile file;
    file.Open(dir.File("SMS.dat"), false);
    file.SetString("WriteLog", "1");
    file.SetString("WRITELOG", "0");
    EXPECT_TRUE(file.Has("wRiTeLoG"));
    EXPECT_EQ(file.Entries(), (std::map<std::string, std::string>{{"WRITELOG", "0"}}));
    file.SetString("empty", "");
    file.SetString("digits", "12abc");
    file.SetString("letters", "abc");
    file.SetString("huge", "99999999999");

    std::string text;
    EXPECT_TRUE(file.GetString("writelog", text, "x"));
    EXPECT_EQ(text, "0");
    EXPECT_FALSE(file.GetString("empty", text, "dflt"));
    EXPECT_EQ(text, "dflt");
    // Numbers take the leading digits, clamp, and fall back to the default only when empty or absent.
    for (auto [key, found, value] : {std::tuple{"digits", true, 12},
                                     {"letters", true, 0},
                                     {"huge", true, INT32_MAX},
                                     {"empty", false, 5},
                                     {"missing", false, 5}}) {
        int32_t n = -1;
        EXPECT_EQ(file.GetInt(key, n, 5), found) << key;
        EXPECT_EQ(n, value) << key;
        bool flag = !value;
        EXPECT_EQ(file.GetBool(key, flag, true), found) << key;
        EXPECT_EQ(flag, value != 0) << key;
    }
}

TEST(SettingsFile, OpenReadsEveryRecordUpToAnyDamage) {
    using Entries = std::map<std::string, std::string>;
    const std::string magic("\xBE\xBA\xFE\xCA", 4);
    std::string foreign = SettingsBytes({{"KEY", "value"}});
    foreign[0] = 'X';
    const std::string abc = SettingsBytes({{"A", "one"}, {"B", "two"}, {"C", "three"}});
    const size_t recordsAB = 4 + (52 + 3) + (52 + 3);
    const Entries ab = {{"A", "one"}, {"B", "two"}};
    // A length beyond 2047 ends the load at that record; nothing is allocated for it.
    auto oversized = [&](uint32_t length) {
        return magic +
               Scramble(Record("GOOD", "kept") + Record("BAD", std::string(3000, 'x'), length) + Record("AFTER", "z"));
    };
    const struct {
        const char* what;
        std::string bytes;
        bool opened;
        Entries entries;
    } cases[] = {
        {"whole file",
         SettingsBytes({{"WriteLog", "1"}, {"prefix", "+44"}, {"LONG", std::string(2047, 'v')}, {"utf", "Grüße €"}}),
         true,
         {{"WRITELOG", "1"}, {"PREFIX", "+44"}, {"LONG", std::string(2047, 'v')}, {"UTF", "Grüße €"}}},
        {"shorter than the magic", magic.substr(0, 2), false, {}},
        {"foreign magic", foreign, false, {}},
        {"magic only", magic, true, {}},
        {"header cut short", abc.substr(0, recordsAB + 20), true, ab},
        {"value cut short", abc.substr(0, recordsAB + 52 + 2), true, ab},
        {"length 2048", oversized(2048), true, {{"GOOD", "kept"}}},
        {"length 2^31-1", oversized(0x7FFFFFFF), true, {{"GOOD", "kept"}}},
        {"length 2^32-1", oversized(0xFFFFFFFF), true, {{"GOOD", "kept"}}},
        {"name without terminator",
         magic + Scramble(std::string(48, 'k') + Le32(2) + "ok"),
         true,
         {{std::string(47, 'K'), "ok"}}},
    };
    TempDir dir;
    SettingsFile file;
    EXPECT_FALSE(file.Open(dir.File("none.dat"), false));
    EXPECT_TRUE(file.Entries().empty());
    for (const auto& c : cases) {
        WriteFile(dir.File("SMS.dat"), c.bytes);
        EXPECT_EQ(file.Open(dir.File("SMS.dat"), false), c.opened) << c.what;
        EXPECT_EQ(file.Entries(), c.entries) << c.what;
    }
}

TEST(SettingsFile, SaveWritesSortedUpperCaseKeysCutsOverlongValuesAndKeepsUnknownOnes) {
    TempDir dir;
    WriteFile(dir.File("SMS.dat"), SettingsBytes({{"HELP_URL", "https://help.example/"}, {"X", "1"}}));
    fs::permissions(dir.File("SMS.dat"), fs::perms(0640));
    {
        SettingsFile file;
        file.Open(dir.File("SMS.dat"), false);
        file.SetString("zeta", "last");
        file.SetString("X", "2");
        file.SetString("Alpha", "first");
        file.SetInt("mid", -42);
        file.SetString("Empty", "");
        // 2046 ASCII bytes then a two-byte character that would straddle the limit: cut before it.
        file.SetString("big", std::string(2046, 'a') + "é" + "tail");
        ASSERT_TRUE(file.Save());
    }
    EXPECT_EQ(ReadFile(dir.File("SMS.dat")), SettingsBytes({{"ALPHA", "first"},
                                                            {"BIG", std::string(2046, 'a')},
                                                            {"EMPTY", ""},
                                                            {"HELP_URL", "https://help.example/"},
                                                            {"MID", "-42"},
                                                            {"X", "2"},
                                                            {"ZETA", "last"}}));
    // A group-readable file is narrowed: it may hold passwords.
    EXPECT_EQ(fs::status(dir.File("SMS.dat")).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), {}), 1);
}

TEST(SettingsFile, CloseSavesOnlyWhenAskedAndOnceAndAFailedSaveKeepsTheValues) {
    TempDir dir;
    {
        SettingsFile file;
        file.Open(dir.File("no-such-folder/SMS.dat"), true);
        file.SetString("k", "v");
        EXPECT_FALSE(file.Save());
        EXPECT_TRUE(file.Has("k"));
        file.Close();  // tries once more, quietly
    }
    {
        SettingsFile file;
        file.Open(dir.File("a.dat"), false);
        file.SetString("k", "v");
    }
    EXPECT_FALSE(fs::exists(dir.File("a.dat")));
    {
        SettingsFile file;
        file.Open(dir.File("b.dat"), true);
        file.SetString("k", "v");
        file.Close();
        EXPECT_EQ(ReadFile(dir.File("b.dat")), SettingsBytes({{"K", "v"}}));
        fs::remove(dir.File("b.dat"));
    }
    EXPECT_FALSE(fs::exists(dir.File("b.dat")));  // the destructor did not save again
}

}  // namespace
}  // namespace quillon
