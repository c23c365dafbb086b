#include "SandboxServer.h"

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

#include "gateway/FormCodec.h"

namespace quillon::sandbox {

namespace {

// Query parameters and, for a form body, the body's parameters.
Params ReadParams(const httplib::Request& req) {
    Params params;
    for (const auto& [key, value] : req.params)
        params.emplace(key, value);
    if (!req.body.empty() && req.get_header_value("Content-Type").find("multipart") == std::string::npos) {
        ForEachFormPair(req.body, [&params](const std::string& key, const std::string& value) {
            // httplib may already have parsed the same form into req.params.
            bool seen = false;
            auto range = params.equal_range(key);
            for (auto it = range.first; it != range.second; ++it)
                seen = seen || it->second == value;
            if (!key.empty() && !seen)
                params.emplace(key, value);
        });
    }
    return params;
}

std::string Param(const Params& params, const std::string& name) {
    auto it = params.find(name);
    return it == params.end() ? std::string() : it->second;
}

void Reply(httplib::Response& res, const std::string& body) {
    res.set_content(body + "\n", "text/plain; charset=utf-8");
}

}  // namespace

SandboxServer::SandboxServer(SandboxConfig config)
    : gateway_(config), server_(std::make_unique<httplib::Server>()), files_(config.files) {
    const char* verbose = getenv("QUILLON_SANDBOX_VERBOSE");
    verbose_ = verbose && *verbose && strcmp(verbose, "0") != 0;
    ConfigureServer(config);
    auto control = [this](const httplib::Request& req, httplib::Response& res) { HandleControl(req, res); };
    server_->Get(R"(/control/([A-Za-z_]+))", control);
    server_->Post(R"(/control/([A-Za-z_]+))", control);
    server_->Get(R"(/files/(.+))",
                 [this](const httplib::Request& req, httplib::Response& res) { HandleFile(req, res); });
    auto protocol = [this](const httplib::Request& req, httplib::Response& res) { HandleProtocol(req, res); };
    server_->Get(R"(/([A-Za-z_]+))", protocol);
    server_->Post(R"(/([A-Za-z_]+))", protocol);
}

void SandboxServer::ConfigureServer(const SandboxConfig& config) {
    auto& svr = *server_;
    int threads = std::max(4, config.threads);
    svr.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
    svr.set_payload_max_length(config.maxRequestBytes);
    // Replies go out as headers and body in two writes; without this each request waits for a delayed ACK.
    svr.set_tcp_nodelay(true);
    svr.set_keep_alive_max_count(100000);
    // Short, so that a stop does not wait long for idle kept-alive connections.
    svr.set_keep_alive_timeout(1);
    svr.set_read_timeout(10, 0);
    svr.set_write_timeout(10, 0);

    // Everything the server itself refuses (unknown path, oversized request, ...) still gets a
    // reply in the protocol's shape.
    svr.set_error_handler(httplib::Server::HandlerWithResponse(
        [](const httplib::Request&, httplib::Response& res) -> httplib::Server::HandlerResponse {
            if (!res.body.empty())
                return httplib::Server::HandlerResponse::Unhandled;
            int code = res.status == 413 || res.status == 414 || res.status == 431 ? kErrTooLarge
                       : res.status == 404                                         ? kErrUnknownCommand
                                                                                   : kErrParameter;
            std::string text = code == kErrTooLarge         ? "Request too large"
                               : code == kErrUnknownCommand ? "Unknown command"
                                                            : "Bad request";
            Reply(res, ErrorReply(code, text));
            return httplib::Server::HandlerResponse::Handled;
        }));
    svr.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
        res.status = 500;
        Reply(res, ErrorReply(kErrParameter, "Bad request"));
    });
}

void SandboxServer::HandleControl(const httplib::Request& req, httplib::Response& res) {
    std::string name = req.matches[1];
    Params p = ReadParams(req);
    if (name == "health") {
        Reply(res, "OK: sandbox gateway");
    } else if (name == "reset") {
        gateway_.Reset();
        std::lock_guard<std::mutex> guard(lock_);
        faults_.clear();
        Reply(res, "OK: reset");
    } else if (name == "clock") {
        std::string text = Param(p, "advance");
        long long seconds = 0;
        try {
            seconds = text.empty() ? 0 : std::stoll(text);
        } catch (...) {
            seconds = -1;
        }
        if (seconds < 0 || seconds > 10LL * 365 * 86400) {
            Reply(res, ErrorReply(kErrParameter, "Invalid advance"));
        } else {
            Reply(res, "OK: " + std::to_string(gateway_.AdvanceClock(seconds)));
        }
    } else if (name == "fault") {
        ArmFault(p, res);
    } else if (name == "received") {
        Reply(res, gateway_.ReceivedText(Param(p, "endpoint")));
    } else if (name == "messages") {
        Reply(res, gateway_.MessagesText());
    } else if (name == "credit") {
        Millis credit = 0;
        if (!ParseCredits(Param(p, "credit"), credit) || !gateway_.SetCredit(Param(p, "user"), credit)) {
            Reply(res, ErrorReply(kErrParameter, "Invalid user or credit"));
        } else {
            Reply(res, "OK: credit set");
        }
    } else {
        res.status = 404;
        Reply(res, ErrorReply(kErrUnknownCommand, "Unknown control command"));
    }
}

