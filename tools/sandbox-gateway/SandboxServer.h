// The sandbox gateway's HTTP side: protocol endpoints, test control endpoints and injected faults,
// on a multi-threaded server bound to 127.0.0.1.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "SandboxGateway.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace quillon::sandbox {

class SandboxServer {
public:
    explicit SandboxServer(SandboxConfig config);
    ~SandboxServer();

    // Binds 127.0.0.1:port (0 = a free port); the bound port, or -1.
    int Bind(int port);
    // Serves until Stop(); false when serving failed.
    bool Serve();
    // Safe from any thread; wakes delayed requests.
    void Stop();

private:
    struct Fault {
        std::string kind;      // drop, delay, status, garbage, oversize
        std::string endpoint;  // empty: any protocol request
        int remaining = 0;
        int value = 0;
    };
    void ConfigureServer(const SandboxConfig& config);
    void HandleControl(const httplib::Request& req, httplib::Response& res);
    void ArmFault(const Params& params, httplib::Response& res);
    void HandleProtocol(const httplib::Request& req, httplib::Response& res);
    void HandleFile(const httplib::Request& req, httplib::Response& res);
    // Answers in place of the gateway when a fault says so; false when the gateway should answer.
    bool AnswerWithFault(const Fault& fault, httplib::Response& res);
    // Takes one matching fault off the list; false when none applies.
    bool TakeFault(const std::string& endpoint, Fault& out);
    // Waits up to `ms` or until the server stops.
    void Pause(int ms);

    SandboxGateway gateway_;
    std::unique_ptr<httplib::Server> server_;
    std::mutex lock_;
    std::condition_variable stopped_;
    bool stopping_ = false;
    bool verbose_ = false;  // QUILLON_SANDBOX_VERBOSE: every request and reply on stderr
    std::vector<Fault> faults_;
    std::vector<SandboxFile> files_;
};

}  // namespace quillon::sandbox
