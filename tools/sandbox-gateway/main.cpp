// quillon-sandbox-gateway: a local SMS gateway for the demo, the tests and the benchmarks.
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>

#include "SandboxConfig.h"
#include "SandboxServer.h"

namespace {

const char* kHelp = R"(Usage: quillon-sandbox-gateway [OPTIONS]

A local SMS gateway that speaks the HTTP gateway component's protocol
(docs/gateway-protocol.md). It listens on 127.0.0.1 only and prints one line
on standard output once it listens:
    Listening on http://127.0.0.1:PORT
That address is the base URL to give the component (setting COMBaseURL).
SIGTERM or SIGINT stops it cleanly.

Options:
  --port N            port to listen on; 0 picks a free one (default 8025)
  --config FILE       accounts, vouchers and behaviour (format below)
  --timeline Q,G,D    seconds after acceptance (or after the delivery time of a
                      deferred message) at which a message reaches state 002
                      queued, 003 delivered to gateway, 004 delivered
                      (default 2,5,10)
  --session-idle S    seconds a session lives without use (default 1800)
  --price CREDIT      charge per SMS part (default 1.0)
  --max-parts N       longest concatenated message, in parts (default 16)
  --threads N         worker threads (default 16)
  --help              this text

Built-in configuration (used when no --config is given):
  account demo, password demo, e-mail demo@example.com, 100.0 credits;
  any client id is accepted;
  vouchers QLNVOUCHER000010 (10 credits), QLNVOUCHER000050 (50 credits),
           QLNVOUCHER000100 (100 credits), each redeemable once.

Configuration file: one entry per line, '#' starts a comment line.
  account USER PASSWORD CREDIT [EMAIL]
  voucher CODE CREDIT
  client-id ID            only this client id may log in ('*' = any)
  timeline Q G D          as --timeline
  session-idle SECONDS
  part-price CREDIT
  max-parts N
  id-suffix WORD          tests only: message id replies end in " WORD"
  file NAME SOURCE [pace=MS] [cut=BYTES]
                          serves the local file SOURCE (relative: to the
                          configuration file) at /files/NAME; pace: a pause
                          after every 1 KiB; cut: the connection closes after
                          BYTES of the announced body
  redirect NAME URL       /files/NAME answers 302 with Location URL
/files/ names that are not configured answer 404 with a body.
Accounts or vouchers in the file replace the built-in ones of that kind.
Command-line options override the file.

Messages: state 001 accepted, 002 queued, 003 delivered to gateway,
004 delivered on the timeline above; a message deferred by delivery_time
minutes stays in 011 (scheduled) until then. delmsg withdraws a message only
earlier than 10 minutes before its delivery time (state 006, charge refunded).
Charges: per SMS part. GSM 7-bit text: 160 characters in one part, 153 per
part when concatenated (^{}\[~]|€ count twice); text with other characters or
unicode=1 (hexadecimal UCS-2): 70, or 67 per part; data kinds (msg_type other
than 0 and 1, hexadecimal): 140 octets, or 134 per part. concat=0 allows one
part only. Not enough credit: ERR 301.

Failures by destination number (its last four digits):
  ...9991  rejected at send (ERR 304)
  ...9992  routing error: 009 instead of 002
  ...9993  delivery error: 007 instead of 004
  ...9994  expired: 010 instead of 004
  ...9995  error with message: 005 instead of 002
  ...9996  008 instead of 004
  ...9997  stays at 003 (never confirmed)
A number must hold 6 to 16 digits (a leading '+', blanks and '-' are
ignored), or it gets ERR 303.

Test control endpoints (GET or POST, form parameters):
  /control/health                    OK while serving
  /control/received[?endpoint=E]     "OK: n", then one line per gateway request
                                     in arrival order: "ENDPOINT PARAMS"
                                     (form-encoded parameters)
  /control/messages                  every message with state and charge
  /control/clock?advance=SECONDS     moves the sandbox clock forward
  /control/fault?kind=K&count=N[&value=V][&endpoint=E]
                                     the next N gateway requests (to E only,
                                     when given) fail: drop (connection closed
                                     after the headers, before the reply's
                                     body), delay (answered after V
                                     ms), status (HTTP status V, default 500),
                                     garbage (a reply of no protocol shape),
                                     oversize (a 2 MiB reply)
  /control/credit?user=U&credit=C    sets an account's credit
  /control/reset                     configured accounts and vouchers, no
                                     messages, sessions, faults or history,
                                     real time
Requests are limited to 64 KiB and quicksend to 1000 numbers; what the server
refuses is answered with an "ERR: " reply.

Environment: QUILLON_SANDBOX_VERBOSE=1 writes every gateway request and its
reply to standard error.
)";

