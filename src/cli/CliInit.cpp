// quillon-cli init DIR: makes a data directory ready (settings file and database) and names it as
// DataPath in the user's Tarvane/Qln3.conf, so the desktop program finds it.
#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <system_error>

#include "cli/CliCommand.h"
#include "core/PrivateFiles.h"
#include "core/TextUtil.h"
#include "store/MessageStore.h"
#include "store/StartupContext.h"

namespace quillon::cli {

int UsageError(const std::string& message);
int Failure(const std::string& message);
bool TakeFlag(std::vector<std::string>& args, const std::string& name);

namespace {

namespace fs = std::filesystem;

std::string ConfigFile() {
    std::string home;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        home = xdg;
    else if (const char* h = std::getenv("HOME"); h && *h)
        home = std::string(h) + "/.config";
    return home.empty() ? std::string() : home + "/Tarvane/Qln3.conf";
}

// The text of a Qln3.conf whose DataPath is `dataDir`: other lines kept, the first DataPath line
// replaced (a "[General]" section made when there was none).
std::string WithDataPath(const std::string& config, const std::string& dataDir) {
    std::istringstream in(config);
    std::ostringstream out;
    std::string line;
    bool written = false;
    while (std::getline(in, line)) {
        std::string t = Trim(line, " \t\r");
        size_t eq = t.find('=');
        bool isDataPath = eq != std::string::npos && Trim(t.substr(0, eq), " \t") == "DataPath";
        if (isDataPath) {
            if (!written)
                out << "DataPath=" << dataDir << "\n";
            written = true;
            continue;
        }
        out << line << "\n";
    }
    std::string text = out.str();
    if (!written)
        text = "[General]\nDataPath=" + dataDir + "\n" + (text.empty() ? "" : "\n" + text);
    return text;
}

int RunInit(CliContext& context, std::vector<std::string>& args) {
    bool noConfig = TakeFlag(args, "--no-config");
    std::string dir = !args.empty() ? args[0] : context.dataDir;
    if (dir.empty() || args.size() > 1)
        return UsageError("init needs one directory (see quillon-cli init --help)");
    std::error_code error;
    fs::path path = fs::absolute(fs::path(dir), error).lexically_normal();
    std::string dataDir = path.string();
    while (dataDir.size() > 1 && dataDir.back() == '/')
        dataDir.pop_back();
    // The data folder holds every message and contact: only its owner may look inside.
    fs::create_directories(path.parent_path(), error);
    if (!error && !MakePrivateFolder(dataDir))
        error = std::make_error_code(std::errc::permission_denied);
    if (error || ::access(dataDir.c_str(), R_OK | W_OK | X_OK) != 0)
        return Failure("cannot create or write the data directory " + dataDir);

    // The settings file and the database, as the first start of the program would make them.
    {
        StartupContext startup;
        if (!startup.EnterDataDirectory(dataDir))
            return Failure("cannot enter the data directory " + dataDir);
        startup.OpenSettings(true);
        if (!startup.OpenStore().DatabaseFileExists())
            return Failure("cannot create the database in " + dataDir);
        startup.Close();
    }
    std::cout << "Data directory ready: " << dataDir << "\n";
    if (noConfig)
        return kOk;

    std::string config = ConfigFile();
    if (config.empty())
        return Failure("neither XDG_CONFIG_HOME nor HOME is set: cannot write Tarvane/Qln3.conf");
    fs::create_directories(fs::path(config).parent_path(), error);
    std::string old;
    {
        std::ifstream in(config);
        std::ostringstream text;
        text << in.rdbuf();
        old = text.str();
    }
    std::ofstream out(config, std::ios::trunc);
    out << WithDataPath(old, dataDir);
    out.close();
    if (!out)
        return Failure("cannot write " + config);
    std::cout << "DataPath written to " << config << "\n";
    if (const char* env = std::getenv("QUILLON_DATAPATH"); env && *env)
        std::cout << "Note: QUILLON_DATAPATH is set and overrides it in this shell.\n";
    return kOk;
}

const CliRegistrar kRegistrar({"init", "create a data directory and make it the one Quillon uses",
                               "usage: quillon-cli init DIR [--no-config]\n"
                               "\n"
                               "Creates DIR (with its parents) and in it the settings file SMS.dat and the database\n"
                               "SMS.db, then writes DataPath=DIR into $XDG_CONFIG_HOME/Tarvane/Qln3.conf (default\n"
                               "~/.config/Tarvane/Qln3.conf), keeping the file's other lines. --no-config leaves\n"
                               "that file alone. Running it again on the same DIR changes nothing stored there.\n",
                               RunInit, false, true});

}  // namespace
}  // namespace quillon::cli
