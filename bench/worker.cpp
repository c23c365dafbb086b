// The comms worker's engines against the sandbox gateway on loopback, each beside the raw component
// calls it makes, measured in the same run against the same server, so that the engines' own cost
// (store reads and durable writes, parsing, recipient expansion) shows as a ratio of the two rates.
//
//   BM_SendSingles     10,000 pending single-recipient messages, one send pass between two halves of
//                      the raw calls; references:1 against a gateway that honours client references
//                      (results committed in groups; the raw calls carry a reference too),
//                      references:0 against one that does not (one commit per message)
//   BM_SendBatch       one message to 10,000 recipients (server batch, chunks of 43 numbers)
//   BM_StatusPass      a status pass over 10,000 due rows
//
// QUILLON_BENCH_COUNT overrides the 10,000 (for a quick look).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "core/AppSettings.h"
#include "core/TestSeams.h"
#include "gateway/CommsWorker.h"
#include "gateway/GatewayApi.h"
#include "gateway/SendEngine.h"
#include "gateway/Session.h"
#include "gateway/StatusQueryEngine.h"
#include "store/MessageStore.h"
#include "support/SandboxProcess.h"
#include "support/TempDir.h"

namespace quillon {
namespace {

using Clock = std::chrono::steady_clock;

int Count() {
    const char* text = std::getenv("QUILLON_BENCH_COUNT");
    int n = text ? std::atoi(text) : 0;
    return n > 0 ? n : 10000;
}

// Distinct 11-digit numbers whose last four digits stay below 9000: the sandbox fails numbers
// ending in 999x on purpose.
std::string Number(int i) {
    return std::to_string(44700000000LL + (i / 9000) * 10000LL + i % 9000);
}

// The first row that did not get through, for the error text.
std::string LastFailed(MessageStore& store) {
    SmsSelection failed;
    failed.stats = {StatusCode(MessageStatus::Failed)};
    auto rows = store.Outbox().SelectSms(failed);
    return rows.empty() ? std::string() : "; failed: " + rows.front().To;
}

// CPU time of the calling thread: the send pass runs on it, so this is the engine's own work
// (the gateway's is in the sandbox process), and it is far steadier on a loaded machine than
// the wall clock.
double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// A store in a fresh directory, the sandbox on a free port with credit enough, a session.
class Bench {
public:
    bool Start(benchmark::State& state, bool references = true) {
        std::vector<std::string> args = {"--session-idle", "100000000"};
        if (!references)
            args.insert(args.end(), {"--references", "0"});
        if (!sandbox.Start(args)) {
            state.SkipWithError(("sandbox: " + sandbox.LastError()).c_str());
            return false;
        }
        if (!sandbox.SetCredit("demo", 100000)) {
            state.SkipWithError("sandbox: the credit could not be set");
            return false;
        }
        store = std::make_unique<MessageStore>(dir.Path());
        Settings().COMBaseURL = sandbox.BaseUrl();
        Settings().WriteLog = false;
        TestSeams::ResetGatewayInstance();
        gateway = GatewayApi::Instance();
        SetOnLine(true);
        if (!gateway || !LogInToGateway("demo", "demo")) {
            state.SkipWithError("no gateway session");
            return false;
        }
        WorkerOptions options;
        options.clock = [this] { return now; };
        worker = std::make_unique<CommsWorker>(store.get(), gateway, nullptr, options);
        return true;
    }
    ~Bench() {
        worker.reset();
        gateway.reset();
        TestSeams::ResetGatewayInstance();
        sandbox.Stop();
        SetOnLine(false);
    }

    // SendMsg and the smsERROR read, as the engine makes them for one recipient; under a client
    // reference when `ref` is not empty, as the engine sends to a gateway that honours them.
    bool RawSend(const std::string& number, std::string& reply, const std::string& ref = std::string()) {
        auto guard = gateway->Guard();
        int32_t error = -1;
        if (!ref.empty())
            gateway->Put_smsCLIENT_REF(ref);
        return gateway->SendMsg(true, "Benchmark", number, reply) >= 0 && gateway->Get_smsERROR(error) >= 0 &&
               error == 0;
    }

