#include "addressbook/CsvContactReader.h"

#include "core/TextUtil.h"

namespace quillon {

namespace {

constexpr size_t kChunk = 1 << 16;

// Bytes 0x80..0x9F of Windows-1252 (0 where the code page leaves a byte undefined: kept as the
// Latin-1 control character of the same value).
constexpr uint16_t kCp1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Checks UTF-8 across chunk boundaries: `need` continuation bytes still expected, with the range
// the next one must fall in (overlong forms and surrogates are refused by that range).
struct Utf8Checker {
    int need = 0;
    unsigned char low = 0x80, high = 0xBF;
    bool ok = true;

    void Feed(const unsigned char* p, size_t n) {
        for (size_t i = 0; i < n && ok; ++i) {
            unsigned char c = p[i];
            if (need > 0) {
                if (c < low || c > high) {
                    ok = false;
                    return;
                }
                low = 0x80, high = 0xBF;
                --need;
                continue;
            }
            if (c < 0x80)
                continue;
            if (c >= 0xC2 && c <= 0xDF) {
                need = 1;
            } else if (c >= 0xE0 && c <= 0xEF) {
                need = 2;
                if (c == 0xE0)
                    low = 0xA0;
                if (c == 0xED)
                    high = 0x9F;
            } else if (c >= 0xF0 && c <= 0xF4) {
                need = 3;
                if (c == 0xF0)
                    low = 0x90;
                if (c == 0xF4)
                    high = 0x8F;
            } else {
                ok = false;
            }
        }
    }
    bool Done() const { return ok && need == 0; }
};

void CutInto(std::string& field, const std::string& value, size_t maxBytes) {
    field = CutUtf8(value, maxBytes);
}

}  // namespace

ColumnRole RoleOfHeaderCell(const std::string& cell) {
    static const char* const kNames[] = {"fname", "sname", "title", "custom", "mobile", "group"};
    const std::string name = AsciiLower(Trim(cell, " \t"));
    for (int i = 0; i < 6; ++i)
        if (name == kNames[i])
            return static_cast<ColumnRole>(i);
    return ColumnRole::kNone;
}

bool IsValidUtf8(const std::string& text) {
    Utf8Checker checker;
    checker.Feed(reinterpret_cast<const unsigned char*>(text.data()), text.size());
    return checker.Done();
}

std::string Windows1252ToUtf8(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        if (c >= 0x80 && c <= 0x9F && kCp1252High[c - 0x80] != 0)
            AppendUtf8(out, kCp1252High[c - 0x80]);
        else
            AppendUtf8(out, c);
    }
    return out;
}

CsvContactReader::~CsvContactReader() {
    if (file_)
        std::fclose(file_);
}

CsvContactReader::OpenStatus CsvContactReader::Open(const std::string& path, char separator,
                                                    const std::atomic<bool>* cancel) {
    separator_ = separator;
    file_ = path.empty() ? nullptr : std::fopen(path.c_str(), "rb");
    if (!file_)
        return OpenStatus::kCannotOpen;
    buffer_.resize(kChunk);

    // The encoding is the whole file's: one pass decides it before anything is imported.
    Utf8Checker checker;
    size_t n = 0;
    while (checker.ok && (n = std::fread(buffer_.data(), 1, kChunk, file_)) > 0) {
        if (cancel && cancel->load())
            return OpenStatus::kCancelled;
        checker.Feed(reinterpret_cast<const unsigned char*>(buffer_.data()), n);
    }
    if (std::ferror(file_))
        return OpenStatus::kCannotOpen;
    encoding_ = checker.Done() ? TextEncoding::kUtf8 : TextEncoding::kWindows1252;
    if (std::fseek(file_, 0, SEEK_END) == 0) {
        long size = std::ftell(file_);
        fileSize_ = size > 0 ? static_cast<uint64_t>(size) : 0;
    }
    std::rewind(file_);
    if (Peek() == 0xEF) {
        // A UTF-8 byte-order mark: skip it when all three bytes are there.
        Get();
        if (Get() != 0xBB || Get() != 0xBF) {
            std::rewind(file_);
            bufferPos_ = bufferLen_ = 0;
            position_ = 0;
        }
    }

    std::vector<std::string> header;
    do {
        if (!ReadRecord(header, kMaxCells))
            return OpenStatus::kNoHeader;
    } while (header.size() == 1 && header[0].empty());
    for (size_t i = 0; i < header.size(); ++i) {
        ColumnRole role = RoleOfHeaderCell(Decode(header[i]));
        roles_.push_back(role);
        // Two cells naming the same column: the later one wins.
        if (role == ColumnRole::kMobile)
            mobileColumn_ = static_cast<int>(i);
        if (role == ColumnRole::kGroup)
            groupColumn_ = static_cast<int>(i);
    }
    return mobileColumn_ >= 0 ? OpenStatus::kOk : OpenStatus::kNoMobileColumn;
}