bool ParseNumber(const char* text, int minValue, int maxValue, int& out) {
    char* end = nullptr;
    long value = strtol(text, &end, 10);
    if (!*text || *end || value < minValue || value > maxValue)
        return false;
    out = static_cast<int>(value);
    return true;
}

// Takes one option and its value into the configuration; "" when it was good, else why not.
std::string TakeOption(const std::string& arg, const char* value, quillon::sandbox::SandboxConfig& config, int& port) {
    using namespace quillon::sandbox;
    if (arg == "--port") {
        return ParseNumber(value, 0, 65535, port) ? "" : "bad port";
    } else if (arg == "--config") {
        return "";  // read before the other options
    } else if (arg == "--timeline") {
        int q = 0, g = 0, d = 0;
        char tail = 0;
        if (sscanf(value, "%d,%d,%d%c", &q, &g, &d, &tail) != 3 || q < 0 || q > g || g > d || d > 86400)
            return "bad timeline";
        config.queuedAfter = q;
        config.gatewayAfter = g;
        config.deliveredAfter = d;
        return "";
    } else if (arg == "--session-idle") {
        return ParseNumber(value, 1, 100000000, config.sessionIdle) ? "" : "bad session idle time";
    } else if (arg == "--price") {
        return ParseCredits(value, config.pricePerPart) ? "" : "bad price";
    } else if (arg == "--max-parts") {
        return ParseNumber(value, 1, 255, config.maxParts) ? "" : "bad part count";
    } else if (arg == "--threads") {
        return ParseNumber(value, 1, 256, config.threads) ? "" : "bad thread count";
    }
    return "unknown option " + arg;
}

// Reads the command line: -1 to go on serving, else the exit code (help printed, or a usage error).
int ReadCommandLine(int argc, char** argv, quillon::sandbox::SandboxConfig& config, int& port) {
    std::string configFile;
    // The file is read first so that the options given beside it override it.
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--config") == 0)
            configFile = argv[i + 1];
    }
    if (!configFile.empty()) {
        std::string error;
        if (!quillon::sandbox::LoadConfigFile(configFile, config, error)) {
            std::cerr << "quillon-sandbox-gateway: " << error << "\n";
            return 2;
        }
    }
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << kHelp;
            return 0;
        }
        std::string why =
            i + 1 >= argc ? "unknown option or missing value: " + arg : TakeOption(arg, argv[++i], config, port);
        if (!why.empty()) {
            std::cerr << "quillon-sandbox-gateway: " << why << " (see --help)\n";
            return 2;
        }
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace quillon::sandbox;
    SandboxConfig config = DefaultConfig();
    int port = 8025;
    if (int code = ReadCommandLine(argc, argv, config, port); code >= 0)
        return code;

    // Signals are taken by one thread; the others never see them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    SandboxServer server(config);
    int bound = server.Bind(port);
    if (bound <= 0) {
        std::cerr << "quillon-sandbox-gateway: cannot listen on 127.0.0.1:" << port << "\n";
        return 1;
    }
    std::atomic<bool> done{false};
    std::thread signalWaiter([&server, &done, stopSignals] {
        int signalNumber = 0;
        sigwait(&stopSignals, &signalNumber);
        // A signal that comes before the server runs would be lost on a single Stop().
        while (!done) {
            server.Stop();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    std::cout << "Listening on http://127.0.0.1:" << bound << std::endl;
    bool served = server.Serve();
    done = true;
    // Serving ended without a signal (an error): release the signal thread.
    if (!served)
        kill(getpid(), SIGTERM);
    signalWaiter.join();
    return served ? 0 : 1;
}
