// How a message travels on the phone network and how many parts it takes: GSM 7-bit for texts in the
// GSM 03.38 alphabet, UCS-2 for any other text, 8-bit data for file kinds. One rule, shared by the
// compose counter and its limit, the CLI, the send engine and the sandbox gateway's charge, so that what
// the user is shown is what the gateway bills. Standard library only (the sandbox compiles it too).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quillon {

enum class SmsAlphabet { kGsm7, kUcs2, kData };

// The most parts a long message may take. The send engine asks the gateway for this many, the counter
// and the composition refuse anything longer, and the sandbox sends no more.
constexpr int kMaxSmsParts = 3;

// Units of one SMS and of each part of a concatenated one: septets, UTF-16 units or octets.
int SmsSingleUnits(SmsAlphabet alphabet);
int SmsPartUnits(SmsAlphabet alphabet);
// Parts for a length in units: 1 up to the single limit, else units / per-part, rounded up.
int64_t SmsParts(SmsAlphabet alphabet, int64_t units);
// The most units a message of at most `maxParts` parts may hold.
int64_t SmsUnitBudget(SmsAlphabet alphabet, int maxParts);

// Septets of a character in GSM 7-bit: 1 in the default table, 2 through the escape of the extension
// table (form feed, ^ { } \ [ ~ ] | and the euro sign), 0 when GSM cannot carry it.
int GsmSeptets(uint32_t codePoint);

// Decodes one UTF-8 character at `pos` and advances it; a malformed or cut sequence yields its first
// byte as one character, so every byte belongs to exactly one character.
uint32_t NextCodePoint(const std::string& text, size_t& pos);

// Additive counts of a stretch of text: the counts of a whole text are the sums over its pieces.
struct SmsTally {
    int64_t characters = 0;
    int64_t septets = 0;  // GSM weight of the characters GSM carries
    int64_t utf16 = 0;    // UTF-16 units: 2 for a character beyond U+FFFF
    bool gsm = true;      // every character is in the GSM alphabet

    void Add(uint32_t codePoint);
    SmsTally& operator+=(const SmsTally& other);
};
SmsTally TallyText(const std::string& text);

// What a text takes on the network.
struct SmsCount {
    SmsAlphabet alphabet = SmsAlphabet::kGsm7;
    int64_t units = 0;
    int64_t parts = 1;
};

// A typed text (Text, Flash): GSM 7-bit when every character is GSM, else UCS-2. `forceUcs2` for the
// Unicode kind.
SmsCount CountTypedText(const SmsTally& tally, bool forceUcs2);
// Octets of data sent as hexadecimal text (two digits per octet); text that is not even-length hex goes
// as it stands, one octet per byte.
int64_t DataOctets(const std::string& hexText);

// The count of a message as the gateway receives it: `gatewayKind` is smsMSG_TYPE (0 text, 1 flash,
// anything else data in hex), `unicodeHex` that the text is UCS-2 in hexadecimal (four digits a unit).
SmsCount CountOnWire(const std::string& text, long gatewayKind, bool unicodeHex);

// The characters of a text that GSM 7-bit cannot carry, each once, in order of first appearance; at
// most `limit` of them.
std::vector<uint32_t> NonGsmCharacters(const std::string& text, size_t limit = SIZE_MAX);
// Replaces look-alikes that have GSM equivalents (curly quotes, dashes, ellipsis, non-breaking and other
// spaces, bullets, ...) and returns the new text; `replaced` counts the characters changed.
std::string ReplaceGsmLookalikes(const std::string& text, int* replaced = nullptr);
// The UTF-8 form of one character.
std::string Utf8Of(uint32_t codePoint);

}  // namespace quillon
