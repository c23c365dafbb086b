// The compiled-in English string table: every text the program shows, keyed by its numeric id.
#pragma once

#include <cstddef>

namespace quillon {

struct BuiltInString {
    int id;
    const char* text;
};

// The table, sorted by ascending id; `count` receives the number of entries.
const BuiltInString* BuiltInStrings(size_t& count);

// The English text of `id`, or nullptr when the built-in table has none.
const char* FindBuiltInString(int id);

}  // namespace quillon
