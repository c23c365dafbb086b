// quillon-cli: a headless front end over the core, for scripting and automation.
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>

#include "cli/CliCommand.h"
#include "core/AppSettings.h"
#include "core/DataPath.h"
#include "core/LinkPolicy.h"
#include "store/MessageStore.h"
#include "store/StartupContext.h"

namespace quillon::cli {

namespace {
std::vector<CliCommand>& Registry() {
    static std::vector<CliCommand> commands;
    return commands;
}

void PrintUsage(std::ostream& out) {
    out << "usage: quillon-cli [--data-dir DIR] COMMAND [ARGS...]\n"
           "       quillon-cli --version\n\n"
           "Without --data-dir the data directory is DataPath from Tarvane/Qln3.conf\n"
           "(or the QUILLON_DATAPATH environment variable).\n\nCommands:\n";
    for (const auto& c : Registry()) {
        out << "  " << c.name;
        for (size_t i = c.name.size(); i < 16; ++i)
            out << ' ';
        out << c.summary << "\n";
    }
    out << "  help            this text; COMMAND --help for a command's own help\n";
}
}  // namespace

CliRegistrar::CliRegistrar(CliCommand command) {
    Registry().push_back(std::move(command));
}

const std::vector<CliCommand>& Commands() {
    return Registry();
}

int UsageError(const std::string& message) {
    std::cerr << "quillon-cli: " << message << "\n";
    return kUsage;
}

int Failure(const std::string& message) {
    std::cerr << "quillon-cli: " << message << "\n";
    return kFailure;
}

std::string DamageAdvice(const MessageStore& store) {
    return store.DamageText() +
           " \"quillon-cli store salvage\" copies every row that can still be read into a new one.";
}

bool TakeOption(std::vector<std::string>& args, const std::string& name, std::string& value) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == name && i + 1 < args.size()) {
            value = args[i + 1];
            args.erase(args.begin() + i, args.begin() + i + 2);
            return true;
        }
        if (args[i].rfind(name + "=", 0) == 0) {
            value = args[i].substr(name.size() + 1);
            args.erase(args.begin() + i);
            return true;
        }
    }
    return false;
}

std::vector<std::string> TakeRepeatedOption(std::vector<std::string>& args, const std::string& name) {
    std::vector<std::string> values;
    std::string v;
    while (TakeOption(args, name, v))
        values.push_back(v);
    return values;
}

bool TakeFlag(std::vector<std::string>& args, const std::string& name) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == name) {
            args.erase(args.begin() + i);
            return true;
        }
    }
    return false;
}

bool WantsHelp(const std::vector<std::string>& args) {
    for (const auto& a : args)
        if (a == "--help" || a == "-h")
            return true;
    return false;
}

bool ParseInt(const std::string& text, long long& value) {
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end == text.c_str() || *end != '\0')
        return false;
    value = v;
    return true;
}

bool TakeNumberOption(std::vector<std::string>& args, const std::string& name, long long low, long long high,
                      long long& value) {
    std::string text;
    if (!TakeOption(args, name, text))
        return true;
    long long v = 0;
    if (!ParseInt(text, v) || v < low || v > high)
        return false;
    value = v;
    return true;
}

}  // namespace quillon::cli

int main(int argc, char** argv) {
    using namespace quillon;
    using namespace quillon::cli;
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string dataDir;
    if (!args.empty() && (args[0] == "--data-dir" || args[0].rfind("--data-dir=", 0) == 0)) {
        if (!TakeOption(args, "--data-dir", dataDir))
            return UsageError("--data-dir needs a directory");
    }
    if (!args.empty() && args[0] == "--version") {
        std::cout << "quillon-cli " << QUILLON_VERSION << "\n";
        return kOk;
    }
    if (args.empty() || args[0] == "help" || args[0] == "--help" || args[0] == "-h") {
        PrintUsage(std::cout);
        return args.empty() ? kUsage : kOk;
    }
    const std::string name = args[0];
    args.erase(args.begin());
    const CliCommand* command = nullptr;
    for (const auto& c : Commands())
        if (c.name == name)
            command = &c;
    if (!command)
        return UsageError("unknown command '" + name + "' (see quillon-cli help)");
    if (WantsHelp(args)) {
        std::cout << command->help;
        for (const auto& s : SubcommandRegistry())
            if (s.command == name)
                std::cout << s.usage;
        return kOk;
    }

    if (command->beforeDataDir) {
        CliContext context{dataDir};
        return command->handler(context, args);
    }
    if (dataDir.empty())
        dataDir = FindDataPath();
    if (dataDir.size() < 2)
        return Failure("no data directory: give --data-dir DIR or set DataPath");
    while (dataDir.size() > 1 && dataDir.back() == '/')
        dataDir.pop_back();
    // Files are named from the data directory after the chdir below, so a relative one must be made absolute.
    if (dataDir[0] != '/') {
        char cwd[4096];
        if (getcwd(cwd, sizeof cwd))
            dataDir = std::string(cwd) + "/" + dataDir;
    }
    StartupContext startup;
    if (!startup.EnterDataDirectory(dataDir))
        return Failure("cannot enter the data directory " + dataDir);

    CliContext context{dataDir};
    // Start-up order as in the desktop program: settings, store, log.
    startup.OpenSettings(false);
    if (SendsPasswordInClear(Settings().COMBaseURL))
        std::cerr << "quillon-cli: warning: the gateway address " << Settings().COMBaseURL
                  << " is not encrypted (http:): the password and the messages cross the network in clear text\n";
    if (command->needsStore) {
        MessageStore& store = startup.OpenStore();
        if (store.Damaged())
            return Failure(DamageAdvice(store));
        if (!store.DatabaseFileExists())
            return Failure("cannot open the database " + store.Path());
        context.store = &store;
    }
    startup.OpenLog();
    int rc = command->handler(context, args);
    // Damage met on the way makes the command's result partial: a failure, whatever it printed.
    if (context.store && context.store->Damaged())
        rc = Failure(DamageAdvice(*context.store));
    startup.Close();
    return rc;
}
