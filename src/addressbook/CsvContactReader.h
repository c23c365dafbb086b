// Reads contacts from a delimited text file with a header row, one record at a time, so a file of
// any size is read in bounded memory.
//
// Values may be quoted (a value holding the separator, a quote or a line break is written between
// double quotes, a quote inside doubled); a quote anywhere else in a value is an ordinary character.
// A file that is not valid UTF-8 (a byte-order mark is skipped) is read as Windows-1252.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace quillon {

enum class TextEncoding { kUtf8, kWindows1252 };

// What a header cell names. kNone: a column the address book does not keep (ignored).
enum class ColumnRole { kFirstName, kSurname, kTitle, kCustom, kMobile, kGroup, kNone };

// The role a header cell names ("fname", "sname", "title", "custom", "mobile", "group"), compared
// without regard to case and blanks around it.
ColumnRole RoleOfHeaderCell(const std::string& cell);

// One data row, each value cut to what the address book keeps.
struct CsvContactRow {
    static constexpr size_t kMaxName = 32;
    static constexpr size_t kMaxSurname = 32;
    static constexpr size_t kMaxTitle = 8;
    static constexpr size_t kMaxCustom = 32;
    static constexpr size_t kMaxMobile = 16;
    static constexpr size_t kMaxGroup = 21;

    std::string Name;
    std::string Surname;
    std::string Title;
    std::string Custom;
    std::string Mobile;
    std::string group;
};

// Whether text is well-formed UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(const std::string& text);
// Windows-1252 bytes as UTF-8.
std::string Windows1252ToUtf8(const std::string& text);

class CsvContactReader {
public:
    enum class OpenStatus { kOk, kCannotOpen, kNoHeader, kNoMobileColumn, kCancelled };
    enum class RowStatus {
        kRow,    // a row that reaches the mobile column (its mobile value may be empty)
        kShort,  // a non-blank line that ends before the mobile column
        kEnd,    // end of the file (or a read failure: see ReadFailed)
    };

    CsvContactReader() = default;
    ~CsvContactReader();
    CsvContactReader(const CsvContactReader&) = delete;
    CsvContactReader& operator=(const CsvContactReader&) = delete;

    // Opens the file, finds its encoding (one pass over it, which `cancel` may stop) and reads the
    // header row.
    OpenStatus Open(const std::string& path, char separator, const std::atomic<bool>* cancel = nullptr);
    // The next data row; blank lines are skipped.
    RowStatus Next(CsvContactRow& row);

    TextEncoding Encoding() const { return encoding_; }
    bool HasGroupColumn() const { return groupColumn_ >= 0; }
    bool ReadFailed() const { return readFailed_; }
    uint64_t FileSize() const { return fileSize_; }
    uint64_t Position() const { return position_; }

private:
    // A value longer than this keeps its first bytes only; no field the address book keeps is longer.
    static constexpr size_t kMaxCellBytes = 256;
    // Cells of a record beyond this many are not kept (their columns could never be used).
    static constexpr size_t kMaxCells = 4096;

    int Get();
    int Peek();
    // One record: its cells, cut to kMaxCellBytes. False at the end of the file.
    bool ReadRecord(std::vector<std::string>& cells, size_t keepCells);
    std::string Decode(const std::string& cell) const;

    std::FILE* file_ = nullptr;
    std::vector<char> buffer_;
    size_t bufferPos_ = 0;
    size_t bufferLen_ = 0;
    uint64_t position_ = 0;
    uint64_t fileSize_ = 0;
    bool readFailed_ = false;
    char separator_ = ',';
    TextEncoding encoding_ = TextEncoding::kUtf8;
    std::vector<ColumnRole> roles_;
    int mobileColumn_ = -1;
    int groupColumn_ = -1;
    std::vector<std::string> cells_;
};

}  // namespace quillon
