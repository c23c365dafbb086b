#include "support/SandboxProcess.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <sstream>

#include "gateway/FormCodec.h"
#include "support/Tools.h"
#include "support/Waits.h"

namespace quillon::test {

namespace {

size_t AppendBody(char* data, size_t size, size_t count, void* user) {
    auto* body = static_cast<std::string*>(user);
    body->append(data, size * count);
    return size * count;
}

// POST with a bounded timeout; the body, and the HTTP status (0 when the request failed).
std::string Post(const std::string& url, const std::string& form, long* status) {
    std::string body;
    *status = 0;
    CURL* curl = curl_easy_init();
    if (!curl)
        return body;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, form.c_str());
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, 5000L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, 20000L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, AppendBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    if (curl_easy_perform(curl) == CURLE_OK)
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, status);
    curl_easy_cleanup(curl);
    return body;
}

}  // namespace

std::string ReceivedRequest::Param(const std::string& name) const {
    auto it = params.find(name);
    return it == params.end() ? std::string() : it->second;
}

SandboxProcess::~SandboxProcess() {
    Stop();
}

bool SandboxProcess::Start(const std::vector<std::string>& extraArgs) {
    Stop();
    lastError_.clear();
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        lastError_ = "pipe failed";
        return false;
    }
    std::vector<std::string> args = {QUILLON_SANDBOX_EXE, "--port", "0"};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        lastError_ = "fork failed";
        return false;
    }
    if (pid == 0) {
        // The sandbox must not outlive a test that dies.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        dup2(fds[1], STDOUT_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    pid_ = pid;

    // The sandbox's first line on stdout names the address it listens on.
    std::string line;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    bool gotLine = false;
    while (!gotLine && std::chrono::steady_clock::now() < deadline) {
        pollfd p{fds[0], POLLIN, 0};
        if (poll(&p, 1, 200) <= 0)
            continue;
        char c;
        ssize_t n = read(fds[0], &c, 1);
        if (n <= 0)
            break;
        if (c == '\n') {
            gotLine = true;
        } else if (line.size() < 512) {
            line += c;
        }
    }
    close(fds[0]);
    auto colon = line.rfind(':');
    if (gotLine && colon != std::string::npos)
        port_ = atoi(line.c_str() + colon + 1);
    if (port_ <= 0) {
        lastError_ = "the sandbox did not report its port: \"" + line + "\"";
        Stop();
        return false;
    }
    // It listens once it has reported; make sure it answers before handing it over.
    const bool answers = WaitUntil([this] {
        long status = 0;
        Post(BaseUrl() + "control/health", "", &status);
        return status == 200;
    });
    if (answers)
        return true;
    lastError_ = "the sandbox did not answer on port " + std::to_string(port_);
    Stop();
    return false;
}

void SandboxProcess::Stop() {
    if (pid_ <= 0)
        return;
    exitCode_ = StopChild(pid_);
    pid_ = -1;
    port_ = 0;
}

std::string SandboxProcess::BaseUrl() const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/";
}

std::vector<std::string> SandboxProcess::Listing(const std::string& name) {
    return ListingLines(Control(name, {}));
}

std::vector<std::string> SandboxProcess::ListingLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line))
        if (!line.empty())
            lines.push_back(line);
    return lines;
}

std::string SandboxProcess::Control(const std::string& name, const std::map<std::string, std::string>& params,
                                    bool* ok) {
    long status = 0;
    std::string body = Post(BaseUrl() + "control/" + name, FormEncode(params), &status);
    if (ok)
        *ok = status == 200 && body.rfind("OK", 0) == 0;
    return body;
}

std::string SandboxProcess::Request(const std::string& endpoint, const std::map<std::string, std::string>& params,
                                    long* httpStatus) {
    long status = 0;
    std::string body = Post(BaseUrl() + endpoint, FormEncode(params), &status);
    if (httpStatus)
        *httpStatus = status;
    return body;
}

std::vector<ReceivedRequest> SandboxProcess::Received(const std::string& endpoint) {
    std::vector<ReceivedRequest> out;
    std::map<std::string, std::string> params;
    if (!endpoint.empty())
        params["endpoint"] = endpoint;
    bool ok = false;
    std::string body = Control("received", params, &ok);
    if (!ok)
        return out;
    // "OK: <n>" and then one line per request: "<endpoint> <form-encoded parameters>".
    std::istringstream lines(body);
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line)) {
        if (line.empty())
            continue;
        ReceivedRequest r;
        auto space = line.find(' ');
        r.endpoint = line.substr(0, space);
        std::string form = space == std::string::npos ? std::string() : line.substr(space + 1);
        ForEachFormPair(form, [&r](const std::string& key, const std::string& value) { r.params[key] = value; });
        out.push_back(std::move(r));
    }
    return out;
}

bool SandboxProcess::ControlOk(const std::string& name, const std::map<std::string, std::string>& params) {
    bool ok = false;
    Control(name, params, &ok);
    return ok;
}

bool SandboxProcess::AdvanceClock(int seconds) {
    return ControlOk("clock", {{"advance", std::to_string(seconds)}});
}

bool SandboxProcess::InjectFault(const std::string& kind, int count, int value, const std::string& endpoint) {
    std::map<std::string, std::string> params = {{"kind", kind}, {"count", std::to_string(count)}};
    if (value != 0)
        params["value"] = std::to_string(value);
    if (!endpoint.empty())
        params["endpoint"] = endpoint;
    return ControlOk("fault", params);
}

bool SandboxProcess::Reset() {
    return ControlOk("reset", {});
}

bool SandboxProcess::SetCredit(const std::string& user, double credit) {
    std::ostringstream text;
    text << credit;
    return ControlOk("credit", {{"user", user}, {"credit", text.str()}});
}

}  // namespace quillon::test
