// Runs the sandbox gateway (quillon-sandbox-gateway) as a child process for one test: it listens on
// 127.0.0.1 on a port it picks itself, and is stopped by its PID when the object goes away.
// The helpers drive the sandbox's test control endpoints.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace quillon::test {

// One request the sandbox received on its gateway protocol, in arrival order.
struct ReceivedRequest {
    std::string endpoint;                       // "auth", "sendmsg", "startbatch", "quicksend", ...
    std::map<std::string, std::string> params;  // form parameters, decoded

    // The parameter's value, or "" when the request did not carry it.
    std::string Param(const std::string& name) const;
};

class SandboxProcess {
public:
    SandboxProcess() = default;
    ~SandboxProcess();
    SandboxProcess(const SandboxProcess&) = delete;
    SandboxProcess& operator=(const SandboxProcess&) = delete;

    // Starts the sandbox with the given extra command-line options (for instance
    // {"--config", path} or {"--timeline", "5,10,20"}) and waits, bounded, until it answers.
    // The sandbox is sent SIGTERM when the thread that started it ends, so a crashed test leaves
    // none behind: start it from the test's own thread, not from a short-lived helper thread.
    // False when it could not be started; the reason is in LastError().
    bool Start(const std::vector<std::string>& extraArgs = {});
    // Stops the sandbox (SIGTERM, then SIGKILL after a bounded wait) and reaps it.
    void Stop();

    bool IsRunning() const { return pid_ > 0; }
    int Port() const { return port_; }
    // "http://127.0.0.1:PORT/": the base URL the component is pointed at.
    std::string BaseUrl() const;
    const std::string& LastError() const { return lastError_; }
    // How the last stopped sandbox ended: its exit code, 128 + the signal that killed it, or -1.
    int ExitCode() const { return exitCode_; }

    // Every gateway request received since start or the last Reset(), in order; with an endpoint
    // name only the requests to that endpoint.
    std::vector<ReceivedRequest> Received(const std::string& endpoint = "");
    // Moves the sandbox clock forward (message timelines, deferred delivery, session expiry).
    bool AdvanceClock(int seconds);
    // Makes the next `count` gateway requests (to `endpoint` only, when given) fail:
    // kind "drop" (connection closed after the headers, before the reply's body), "delay" (answered after `value` ms),
    // "status" (HTTP status `value`; 500 by default), "garbage" (a reply
    // of none of the protocol's shapes), "oversize" (a 2 MiB reply).
    bool InjectFault(const std::string& kind, int count, int value = 0, const std::string& endpoint = "");
    // Back to the configured accounts and vouchers, no messages, sessions, faults or history,
    // and the clock at real time.
    bool Reset();
    // Sets an account's credit (in credits, e.g. 0.5).
    bool SetCredit(const std::string& user, double credit);
    // Raw control call: POST to /control/<name> with form parameters; the reply body, and
    // `ok` false when the request failed or did not answer "OK".
    std::string Control(const std::string& name, const std::map<std::string, std::string>& params, bool* ok = nullptr);
    // The lines of a control listing (messages, references, ...) after its "OK: n" line.
    std::vector<std::string> Listing(const std::string& name);
    static std::vector<std::string> ListingLines(const std::string& text);

    // A plain protocol request (POST to BaseUrl()+endpoint) for tests of the server itself.
    // Returns the reply body; `httpStatus` receives the HTTP status (0 when there was none).
    std::string Request(const std::string& endpoint, const std::map<std::string, std::string>& params,
                        long* httpStatus = nullptr);

private:
    bool ControlOk(const std::string& name, const std::map<std::string, std::string>& params);

    pid_t pid_ = -1;
    int port_ = 0;
    int exitCode_ = -1;
    std::string lastError_;
};

}  // namespace quillon::test
