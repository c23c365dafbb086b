#include "store/RecipientList.h"

#include <cstdlib>

namespace quillon {

std::optional<int32_t> ParseContactEntry(const std::string& entry) {
    if (entry.size() < 2 || entry[0] != 'A' || entry.size() > 11)
        return std::nullopt;
    for (size_t i = 1; i < entry.size(); ++i)
        if (entry[i] < '0' || entry[i] > '9')
            return std::nullopt;
    long long value = std::strtoll(entry.c_str() + 1, nullptr, 10);
    if (value > INT32_MAX)
        return std::nullopt;
    return static_cast<int32_t>(value);
}

std::vector<RecipientListEntry> ParseRecipientList(const std::string& to) {
    std::vector<RecipientListEntry> entries;
    size_t pos = (!to.empty() && to[0] == ',') ? 1 : 0;
    while (pos < to.size()) {
        size_t comma = to.find(',', pos);
        size_t end = comma == std::string::npos ? to.size() : comma;
        RecipientListEntry entry;
        entry.text = to.substr(pos, end - pos);
        entry.contactId = ParseContactEntry(entry.text);
        entries.push_back(std::move(entry));
        pos = comma == std::string::npos ? to.size() : comma + 1;
    }
    return entries;
}

std::string ApplyNumberPrefix(const std::string& number, const std::string& prefix) {
    if (prefix.empty() || number.empty() || number[0] != '0')
        return number;
    size_t first = number.find_first_not_of('0');
    return prefix + (first == std::string::npos ? std::string() : number.substr(first));
}

}  // namespace quillon
