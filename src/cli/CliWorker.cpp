// quillon-cli send, worker, outbox query, outbox cancel: the comms worker driven from a terminal.
#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "cli/CliCommand.h"
#include "cli/CliMessageSink.h"
#include "core/AppSettings.h"
#include "core/DataDirLock.h"
#include "gateway/CommsWorker.h"
#include "gateway/GatewayApi.h"
#include "gateway/Session.h"
#include "gateway/StatusQueryEngine.h"
#include "store/MessageStatus.h"
#include "store/MessageStore.h"
#include "store/StoreCheck.h"

namespace quillon::cli {

namespace {

const char* const kAccountOptions =
    "  --url URL          the gateway's base URL for this run (default: the COMBaseURL setting)\n"
    "  --user NAME        account name (default: the stored Login)\n"
    "  --password PW      password (default: the stored Password)\n"
    "  --client-id ID     client identifier (default: the stored client_id)\n";

const std::string kSendHelp = std::string(
                                  "usage: quillon-cli send --to LIST --text TEXT [--type N] [--timeout S] [--poll S]\n"
                                  "\n"
                                  "Stores a message in the outbox as the compose window does (sender id from the\n"
                                  "sender_id setting, charge \"?\"), hands it to the comms worker and follows it and\n"
                                  "the rows it is split into until none is in a state that is still polled, printing\n"
                                  "every change of state. LIST is a recipient list: numbers, or A<contact id>,\n"
                                  "separated by commas.\n"
                                  "\n"
                                  "Options:\n"
                                  "  --type N           message kind (0 text, 1 flash, 2 unicode, ...; default 0)\n"
                                  "  --timeout S        give up after S seconds (default 600); exit 1\n"
                                  "  --poll S           ask for the state every S seconds (default 5)\n") +
                              kAccountOptions +
                              "\n"
                              "Exit 0 when every row reached a final state, 1 otherwise.\n";

const std::string kWorkerHelp = std::string(
                                    "usage: quillon-cli worker [--until-idle] [--cycles N] [--interval S]\n"
                                    "\n"
                                    "Runs the comms worker's cycle headless against the configured gateway: promote\n"
                                    "due scheduled messages, send what is pending, poll the states that are due and,\n"
                                    "every fourth cycle, check the session. One line per cycle. Without options it\n"
                                    "runs until SIGINT or SIGTERM, which end it after the message in hand.\n"
                                    "\n"
                                    "Options:\n"
                                    "  --until-idle       stop after a cycle that leaves nothing pending and no\n"
                                    "                     state query due (for a timer that serves the outbox)\n"
                                    "  --cycles N         run at most N cycles\n"
                                    "  --interval S       seconds between cycles (default 60)\n") +
                                kAccountOptions;

const char* const kQueryUsage =
    "  query ID...        asks the gateway for the state and charge of these messages now (their\n"
    "                     polling schedule stays); prints each row afterwards\n";
const char* const kCancelUsage =
    "  cancel ID...       withdraws these messages from the gateway and deletes them from the\n"
    "                     outbox; refused ones are queried; exit 1 when any was refused\n";

// Logs in with the stored or given account and goes on line; false (with a message) on failure.
bool GoOnLine(std::vector<std::string>& args, int& rc) {
    std::string url, clientId;
    const bool hasUrl = TakeOption(args, "--url", url);
    std::string user = Settings().Login, password = Settings().Password;
    TakeOption(args, "--user", user);
    TakeOption(args, "--password", password);
    if (TakeOption(args, "--client-id", clientId))
        Settings().client_id = clientId;
    if (hasUrl)
        Settings().COMBaseURL = url;
    GatewayHandle gateway = GatewayApi::Instance();
    if (!gateway) {
        rc = Failure("the gateway component could not be created");
        return false;
    }
    if (hasUrl) {
        std::string reply;
        gateway->SetBaseURL(url, reply);
    }
    ApplyProxySettings(false);
    SetOnLine(true);
    if (!LogInToGateway(user, password)) {
        SetOnLine(false);
        rc = Failure("login failed");
        return false;
    }
    return true;
}

std::string Describe(const SmsRecord& r) {
    return std::to_string(r.ID) + "\t" + StatusDisplayName(r.Stat) + " (" + std::to_string(r.Stat) + ")\t" + r.To +
           "\tcharge " + r.Charge;
}

bool IsPolled(const SmsRecord& r) {
    const auto& polled = StatusQueryEngine::PolledStatuses();
    return r.QueryTime > 0 && std::find(polled.begin(), polled.end(), r.Stat) != polled.end();
}

// Whether the engines will still do something with the row of their own accord.
bool IsUnsettled(const SmsRecord& r) {
    return r.Stat == StatusCode(MessageStatus::Pending) || r.Stat == StatusCode(MessageStatus::Processing) ||
           IsPolled(r);
}

bool ParseIds(const std::vector<std::string>& args, std::vector<int32_t>& ids, int& rc) {
    for (const std::string& a : args) {
        long long n = 0;
        if (!ParseInt(a, n) || n <= 0 || n > INT32_MAX) {
            rc = UsageError("not a message ID: " + a);
            return false;
        }
        ids.push_back(static_cast<int32_t>(n));
    }
    if (ids.empty()) {
        rc = UsageError("give at least one message ID");
        return false;
    }
    return true;
}

// The worker of a command-line run: the process's gateway; what the desktop would show in a box
// goes to standard error.
CommsWorker HeadlessWorker(CliContext& context) {
    return CommsWorker(context.store, GatewayApi::Instance(), &TheCliMessageSink());
}

// GoOnLine, then nothing may be left of the arguments: kOk, or the code to return.
int GoOnLineWithNothingElse(std::vector<std::string>& args) {
    int rc = kOk;
    if (!GoOnLine(args, rc))
        return rc;
    if (!args.empty())
        return UsageError("unexpected argument: " + args.front());
    return kOk;
}

// GoOnLine, then the message IDs: kOk, or the code to return.
int GoOnLineWithIds(std::vector<std::string>& args, std::vector<int32_t>& ids) {
    int rc = kOk;
    if (!GoOnLine(args, rc) || !ParseIds(args, ids, rc))
        return rc;
    return kOk;
}

// Only one program at a time sends from a data directory, and never from a damaged store: kOk
// holding `lock`, or the failure (damage is reported by the caller).
int PrepareToSend(const CliContext& context, const std::string& program, DataDirLock& lock) {
    if (!lock.Acquire(context.dataDir, program))
        return Failure(lock.InUseText(context.dataDir));
    const std::string reason = CheckDatabaseFile(context.store->Path(), true);
    if (!reason.empty()) {
        context.store->Database().MarkDamaged(reason);
        return kFailure;
    }
    return kOk;
}

// ---- send ----

int Send(CliContext& context, std::vector<std::string>& args) {
    DataDirLock sender;
    if (int rc = PrepareToSend(context, "quillon-cli send", sender); rc != kOk)
        return rc;
    std::string to, text;
    if (!TakeOption(args, "--to", to) || to.empty())
        return UsageError("send needs --to LIST");
    if (!TakeOption(args, "--text", text))
        return UsageError("send needs --text TEXT");
    long long type = 0, timeout = 600, poll = 5;
    if (!TakeNumberOption(args, "--type", 0, 8, type))
        return UsageError("--type takes a message kind 0 to 8");
    if (!TakeNumberOption(args, "--timeout", 1, LLONG_MAX, timeout))
        return UsageError("--timeout takes a number of seconds");
    if (!TakeNumberOption(args, "--poll", 1, LLONG_MAX, poll))
        return UsageError("--poll takes a number of seconds");
    if (int rc = GoOnLineWithNothingElse(args); rc != kOk)
        return rc;
    CommsWorker worker = HeadlessWorker(context);
    MessageStore* store = context.store;
    if (!worker.Start())
        return Failure("the worker thread could not be started");
    const int32_t id = worker.StoreAndSend(0, 0, static_cast<int32_t>(type), 0, to, text, 0);
    if (id <= 0)
        return Failure("the message could not be stored");
    std::cout << "stored message " << id << "\n";

    std::map<int32_t, int32_t> shown;  // ID -> Stat last printed
    const auto start = std::chrono::steady_clock::now();
    auto lastQuery = start;
    bool settled = false;
    while (!settled) {
        std::vector<SmsRecord> family;
        SmsSelection selection;
        for (const SmsRecord& r : store->Outbox().SelectSms(selection))
            if (r.ID == id || r.RefID == id)
                family.push_back(r);
        settled = !family.empty();
        IdList polled;
        for (const SmsRecord& r : family) {
            auto it = shown.find(r.ID);
            if (it == shown.end() || it->second != r.Stat) {
                std::cout << Describe(r) << std::endl;
                shown[r.ID] = r.Stat;
            }
            if (IsUnsettled(r))
                settled = false;
            if (IsPolled(r))
                polled.ids.push_back(r.ID);
        }
        if (settled)
            break;
        const auto now = std::chrono::steady_clock::now();
        if (now - start >= std::chrono::seconds(timeout))
            break;
        if (!polled.ids.empty() && now - lastQuery >= std::chrono::seconds(poll)) {
            worker.PostQueryList(polled);
            lastQuery = now;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    worker.RequestStop();
    worker.WaitForExit();
    if (!settled)
        return Failure("gave up after " + std::to_string(timeout) + " s; rows are still being handled");
    return kOk;
}

// ---- worker ----

std::mutex g_stopLock;
std::condition_variable g_stopSignal;
std::atomic<bool> g_stop{false};

int RunWorker(CliContext& context, std::vector<std::string>& args) {
    DataDirLock sender;
    if (int rc = PrepareToSend(context, "quillon-cli worker", sender); rc != kOk)
        return rc;
    const bool untilIdle = TakeFlag(args, "--until-idle");
    long long cycles = -1, interval = 60;
    if (!TakeNumberOption(args, "--cycles", 1, LLONG_MAX, cycles))
        return UsageError("--cycles takes a positive number");
    if (!TakeNumberOption(args, "--interval", 0, LLONG_MAX, interval))
        return UsageError("--interval takes a number of seconds");
    if (int rc = GoOnLineWithNothingElse(args); rc != kOk)
        return rc;
    CommsWorker worker = HeadlessWorker(context);
    MessageStore* store = context.store;
    // SIGINT and SIGTERM end the run after the message in hand: a thread waits for them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGUSR2);  // sent by this run itself when it ends on its own
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::thread signalWaiter([&worker, stopSignals] {
        int signalNumber = 0;
        sigwait(&stopSignals, &signalNumber);
        if (signalNumber == SIGUSR2)
            return;  // the run ended by itself
        worker.RequestStop();
        std::lock_guard<std::mutex> guard(g_stopLock);
        g_stop = true;
        g_stopSignal.notify_all();
    });

    long long done = 0;
    for (;;) {
        worker.RunCycle();
        ++done;
        const int64_t now = worker.Now();
        int pending = 0, due = 0, polled = 0;
        for (const SmsRecord& r : store->Outbox().LoadAllSms()) {
            if (r.Stat == StatusCode(MessageStatus::Pending))
                ++pending;
            if (IsPolled(r)) {
                ++polled;
                if (r.StatQryTm <= now)
                    ++due;
            }
        }
        std::cout << "cycle " << done << ": " << pending << " pending, " << polled << " polled (" << due << " due)"
                  << (IsOnLine() ? "" : ", off line") << std::endl;
        if (g_stop || (cycles > 0 && done >= cycles) || (untilIdle && pending == 0 && due == 0) || !IsOnLine())
            break;
        std::unique_lock<std::mutex> guard(g_stopLock);
        if (g_stopSignal.wait_for(guard, std::chrono::seconds(interval), [] { return g_stop.load(); }))
            break;
    }
    if (!g_stop) {
        // Release the waiting thread: SIGUSR2 is in no other use here.
        pthread_kill(signalWaiter.native_handle(), SIGUSR2);
    }
    signalWaiter.join();
    if (IsOnLine())
        return kOk;
    return TheCliMessageSink().ReportedOffLine() ? kFailure
                                                 : Failure("went off line: the session could not be renewed");
}

// ---- outbox query / cancel ----

int Query(CliContext& context, std::vector<std::string>& args) {
    std::vector<int32_t> ids;
    int rc = GoOnLineWithIds(args, ids);
    if (rc != kOk)
        return rc;
    MessageStore* store = context.store;
    CommsWorker worker = HeadlessWorker(context);
    worker.RunRequest(WorkerRequest{RequestKind::QueryList, -1, IdList{false, ids}});
    for (int32_t id : ids) {
        SmsRecord r;
        if (store->Outbox().GetSms(id, r)) {
            std::cout << Describe(r) << "\n";
        } else {
            std::cout << id << "\tno such message\n";
            rc = kFailure;
        }
    }
    return rc;
}

int Cancel(CliContext& context, std::vector<std::string>& args) {
    std::vector<int32_t> ids;
    int rc = GoOnLineWithIds(args, ids);
    if (rc != kOk)
        return rc;
    CommsWorker worker = HeadlessWorker(context);
    MessageStore* store = context.store;
    std::vector<int32_t> refused;
    for (int32_t id : ids) {
        SmsRecord before;
        const bool existed = store->Outbox().GetSms(id, before);
        const bool ok = worker.DeleteSMSFromServer(id);
        SmsRecord after;
        if (!existed) {
            std::cout << id << "\tno such message\n";
        } else if (!ok) {
            std::cout << id << "\trefused by the gateway\n";
            refused.push_back(id);
        } else if (!store->Outbox().GetSms(id, after)) {
            std::cout << id << "\twithdrawn and deleted\n";
        } else {
            std::cout << id << "\tnot on the gateway: nothing to withdraw\n";
        }
    }
    if (refused.empty())
        return kOk;
    for (int32_t id : refused)
        worker.QueryMessageStatus(id);
    for (int32_t id : refused) {
        SmsRecord r;
        if (store->Outbox().GetSms(id, r))
            std::cout << Describe(r) << "\n";
    }
    return Failure("could not withdraw " + std::to_string(refused.size()) + " message(s) from the gateway");
}

CliRegistrar sendCommand({"send", "store a message and follow it through the gateway", kSendHelp, Send, true});
CliRegistrar workerCommand({"worker", "run the comms worker's cycle headless", kWorkerHelp, RunWorker, true});
CliSubcommandRegistrar querySubcommand({"outbox", "query", kQueryUsage, Query});
CliSubcommandRegistrar cancelSubcommand({"outbox", "cancel", kCancelUsage, Cancel});

}  // namespace

}  // namespace quillon::cli
