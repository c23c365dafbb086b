// quillon-cli: every command group registers itself from its own file.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace quillon {
class MessageStore;
}

namespace quillon::cli {

// Exit status: 0 success, 1 failure, 2 usage error.
enum ExitCode { kOk = 0, kFailure = 1, kUsage = 2 };

struct CliContext {
    std::string dataDir;            // the data directory in use (already made current)
    MessageStore* store = nullptr;  // open when the command needs the store
};

using CliHandler = std::function<int(CliContext&, std::vector<std::string>& args)>;

struct CliCommand {
    std::string name;     // first word: "settings", "outbox", ...
    std::string summary;  // one line for the command list
    std::string help;     // full help text for "quillon-cli NAME --help"
    CliHandler handler;
    bool needsStore = true;  // whether start-up opens the store before the handler runs
    // Runs before any data directory is entered (the command makes one): the context is empty.
    bool beforeDataDir = false;
};

// Registers at static initialisation: static CliRegistrar r({...});
struct CliRegistrar {
    explicit CliRegistrar(CliCommand command);
};

const std::vector<CliCommand>& Commands();

// A subcommand that another file adds to a command ("outbox query" beside "outbox add"). The
// command's handler looks its first argument up here and hands the rest to the subcommand;
// "COMMAND --help" appends every registered subcommand's usage line.
struct CliSubcommand {
    std::string command;  // "outbox"
    std::string name;     // "query"
    std::string usage;    // one help line, ending in "\n"
    CliHandler handler;   // gets the arguments after the subcommand's name
};

inline std::vector<CliSubcommand>& SubcommandRegistry() {
    static std::vector<CliSubcommand> subcommands;
    return subcommands;
}

// Registers at static initialisation: static CliSubcommandRegistrar r({"outbox", "query", ...});
struct CliSubcommandRegistrar {
    explicit CliSubcommandRegistrar(CliSubcommand subcommand) { SubcommandRegistry().push_back(std::move(subcommand)); }
};

inline const CliSubcommand* FindSubcommand(const std::string& command, const std::string& name) {
    for (const auto& s : SubcommandRegistry())
        if (s.command == command && s.name == name)
            return &s;
    return nullptr;
}

// A usage error: prints "quillon-cli: <message>" to stderr, returns kUsage.
int UsageError(const std::string& message);
// A failure: prints "quillon-cli: <message>" to stderr, returns kFailure.
int Failure(const std::string& message);

// The damage of the store and what to do about it, for a failure message.
std::string DamageAdvice(const MessageStore& store);

// Takes "--name VALUE" out of args; false when absent. A flag without value is a usage error (value unset).
bool TakeOption(std::vector<std::string>& args, const std::string& name, std::string& value);
// Takes every "--name VALUE" out of args.
std::vector<std::string> TakeRepeatedOption(std::vector<std::string>& args, const std::string& name);
// Takes a bare "--name" flag.
bool TakeFlag(std::vector<std::string>& args, const std::string& name);
bool WantsHelp(const std::vector<std::string>& args);
bool ParseInt(const std::string& text, long long& value);
// Takes "--name N" into value when given; false when N is not a whole number from low to high.
bool TakeNumberOption(std::vector<std::string>& args, const std::string& name, long long low, long long high,
                      long long& value);

}  // namespace quillon::cli
