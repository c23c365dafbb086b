#include "core/SmsEncoding.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace quillon {

namespace {

// The GSM 03.38 default table (without its escape) and the extension table reached through it.
constexpr char32_t kGsmDefault[] =
    U"@£$¥èéùìòÇ\nØø\rÅåΔ_ΦΓΛΩΠΨΣΘΞÆæßÉ !\"#¤%&'()*+,-./0123456789:;<=>?"
    U"¡ABCDEFGHIJKLMNOPQRSTUVWXYZÄÖÑÜ§¿abcdefghijklmnopqrstuvwxyzäöñüà";
constexpr char32_t kGsmExtension[] = U"\f^{}\\[~]|€";

// Septets by code point: a direct table below U+0400 (Latin and Greek), a short list above.
struct GsmTable {
    std::array<uint8_t, 0x400> low{};
    std::vector<std::pair<uint32_t, uint8_t>> high;

    GsmTable() {
        auto put = [this](char32_t c, uint8_t septets) {
            if (c < low.size())
                low[c] = septets;
            else
                high.emplace_back(static_cast<uint32_t>(c), septets);
        };
        for (const char32_t* p = kGsmDefault; *p; ++p)
            put(*p, 1);
        for (const char32_t* p = kGsmExtension; *p; ++p)
            put(*p, 2);
        std::sort(high.begin(), high.end());
    }
    int Septets(uint32_t cp) const {
        if (cp < low.size())
            return low[cp];
        auto it = std::lower_bound(high.begin(), high.end(), std::make_pair(cp, uint8_t{0}));
        return it != high.end() && it->first == cp ? it->second : 0;
    }
};

const GsmTable& Gsm() {
    static const GsmTable table;
    return table;
}

bool IsEvenHex(const std::string& text) {
    return text.size() % 2 == 0 &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isxdigit(c) != 0; });
}

// Look-alikes and what GSM carries in their place.
struct Lookalike {
    uint32_t from;
    const char* to;
};
constexpr Lookalike kLookalikes[] = {
    {0x00A0, " "},  {0x2000, " "},  {0x2001, " "},  {0x2002, " "},  {0x2003, " "},  {0x2004, " "},  {0x2005, " "},
    {0x2006, " "},  {0x2007, " "},  {0x2008, " "},  {0x2009, " "},  {0x200A, " "},  {0x202F, " "},  {0x205F, " "},
    {0x3000, " "},  {0x200B, ""},   {0xFEFF, ""},   {0x00AD, ""},   {0x2010, "-"},  {0x2011, "-"},  {0x2012, "-"},
    {0x2013, "-"},  {0x2014, "-"},  {0x2015, "-"},  {0x2212, "-"},  {0x2018, "'"},  {0x2019, "'"},  {0x201A, "'"},
    {0x201B, "'"},  {0x2032, "'"},  {0x00B4, "'"},  {0x0060, "'"},  {0x201C, "\""}, {0x201D, "\""}, {0x201E, "\""},
    {0x201F, "\""}, {0x2033, "\""}, {0x00AB, "\""}, {0x00BB, "\""}, {0x2039, "'"},  {0x203A, "'"},  {0x2026, "..."},
    {0x2022, "-"},  {0x00B7, "."},  {0x2024, "."},  {0x00D7, "x"},  {0x2044, "/"},  {0x02DC, "~"},  {0x02C6, "^"},
    {0x00E7, "Ç"},  {0x00E1, "a"},  {0x00ED, "i"},  {0x00F3, "o"},  {0x00FA, "u"},  {0x00E2, "a"},  {0x00EA, "e"},
    {0x00EE, "i"},  {0x00F4, "o"},  {0x00FB, "u"},  {0x00EB, "e"},  {0x00EF, "i"},  {0x00E3, "a"},  {0x00F5, "o"},
    {0x00C1, "A"},  {0x00C0, "A"},  {0x00CD, "I"},  {0x00D3, "O"},  {0x00DA, "U"},  {0x2028, "\n"}, {0x2029, "\n"},
    {0x0009, " "},
};

}  // namespace

int SmsSingleUnits(SmsAlphabet alphabet) {
    switch (alphabet) {
        case SmsAlphabet::kGsm7:
            return 160;
        case SmsAlphabet::kUcs2:
            return 70;
        case SmsAlphabet::kData:
            return 140;
    }
    return 160;
}

int SmsPartUnits(SmsAlphabet alphabet) {
    switch (alphabet) {
        case SmsAlphabet::kGsm7:
            return 153;
        case SmsAlphabet::kUcs2:
            return 67;
        case SmsAlphabet::kData:
            return 134;
    }
    return 153;
}

