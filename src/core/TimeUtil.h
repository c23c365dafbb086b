// Times as the store and the gateway rows keep them.
#pragma once

#include <algorithm>
#include <cstdint>

namespace quillon {

// Seconds since 1970 UTC in the 32 bits a row holds: never before 1970, at most the last second
// 32 bits can say.
inline int32_t ClampTime(int64_t seconds) {
    return static_cast<int32_t>(std::min<int64_t>(std::max<int64_t>(seconds, 0), INT32_MAX));
}

}  // namespace quillon
