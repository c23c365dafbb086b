// SendMsg round trips to the sandbox gateway on loopback: through the gateway component (the
// late-bound binding, its lock and the smsERROR read the send engine makes after every call)
// against plain libcurl requests of the same shape to the same server in the same run.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "core/AppSettings.h"
#include "core/TestSeams.h"
#include "gateway/GatewayApi.h"
#include "support/SandboxProcess.h"
#include "support/TempDir.h"

namespace quillon {
namespace {

// One sandbox for the whole run, with an account rich enough for every iteration.
struct Sandbox {
    test::TempDir dir;
    test::SandboxProcess process;
    bool ok = false;
    Sandbox() {
        test::WriteFile(dir.File("bench.conf"), "account bench bench 100000000\n");
        ok = process.Start({"--config", dir.File("bench.conf")});
        if (!ok)
            std::fprintf(stderr, "sandbox: %s\n", process.LastError().c_str());
    }
};

Sandbox* theSandbox = nullptr;

const char* const kText = "Benchmark message: the quick brown fox jumps over the lazy dog";
const char* const kNumber = "+447700900123";

void BM_SendMsgThroughComponent(benchmark::State& state) {
    if (!theSandbox || !theSandbox->ok) {
        state.SkipWithError("no sandbox");
        return;
    }
    Settings().COMBaseURL = theSandbox->process.BaseUrl();
    TestSeams::ResetGatewayInstance();
    GatewayHandle api = GatewayApi::Instance();
    if (!api) {
        state.SkipWithError("the gateway component could not be created");
        return;
    }
    std::string reply;
    int32_t error = -1;
    api->AuthenticateClient("QLNX", "bench", "bench", reply);
    if (api->Get_smsERROR(error) < 0 || error != 0) {
        state.SkipWithError("login failed");
        return;
    }
    api->Put_smsCONCAT(0);
    api->Put_smsMSG_TYPE(0);
    api->Put_smsFROM("");
    api->Put_smsUNICODE(false);
    api->Put_smsDELIVERY_ACK(false);
    api->Put_smsDELIVERY_TIME(0);
    for (auto _ : state) {
        auto guard = api->Guard();
        int32_t status = api->SendMsg(true, kText, kNumber, reply);
        api->Get_smsERROR(error);
        if (status < 0 || error != 0 || reply.compare(0, 4, "ID: ") != 0) {
            state.SkipWithError(("SendMsg failed: " + reply).c_str());
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
    api.reset();
    TestSeams::ResetGatewayInstance();
}

size_t Collect(char* data, size_t size, size_t count, void* out) {
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}

// One kept-alive connection, form-encoded POSTs, as the component makes them.
struct RawClient {
    CURL* curl = curl_easy_init();
    std::string base;
    ~RawClient() { curl_easy_cleanup(curl); }

    bool Post(const std::string& endpoint, const std::string& form, std::string& body) {
        body.clear();
        std::string url = base + endpoint;
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, form.c_str());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(form.size()));
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, 30000L);
        long http = 0;
        return curl_easy_perform(curl) == CURLE_OK &&
               curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &http) == CURLE_OK && http == 200;
    }
    std::string Escape(const std::string& text) {
        char* e = curl_easy_escape(curl, text.c_str(), static_cast<int>(text.size()));
        std::string out = e ? e : "";
        curl_free(e);
        return out;
    }
};

void BM_SendMsgRawCurl(benchmark::State& state) {
    if (!theSandbox || !theSandbox->ok) {
        state.SkipWithError("no sandbox");
        return;
    }
    RawClient client;
    client.base = theSandbox->process.BaseUrl();
    std::string body;
    if (!client.Post("auth", "client_id=QLNX&user=bench&password=bench", body) || body.compare(0, 4, "OK: ") != 0) {
        state.SkipWithError(("login failed: " + body).c_str());
        return;
    }
    const std::string session = body.substr(4, 32);
    const std::string form =
        "session=" + session +
        "&from=&concat=0&msg_type=0&unicode=0&delivery_ack=0&delivery_time=0&to=" + client.Escape(kNumber) +
        "&text=" + client.Escape(kText);
    for (auto _ : state) {
        if (!client.Post("sendmsg", form, body) || body.compare(0, 4, "ID: ") != 0) {
            state.SkipWithError(("sendmsg failed: " + body).c_str());
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_SendMsgThroughComponent)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_SendMsgRawCurl)->UseRealTime()->MinTime(2.0);

}  // namespace
}  // namespace quillon

int main(int argc, char** argv) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    {
        quillon::Sandbox sandbox;
        quillon::theSandbox = &sandbox;
        benchmark::RunSpecifiedBenchmarks();
        quillon::theSandbox = nullptr;
    }
    benchmark::Shutdown();
    curl_global_cleanup();
    return 0;
}