int64_t SmsParts(SmsAlphabet alphabet, int64_t units) {
    if (units <= SmsSingleUnits(alphabet))
        return 1;
    const int64_t per = SmsPartUnits(alphabet);
    return (units + per - 1) / per;
}

int64_t SmsUnitBudget(SmsAlphabet alphabet, int maxParts) {
    if (maxParts <= 1)
        return SmsSingleUnits(alphabet);
    return static_cast<int64_t>(maxParts) * SmsPartUnits(alphabet);
}

int GsmSeptets(uint32_t codePoint) {
    return Gsm().Septets(codePoint);
}

uint32_t NextCodePoint(const std::string& text, size_t& pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    size_t extra = 0;
    uint32_t value = lead;
    uint32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1;
        value = lead & 0x1F;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2;
        value = lead & 0x0F;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3;
        value = lead & 0x07;
        minimum = 0x10000;
    }
    if (extra == 0 || pos + extra >= text.size()) {
        pos += 1;
        return lead;
    }
    for (size_t i = 1; i <= extra; ++i) {
        const auto cont = static_cast<unsigned char>(text[pos + i]);
        if ((cont & 0xC0) != 0x80) {
            pos += 1;
            return lead;
        }
        value = (value << 6) | (cont & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        pos += 1;
        return lead;
    }
    pos += extra + 1;
    return value;
}

void SmsTally::Add(uint32_t codePoint) {
    ++characters;
    utf16 += codePoint > 0xFFFF ? 2 : 1;
    const int s = GsmSeptets(codePoint);
    if (s == 0)
        gsm = false;
    septets += s;
}

SmsTally& SmsTally::operator+=(const SmsTally& other) {
    characters += other.characters;
    septets += other.septets;
    utf16 += other.utf16;
    gsm = gsm && other.gsm;
    return *this;
}

SmsTally TallyText(const std::string& text) {
    SmsTally tally;
    for (size_t pos = 0; pos < text.size();)
        tally.Add(NextCodePoint(text, pos));
    return tally;
}

SmsCount CountTypedText(const SmsTally& tally, bool forceUcs2) {
    SmsCount count;
    if (tally.gsm && !forceUcs2) {
        count.alphabet = SmsAlphabet::kGsm7;
        count.units = tally.septets;
    } else {
        count.alphabet = SmsAlphabet::kUcs2;
        count.units = tally.utf16;
    }
    count.parts = SmsParts(count.alphabet, count.units);
    return count;
}

int64_t DataOctets(const std::string& hexText) {
    return IsEvenHex(hexText) ? static_cast<int64_t>(hexText.size() / 2) : static_cast<int64_t>(hexText.size());
}

SmsCount CountOnWire(const std::string& text, long gatewayKind, bool unicodeHex) {
    if (gatewayKind != 0 && gatewayKind != 1) {
        SmsCount count;
        count.alphabet = SmsAlphabet::kData;
        count.units = DataOctets(text);
        count.parts = SmsParts(count.alphabet, count.units);
        return count;
    }
    if (unicodeHex && IsEvenHex(text) && text.size() % 4 == 0) {
        SmsCount count;
        count.alphabet = SmsAlphabet::kUcs2;
        count.units = static_cast<int64_t>(text.size() / 4);
        count.parts = SmsParts(count.alphabet, count.units);
        return count;
    }
    return CountTypedText(TallyText(text), unicodeHex);
}

std::vector<uint32_t> NonGsmCharacters(const std::string& text, size_t limit) {
    std::vector<uint32_t> found;
    for (size_t pos = 0; pos < text.size() && found.size() < limit;) {
        const uint32_t cp = NextCodePoint(text, pos);
        if (GsmSeptets(cp) == 0 && std::find(found.begin(), found.end(), cp) == found.end())
            found.push_back(cp);
    }
    return found;
}

std::string Utf8Of(uint32_t cp) {
    std::string out;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

std::string ReplaceGsmLookalikes(const std::string& text, int* replaced) {
    std::string out;
    out.reserve(text.size());
    int count = 0;
    for (size_t pos = 0; pos < text.size();) {
        const size_t start = pos;
        const uint32_t cp = NextCodePoint(text, pos);
        const Lookalike* hit = nullptr;
        if (GsmSeptets(cp) == 0)
            for (const auto& l : kLookalikes)
                if (l.from == cp)
                    hit = &l;
        if (hit) {
            out += hit->to;
            ++count;
        } else {
            out.append(text, start, pos - start);
        }
    }
    if (replaced)
        *replaced = count;
    return out;
}

}  // namespace quillon
