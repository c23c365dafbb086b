// File-system questions asked in more than one layer.
#pragma once

#include <string>

namespace quillon {

enum class FileKind {
    kAny,      // a file, folder or anything else that stat() finds
    kRegular,  // a regular file only (symbolic links followed)
};

// Whether `path` names something of `kind`; false for an empty path.
bool FileExists(const std::string& path, FileKind kind = FileKind::kAny);

}  // namespace quillon