void SandboxServer::ArmFault(const Params& p, httplib::Response& res) {
    Fault f;
    f.kind = Param(p, "kind");
    f.endpoint = Param(p, "endpoint");
    try {
        f.remaining = std::stoi(Param(p, "count").empty() ? "1" : Param(p, "count"));
        f.value = Param(p, "value").empty() ? 0 : std::stoi(Param(p, "value"));
    } catch (...) {
        f.remaining = -1;
    }
    static const char* kinds[] = {"drop", "delay", "status", "garbage", "oversize"};
    bool known = std::find(std::begin(kinds), std::end(kinds), f.kind) != std::end(kinds);
    if (!known || f.remaining < 1 || f.value < 0 || (f.kind == "delay" && f.value > 600000) ||
        (f.kind == "status" && f.value != 0 && (f.value < 100 || f.value > 599))) {
        Reply(res, ErrorReply(kErrParameter, "Invalid fault"));
        return;
    }
    if (f.kind == "status" && f.value == 0)
        f.value = 500;
    std::lock_guard<std::mutex> guard(lock_);
    faults_.push_back(f);
    Reply(res, "OK: fault armed");
}

bool SandboxServer::AnswerWithFault(const Fault& fault, httplib::Response& res) {
    if (fault.kind == "drop") {
        // Announce a body and close the connection before sending any of it.
        res.set_content_provider(64, "text/plain", [](size_t, size_t, httplib::DataSink&) { return false; });
        return true;
    }
    if (fault.kind == "status") {
        res.status = fault.value;
        res.set_content("Injected failure\n", "text/plain");
        return true;
    }
    if (fault.kind == "garbage") {
        res.set_content(std::string("\x01\x02<html>\xff\xfe no reply here\n"), "text/html");
        return true;
    }
    if (fault.kind == "oversize") {
        res.set_content("OK: " + std::string(2 * 1024 * 1024, 'x'), "text/plain");
        return true;
    }
    Pause(fault.value);  // delay, then answer as usual
    return false;
}

void SandboxServer::HandleProtocol(const httplib::Request& req, httplib::Response& res) {
    std::string endpoint = req.matches[1];
    Fault fault;
    if (TakeFault(endpoint, fault) && AnswerWithFault(fault, res))
        return;
    std::string reply = gateway_.Handle(endpoint, ReadParams(req));
    if (verbose_)
        fprintf(stderr, "sandbox: %s %s -> %s\n", endpoint.c_str(), req.body.c_str(), reply.c_str());
    Reply(res, reply);
}

void SandboxServer::HandleFile(const httplib::Request& req, httplib::Response& res) {
    std::string name = req.matches[1];
    auto it = std::find_if(files_.begin(), files_.end(), [&name](const SandboxFile& f) { return f.name == name; });
    std::ifstream in;
    if (it != files_.end() && it->redirect.empty())
        in.open(it->source, std::ios::binary);
    if (it == files_.end() || (it->redirect.empty() && !in)) {
        res.status = 404;
        res.set_content("Not found: " + name + "\n", "text/plain");
        return;
    }
    if (!it->redirect.empty()) {
        res.set_redirect(it->redirect, 302);
        res.set_content("Moved\n", "text/plain");
        return;
    }
    auto bytes = std::make_shared<std::string>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    const SandboxFile file = *it;
    if (file.paceMs == 0 && file.cutAfter == 0) {
        res.set_content(*bytes, "application/octet-stream");
        return;
    }
    // Paced or cut short: 1 KiB blocks; a cut closes the connection with the announced length unmet.
    res.set_content_provider(bytes->size(), "application/octet-stream",
                             [this, bytes, file](size_t offset, size_t length, httplib::DataSink& sink) {
                                 if (file.cutAfter > 0 && offset >= file.cutAfter)
                                     return false;
                                 size_t n = std::min<size_t>({length, 1024, bytes->size() - offset});
                                 if (file.cutAfter > 0)
                                     n = std::min(n, file.cutAfter - offset);
                                 if (!sink.write(bytes->data() + offset, n))
                                     return false;
                                 if (file.paceMs > 0)
                                     Pause(file.paceMs);
                                 std::lock_guard<std::mutex> guard(lock_);
                                 return !stopping_;
                             });
}

SandboxServer::~SandboxServer() = default;

int SandboxServer::Bind(int port) {
    if (port == 0)
        return server_->bind_to_any_port("127.0.0.1");
    return server_->bind_to_port("127.0.0.1", port) ? port : -1;
}

bool SandboxServer::Serve() {
    return server_->listen_after_bind();
}

void SandboxServer::Stop() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        stopping_ = true;
    }
    stopped_.notify_all();
    server_->stop();
}

bool SandboxServer::TakeFault(const std::string& endpoint, Fault& out) {
    std::lock_guard<std::mutex> guard(lock_);
    for (auto it = faults_.begin(); it != faults_.end(); ++it) {
        if (!it->endpoint.empty() && it->endpoint != endpoint)
            continue;
        out = *it;
        if (--it->remaining <= 0)
            faults_.erase(it);
        return true;
    }
    return false;
}

void SandboxServer::Pause(int ms) {
    std::unique_lock<std::mutex> guard(lock_);
    stopped_.wait_for(guard, std::chrono::milliseconds(ms), [this] { return stopping_; });
}

}  // namespace quillon::sandbox
