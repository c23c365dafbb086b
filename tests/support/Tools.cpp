#include "support/Tools.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/CliRunner.h"
#include "support/TempDir.h"
#include "support/Waits.h"

namespace quillon::test {

int StopChild(pid_t pid) {
    int status = 0;
    kill(pid, SIGTERM);
    if (!WaitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 5000)) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

bool ToolProcess::Start(int port, std::vector<std::string> argv) {
    Stop();
    std::vector<char*> args;
    for (auto& arg : argv)
        args.push_back(arg.data());
    args.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
        int null = open("/dev/null", O_RDWR);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        execv(args[0], args.data());
        _exit(127);
    }
    return pid_ > 0 && WaitForListener(port);
}

bool ToolProcess::StartUntrustedTls(int port, const TempDir& dir) {
    const std::string key = dir.File("key.pem"), cert = dir.File("cert.pem");
    if (RunProgram({"/usr/bin/openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj",
                    "/CN=127.0.0.1", "-keyout", key, "-out", cert})
            .rc != 0)
        return false;
    // It answers any request with its status page.
    return Start(port, {"/usr/bin/openssl", "s_server", "-accept", std::to_string(port), "-cert", cert, "-key", key,
                        "-www", "-quiet"});
}

bool ToolProcess::StartProxy(int port, const TempDir& dir) {
    const std::string conf = dir.File("tinyproxy.conf");
    WriteFile(conf, "Port " + std::to_string(port) +
                        "\nListen 127.0.0.1\nTimeout 30\nMaxClients 20\nAllow 127.0.0.1\nBasicAuth quser qpass\n"
                        "LogLevel Critical\nSyslog Off\n" +
                        (getuid() == 0 ? "User nobody\nGroup nogroup\n" : ""));
    return Start(port, {"/usr/bin/tinyproxy", "-d", "-c", conf});
}

void ToolProcess::Stop() {
    if (pid_ > 0)
        StopChild(pid_);
    pid_ = -1;
}

}  // namespace quillon::test
