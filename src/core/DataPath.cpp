#include "core/DataPath.h"

#include <cstdlib>
#include <fstream>

#include "core/TextUtil.h"

namespace quillon {

namespace {
std::string g_dataDirectory;

// Blanks, tabs and line ends only: the INI file's rule.
constexpr const char* kIniBlank = " \t\r\n";

// DataPath=... from an INI file; any section, first match wins.
std::string ReadDataPathFrom(const std::string& file) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        line = Trim(line, kIniBlank);
        if (line.empty() || line[0] == '#' || line[0] == ';' || line[0] == '[')
            continue;
        size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        if (Trim(line.substr(0, eq), kIniBlank) == "DataPath")
            return Trim(line.substr(eq + 1), kIniBlank);
    }
    return "";
}

std::string StripTrailingSeparators(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}
}  // namespace

std::string FindDataPath() {
    if (const char* env = std::getenv("QUILLON_DATAPATH"); env && *env)
        return StripTrailingSeparators(env);
    std::string configHome;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
        configHome = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        configHome = std::string(home) + "/.config";
    }
    for (const std::string& dir : {configHome, std::string("/etc/xdg")}) {
        if (dir.empty())
            continue;
        std::string value = ReadDataPathFrom(dir + "/Tarvane/Qln3.conf");
        if (!value.empty())
            return StripTrailingSeparators(value);
    }
    return "";
}

const std::string& DataDirectory() {
    return g_dataDirectory;
}

void SetDataDirectory(const std::string& dir) {
    g_dataDirectory = StripTrailingSeparators(dir);
}

std::string DataFile(const std::string& name) {
    return g_dataDirectory + "/" + name;
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

}  // namespace quillon
