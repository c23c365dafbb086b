// Turning a file into the uppercase hex text that file-based kinds (vCard, vCal) send.
#pragma once

#include <cstdint>
#include <string>

namespace quillon {

// Why an import failed; the number is the reason code. Texts: 0 .. 3 are strings 1341 .. 1344, 4 is
// string 1346, 5 is string 1347 (with the byte limit as insert), anything else 1345. The last two refuse
// files that would not make a message at all: a special file would block or never end, a large one
// would be hundreds of SMS parts.
enum class HexImportFailure : int {
    FilenameTooShort = 0,  // missing or empty path
    NoFileLength = 1,      // the file's status cannot be read (missing, no access)
    OpenFailed = 2,        // exists but cannot be opened for reading
    ReadFailed = 3,        // fewer bytes arrived than the file's size
    NotRegularFile = 4,    // a directory, fifo, device or socket
    TooLarge = 5,          // more than kMaxHexImportBytes
    TooLongForSms = 6,     // more octets than the message limit (one SMS, or the most parts) carries
};

// 64 KiB of content is 128 KiB of hex text, already far beyond what a gateway accepts as one message;
// the limit only keeps a wrong choice from filling memory.
constexpr uint64_t kMaxHexImportBytes = 64 * 1024;

// Two characters per byte from "0123456789ABCDEF", high nibble first, no separators.
std::string BytesToHex(const std::string& bytes);

// Reads the file at `path` (bounded) and gives its hex text. On failure `hexText` is left untouched
// and `failure` says why.
bool ImportFileAsHex(const std::string& path, std::string& hexText, HexImportFailure& failure);

// The caption of the failure box: "Import failed".
std::string HexImportFailureCaption();
// The text of the failure box: string 1340 with the path, followed directly by the reason's text.
std::string HexImportFailureText(const std::string& path, HexImportFailure failure);

}  // namespace quillon
