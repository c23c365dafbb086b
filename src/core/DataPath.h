// Where the data directory is: QUILLON_DATAPATH, else DataPath in Tarvane/Qln3.conf
// ($XDG_CONFIG_HOME or ~/.config, then /etc/xdg).
#pragma once

#include <string>

namespace quillon {

// The configured data directory without a trailing separator, or "" when none is configured.
std::string FindDataPath();

// The data directory in use (set by start-up or the command line).
const std::string& DataDirectory();
void SetDataDirectory(const std::string& dir);

// DataDirectory() + "/" + name
std::string DataFile(const std::string& name);

// The folder a path names a file in: "." for a bare name, "/" for a file at the root.
std::string FolderOf(const std::string& path);

}  // namespace quillon
