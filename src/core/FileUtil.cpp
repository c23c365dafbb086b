#include "core/FileUtil.h"

#include <sys/stat.h>

namespace quillon {

bool FileExists(const std::string& path, FileKind kind) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return false;
    return kind == FileKind::kAny || S_ISREG(st.st_mode);
}

}  // namespace quillon
