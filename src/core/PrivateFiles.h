// Files and folders that hold the user's data are the user's alone: created 0600 / 0700 whatever the
// umask, and places that other local users could have written are recognised before anything is read
// or run from them.
#pragma once

#include <string>

namespace quillon {

constexpr unsigned kPrivateFileMode = 0600;
constexpr unsigned kPrivateFolderMode = 0700;

// Creates `path` as an empty 0600 file when it is missing (never through a symbolic link) and narrows an
// existing file of ours to 0600. False when the file can be neither created nor found.
bool CreatePrivateFile(const std::string& path);
// Narrows an existing regular file owned by this user to 0600; false when it is missing, not ours or
// cannot be changed. A symbolic link is not followed.
bool RestrictToOwner(const std::string& path);
// Narrows an open file of ours to 0600 (used right after creating it).
bool RestrictToOwner(int fd);
// Creates `path` as a 0700 folder; an existing folder is left as it is. False when it cannot be made.
bool MakePrivateFolder(const std::string& path);

enum class PlaceSafety {
    kMissing,           // nothing there
    kPrivate,           // ours (or the system's), nobody else may read or write it
    kReadableByOthers,  // ours, others may read it but not change it
    kWritableByOthers,  // another user may change it, or it belongs to another user
};

// How safe the file or folder at `path` is (symbolic links followed). A folder others may write to with
// the sticky bit set counts as readable only: others can add files there but not replace ours.
PlaceSafety CheckPlace(const std::string& path);
// True when another user could have put `path` there or changed it: it, or the folder holding it, is
// writable by others or owned by another user (root counts as trusted).
bool WritableByOthers(const std::string& path);

// True when `path` is a folder (not a symbolic link) owned by this user that no other user may write to.
bool IsOwnFolder(const std::string& path);

// Logs once per process a line saying that the data directory can be read by other users. Never changes
// the folder: the user may share it on purpose. Returns whether it is readable by others.
bool ReportExposedDataDirectory(const std::string& dir);

}  // namespace quillon