CsvContactReader::RowStatus CsvContactReader::Next(CsvContactRow& row) {
    if (!file_ || mobileColumn_ < 0)
        return RowStatus::kEnd;
    do {
        if (!ReadRecord(cells_, roles_.size()))
            return RowStatus::kEnd;
    } while (cells_.size() == 1 && cells_[0].empty());
    row = CsvContactRow();
    if (cells_.size() <= static_cast<size_t>(mobileColumn_))
        return RowStatus::kShort;
    for (size_t i = 0; i < cells_.size() && i < roles_.size(); ++i) {
        if (roles_[i] == ColumnRole::kNone)
            continue;
        const std::string value = Decode(cells_[i]);
        switch (roles_[i]) {
            case ColumnRole::kFirstName:
                CutInto(row.Name, value, CsvContactRow::kMaxName);
                break;
            case ColumnRole::kSurname:
                CutInto(row.Surname, value, CsvContactRow::kMaxSurname);
                break;
            case ColumnRole::kTitle:
                CutInto(row.Title, value, CsvContactRow::kMaxTitle);
                break;
            case ColumnRole::kCustom:
                CutInto(row.Custom, value, CsvContactRow::kMaxCustom);
                break;
            case ColumnRole::kMobile:
                CutInto(row.Mobile, value, CsvContactRow::kMaxMobile);
                break;
            case ColumnRole::kGroup:
                CutInto(row.group, value, CsvContactRow::kMaxGroup);
                break;
            case ColumnRole::kNone:
                break;
        }
    }
    return RowStatus::kRow;
}

int CsvContactReader::Get() {
    if (bufferPos_ == bufferLen_) {
        bufferLen_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
        bufferPos_ = 0;
        if (bufferLen_ == 0) {
            if (std::ferror(file_))
                readFailed_ = true;
            return EOF;
        }
    }
    ++position_;
    return static_cast<unsigned char>(buffer_[bufferPos_++]);
}

int CsvContactReader::Peek() {
    int c = Get();
    if (c != EOF) {
        --bufferPos_;
        --position_;
    }
    return c;
}

bool CsvContactReader::ReadRecord(std::vector<std::string>& cells, size_t keepCells) {
    cells.clear();
    int c = Peek();
    if (c == EOF)
        return false;
    size_t index = 0;
    std::string cell;
    auto add = [&](int ch) {
        if (index < keepCells && cell.size() < kMaxCellBytes)
            cell.push_back(static_cast<char>(ch));
    };
    auto endCell = [&] {
        if (index < keepCells)
            cells.push_back(std::move(cell));
        cell.clear();
        ++index;
    };
    bool quoted = false;      // inside a quoted value
    bool atCellStart = true;  // no character of this cell read yet
    while ((c = Get()) != EOF) {
        if (quoted) {
            if (c == '"') {
                if (Peek() == '"') {
                    Get();
                    add('"');
                } else {
                    quoted = false;  // text after the closing quote is kept as it stands
                }
            } else {
                add(c);
            }
            continue;
        }
        if (c == '"' && atCellStart) {
            quoted = true;
            atCellStart = false;
            continue;
        }
        if (c == separator_) {
            endCell();
            atCellStart = true;
            continue;
        }
        if (c == '\r' || c == '\n') {
            if (c == '\r' && Peek() == '\n')
                Get();
            endCell();
            return true;
        }
        atCellStart = false;
        add(c);
    }
    // The file ends inside the last record (no final line break, or cut off mid-value).
    endCell();
    return true;
}

std::string CsvContactReader::Decode(const std::string& cell) const {
    return encoding_ == TextEncoding::kWindows1252 ? Windows1252ToUtf8(cell) : cell;
}

}  // namespace quillon
