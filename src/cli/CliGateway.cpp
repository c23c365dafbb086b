// quillon-cli gateway: late-bound calls to the gateway component, login and balance.
#include <climits>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "core/AppSettings.h"
#include "core/StringIds.h"
#include "core/StringTable.h"
#include "gateway/GatewayApi.h"
#include "gateway/Session.h"

namespace quillon::cli {

namespace {

const char* const kHelp =
    "usage: quillon-cli gateway SUBCOMMAND [OPTIONS] ...\n"
    "\n"
    "Talks to the gateway component SMS_COMAPI.SMS (see docs/components.md for its registration).\n"
    "\n"
    "Subcommands:\n"
    "  call MEMBER [ARG...]   calls a method by name; prints its result text, then a line\n"
    "                         \"smsERROR: N\". Exit 0 when the call worked and smsERROR is 0.\n"
    "  get PROPERTY           prints a property's value (e.g. gateway get smsERROR)\n"
    "  put PROPERTY VALUE     writes a property (e.g. gateway put smsCONCAT long:3)\n"
    "  names                  lists the member names with the dispatch numbers the component gave\n"
    "  login                  logs in; prints the balance\n"
    "  balance                logs in, reads the balance, stores it as LastBalance and prints it\n"
    "\n"
    "Arguments and values (first argument first):\n"
    "  text:ANYTHING   text (a word without one of these prefixes is text as well)\n"
    "  long:N          a signed 32-bit number\n"
    "  bool:true|false a BOOL (also 1/0, yes/no)\n"
    "  byte:N          a byte, 0 to 255\n"
    "\n"
    "Options:\n"
    "  --url URL          the gateway's base URL for this run (default: the COMBaseURL setting)\n"
    "  --user NAME        account name (default: the stored Login)\n"
    "  --password PW      password (default: the stored Password)\n"
    "  --client-id ID     client identifier (default: the stored client_id)\n"
    "  --login            call, get, put: log in with the account first (each run of quillon-cli is\n"
    "                     a new session)\n"
    "\n"
    "login and balance hand the stored proxy settings to the component first.\n"
    "Members: SendSimpleSMS SendMsg Authenticate AuthenticateClient Ping QueryMsg QueryBalance\n"
    "ResetSMS RecoverPassword TokenPay TokenPayWithURL EncodeToUnicode StopMsgAPIID StartBatch\n"
    "QuickBatchSend EndBatch SetBaseURL ConfigureProxy ConfigureProxyEx Version GetMsgCharge.\n"
    "Properties: smsUSER smsPASSWORD smsTEXT smsFROM smsTO smsIsLoggedIn smsERROR smsMSG_TYPE\n"
    "smsCONCAT smsSESSION_ID smsUNICODE smsDELIVERY_ACK smsDELIVERY_TIME.\n"
    "\n"
    "Examples:\n"
    "  quillon-cli gateway call --login SendMsg bool:true \"Hello\" +447700900123\n"
    "  quillon-cli gateway call EncodeToUnicode \"Grüße\"\n"
    "  quillon-cli gateway login --user demo --password demo\n";

bool StartsWith(const std::string& text, const char* prefix, std::string& rest) {
    std::string p(prefix);
    if (text.compare(0, p.size(), p) != 0)
        return false;
    rest = text.substr(p.size());
    return true;
}

// Reads one argument as written on the command line; false with a message when it is malformed.
bool ParseArgument(const std::string& word, Variant& value, std::string& error) {
    std::string rest;
    long long n = 0;
    if (StartsWith(word, "text:", rest)) {
        value = Variant::FromText(rest);
        return true;
    }
    if (StartsWith(word, "long:", rest)) {
        if (!ParseInt(rest, n) || n < INT32_MIN || n > INT32_MAX) {
            error = "not a 32-bit number: " + word;
            return false;
        }
        value = Variant::FromLong(static_cast<int32_t>(n));
        return true;
    }
    if (StartsWith(word, "byte:", rest)) {
        if (!ParseInt(rest, n) || n < 0 || n > 255) {
            error = "not a byte (0 to 255): " + word;
            return false;
        }
        value = Variant::FromByte(static_cast<uint8_t>(n));
        return true;
    }
    if (StartsWith(word, "bool:", rest)) {
        if (rest == "true" || rest == "1" || rest == "-1" || rest == "yes") {
            value = Variant::FromBool(true);
        } else if (rest == "false" || rest == "0" || rest == "no") {
            value = Variant::FromBool(false);
        } else {
            error = "not a BOOL (true or false): " + word;
            return false;
        }
        return true;
    }
    value = Variant::FromText(word);
    return true;
}

struct Account {
    std::string user, password;
    bool login = false;  // --login: log in before the call
};

// Logs in first when --login was given; false (after saying so) when that login failed.
bool LogInIfAsked(const Account& account) {
    return !account.login || LogInToGateway(account.user, account.password);
}

// The binding and account of one subcommand.
struct Prepared {
    GatewayHandle api;  // null after a reported failure
    Account account;
    int rc = kOk;  // the code to return when api is null
};

GatewayHandle PrepareBinding(std::vector<std::string>& args, Account& account, int& rc);

// Takes the options every subcommand shares (and --login where it may be given) and gets the binding.
Prepared Prepare(std::vector<std::string>& args, bool takesLogin) {
    Prepared p;
    if (takesLogin)
        p.account.login = TakeFlag(args, "--login");
    p.api = PrepareBinding(args, p.account, p.rc);
    return p;
}

GatewayHandle PrepareBinding(std::vector<std::string>& args, Account& account, int& rc) {
    std::string url, clientId;
    bool hasUrl = TakeOption(args, "--url", url);
    account.user = Settings().Login;
    account.password = Settings().Password;
    TakeOption(args, "--user", account.user);
    TakeOption(args, "--password", account.password);
    if (TakeOption(args, "--client-id", clientId))
        Settings().client_id = clientId;
    for (const auto& a : args) {
        if (a == "--url" || a == "--user" || a == "--password" || a == "--client-id") {
            rc = UsageError(a + " needs a value");
            return nullptr;
        }
    }
    if (hasUrl)
        Settings().COMBaseURL = url;
    GatewayHandle api = GatewayApi::Instance();
    if (!api) {
        rc = Failure(LoadResourceString(kIdStartFailedCaption) + " " + LoadResourceString(kIdCommsFailed));
        return nullptr;
    }
    SetOnLine(true);
    return api;
}

void PrintResult(const std::string& text) {
    std::cout << text;
    if (!text.empty() && text.back() != '\n')
        std::cout << '\n';
}

std::string StatusText(int32_t status) {
    char buffer[32];
    std::snprintf(buffer, sizeof(buffer), "0x%08X", static_cast<uint32_t>(status));
    return buffer;
}

int Call(std::vector<std::string>& args) {
    auto [api, account, rc] = Prepare(args, true);
    if (!api)
        return rc;
    if (args.empty())
        return UsageError("gateway call needs a MEMBER");
    std::vector<Variant> values;
    for (size_t i = 1; i < args.size(); ++i) {
        Variant v;
        std::string error;
        if (!ParseArgument(args[i], v, error))
            return UsageError(error);
        values.push_back(std::move(v));
    }
    DispId id = 0;
    bool known = false;
    if (!api->LookupMethod(args[0], id, known))
        return UsageError("no gateway member named " + args[0]);
    if (!known)
        return Failure("the gateway component does not offer " + args[0]);
    if (!LogInIfAsked(account))
        return Failure("login failed");

    auto guard = api->Guard();
    Variant result;
    int32_t status = api->Call(args[0], values, result);
    if (status < 0)
        return Failure(args[0] + " failed with status " + StatusText(status));
    int32_t error = 0;
    if (api->Get_smsERROR(error) < 0)
        return Failure("smsERROR cannot be read");
    PrintResult(GatewayApi::VariantText(result));
    std::cout << "smsERROR: " << error << "\n";
    return error == 0 ? kOk : kFailure;
}

int Get(std::vector<std::string>& args) {
    auto [api, account, rc] = Prepare(args, true);
    if (!api)
        return rc;
    if (args.size() != 1)
        return UsageError("gateway get needs one PROPERTY");
    if (!LogInIfAsked(account))
        return Failure("login failed");
    Variant value;
    int32_t status = api->GetProperty(args[0], value);
    if (status < 0)
        return Failure("reading " + args[0] + " failed with status " + StatusText(status));
    std::cout << GatewayApi::VariantText(value) << "\n";
    return kOk;
}

int Put(std::vector<std::string>& args) {
    auto [api, account, rc] = Prepare(args, true);
    if (!api)
        return rc;
    if (args.size() != 2)
        return UsageError("gateway put needs a PROPERTY and a VALUE");
    Variant value;
    std::string error;
    if (!ParseArgument(args[1], value, error))
        return UsageError(error);
    if (!LogInIfAsked(account))
        return Failure("login failed");
    int32_t status = api->PutProperty(args[0], value);
    if (status < 0)
        return Failure("writing " + args[0] + " failed with status " + StatusText(status));
    return kOk;
}

int Names(std::vector<std::string>& args) {
    auto [api, account, rc] = Prepare(args, false);
    if (!api)
        return rc;
    auto print = [](const std::string& kind, const std::string& name, DispId id, bool known) {
        std::cout << kind << ' ' << name << ' ' << (known ? std::to_string(id) : std::string("unknown")) << "\n";
    };
    for (const auto& name : GatewayApi::MethodNames()) {
        DispId id = 0;
        bool known = false;
        api->LookupMethod(name, id, known);
        print("method", name, id, known);
    }
    for (const auto& name : GatewayApi::PropertyNames()) {
        DispId id = 0;
        bool known = false;
        api->LookupProperty(name, id, known);
        print("property", name, id, known);
    }
    return kOk;
}

int LogIn(std::vector<std::string>& args, bool storeBalance) {
    auto [api, account, rc] = Prepare(args, false);
    if (!api)
        return rc;
    if (!args.empty())
        return UsageError("unexpected argument " + args[0]);
    if (ApplyProxySettings(false) != 0)
        return kFailure;
    if (!LogInToGateway(account.user, account.password)) {
        int32_t error = 0;
        api->Get_smsERROR(error);
        return Failure("login failed (smsERROR " + std::to_string(error) + ")");
    }
    if (storeBalance)
        SaveSettings();
    std::cout << BalanceText(kIdBalance) << "\n";
    return kOk;
}

int Run(CliContext&, std::vector<std::string>& args) {
    if (args.empty())
        return UsageError("gateway needs a subcommand (see quillon-cli gateway --help)");
    std::string sub = args[0];
    args.erase(args.begin());
    if (sub == "call")
        return Call(args);
    if (sub == "get")
        return Get(args);
    if (sub == "put")
        return Put(args);
    if (sub == "names")
        return Names(args);
    if (sub == "login")
        return LogIn(args, false);
    if (sub == "balance")
        return LogIn(args, true);
    return UsageError("unknown gateway subcommand '" + sub + "'");
}

CliRegistrar registrar({"gateway", "late-bound gateway calls, login and balance", kHelp, Run, false});

}  // namespace

}  // namespace quillon::cli