    test::TempDir dir;
    test::SandboxProcess sandbox;
    std::unique_ptr<MessageStore> store;
    GatewayHandle gateway;
    std::unique_ptr<CommsWorker> worker;
    int64_t now = static_cast<int64_t>(std::time(nullptr));
};

void Report(benchmark::State& state, int items, double engineSeconds, double rawSeconds) {
    state.SetIterationTime(engineSeconds);
    state.counters["engine_per_s"] = items / engineSeconds;
    state.counters["raw_per_s"] = items / rawSeconds;
    state.counters["ratio"] = rawSeconds / engineSeconds;
}

// Half the raw calls go before the engine's pass and half after it, so that a change in the load of a
// shared machine meets both alike.
void BM_SendSingles(benchmark::State& state) {
    const int n = Count();
    const bool references = state.range(0) != 0;
    for (auto _ : state) {
        Bench b;
        if (!b.Start(state, references))
            return;
        {
            StoreTransaction batch(*b.store);
            for (int i = 0; i < n; ++i)
                b.store->Outbox().AddSms(0, 0, 0, 0, Number(i), "Benchmark", "", 0, "?");
        }
        std::string reply;
        int ok = 0;
        double rawSeconds = 0, rawCpu = 0, rawBeforeSeconds = 0;
        // With references the raw calls carry one too, so that both ask the gateway the same.
        auto rawCalls = [&](int from, int to) {
            auto t0 = Clock::now();
            const double cpu0 = ThreadCpuSeconds();
            for (int i = from; i < to; ++i)
                ok += b.RawSend(Number(n + i), reply, references ? "raw-" + std::to_string(i) : std::string());
            rawSeconds += Seconds(t0, Clock::now());
            rawCpu += ThreadCpuSeconds() - cpu0;
        };
        rawCalls(0, n / 2);
        rawBeforeSeconds = rawSeconds;
        auto t1 = Clock::now();
        const double cpu1 = ThreadCpuSeconds();
        b.worker->SendQueuedSMSs(-1);
        const double engineSeconds = Seconds(t1, Clock::now());
        const double engineCpu = ThreadCpuSeconds() - cpu1;
        rawCalls(n / 2, n);
        SmsSelection sent;
        sent.stats = {StatusCode(MessageStatus::Unknown)};
        const int accepted = static_cast<int>(b.store->Outbox().SelectSms(sent).size());
        if (ok != n || accepted != n) {
            const std::string why = "not every message was accepted: raw " + std::to_string(ok) + ", engine " +
                                    std::to_string(accepted) + " of " + std::to_string(n) + LastFailed(*b.store);
            state.SkipWithError(why.c_str());
            return;
        }
        Report(state, n, engineSeconds, rawSeconds);
        // The two halves apart, to show how far the load moved during the run.
        state.counters["raw_before_per_s"] = (n / 2) / rawBeforeSeconds;
        state.counters["raw_after_per_s"] = (n - n / 2) / (rawSeconds - rawBeforeSeconds);
        state.counters["engine_cpu_us"] = engineCpu / n * 1e6;
        state.counters["raw_cpu_us"] = rawCpu / n * 1e6;
    }
}

void BM_SendBatch(benchmark::State& state) {
    const int n = Count();
    for (auto _ : state) {
        Bench b;
        if (!b.Start(state))
            return;
        std::string to;
        std::vector<std::string> numbers;
        for (int i = 0; i < n; ++i) {
            numbers.push_back(Number(i));
            to += "," + numbers.back();
        }
        const int32_t id = b.store->Outbox().AddSms(0, 0, 0, 0, to, "Benchmark", "", 0, "?");

        // The raw calls: the batch start, the same chunks, the end.
        auto t0 = Clock::now();
        std::string reply;
        {
            auto guard = b.gateway->Guard();
            b.gateway->StartBatch("Benchmark", reply);
        }
        size_t at = 0;
        for (size_t size : BatchChunkSizes(numbers)) {
            std::string chunk;
            for (size_t k = 0; k < size; ++k)
                chunk += (k ? "," : "") + numbers[at + k];
            at += size;
            auto guard = b.gateway->Guard();
            b.gateway->QuickBatchSend(chunk, reply);
        }
        {
            auto guard = b.gateway->Guard();
            b.gateway->EndBatch(reply);
        }
        auto t1 = Clock::now();
        b.worker->SendQueuedSMSs(id);
        auto t2 = Clock::now();
        SmsSelection children;
        children.stats = {StatusCode(MessageStatus::Unknown)};
        if (static_cast<int>(b.store->Outbox().SelectSms(children).size()) != n) {
            state.SkipWithError("not every recipient was accepted");
            return;
        }
        Report(state, n, Seconds(t1, t2), Seconds(t0, t1));
    }
}

void BM_StatusPass(benchmark::State& state) {
    const int n = Count();
    for (auto _ : state) {
        Bench b;
        if (!b.Start(state))
            return;
        // n rows with an identifier each, made quickly as the children of one batch.
        std::string to;
        for (int i = 0; i < n; ++i)
            to += "," + Number(i);
        const int32_t id = b.store->Outbox().AddSms(0, 0, 0, 0, to, "Benchmark", "", 0, "?");
        b.worker->SendQueuedSMSs(id);
        SmsSelection rows;
        rows.stats = {StatusCode(MessageStatus::Unknown)};
        std::vector<std::string> ids;
        for (const SmsRecord& r : b.store->Outbox().SelectSms(rows))
            ids.push_back(SplitApiMsgID(r.ApiMsgID).front().id);
        if (static_cast<int>(ids.size()) != n) {
            state.SkipWithError("the rows to poll could not be made");
            return;
        }
        b.now += 60;  // every row is due

        auto t0 = Clock::now();
        std::string reply;
        for (const std::string& messageId : ids) {
            auto guard = b.gateway->Guard();
            int32_t error = 0;
            b.gateway->GetMsgCharge(true, messageId, reply);
            b.gateway->Get_smsERROR(error);
        }
        auto t1 = Clock::now();
        b.worker->QueryMessageStatus(-1);
        auto t2 = Clock::now();
        SmsSelection polled;
        polled.minQueryTime = 300;
        polled.maxQueryTime = 300;
        if (static_cast<int>(b.store->Outbox().SelectSms(polled).size()) != n) {
            state.SkipWithError("not every row was polled");
            return;
        }
        Report(state, n, Seconds(t1, t2), Seconds(t0, t1));
    }
}

BENCHMARK(BM_SendSingles)
    ->ArgName("references")
    ->Arg(1)
    ->Arg(0)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);
BENCHMARK(BM_SendBatch)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_StatusPass)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
}  // namespace quillon

BENCHMARK_MAIN();
