// Files served over HTTP by the sandbox gateway (under BaseUrl()/files/), for the download tests:
// the bytes go into a temporary folder and the sandbox's config names what it serves from there.
#pragma once

#include <string>

#include "support/SandboxProcess.h"
#include "support/TempDir.h"

namespace quillon::test {

class FileServer {
public:
    // Writes `bytes` as the local file `name`.
    void Put(const std::string& name, const std::string& bytes) { WriteFile(File(name), bytes); }
    // The path of the local file `name`.
    std::string File(const std::string& name) const { return files_.File(name); }
    // Starts the sandbox with `config`, one line a served name ("file NAME SOURCE [pace=MS] [cut=BYTES]",
    // "redirect NAME URL"). False when it did not start; the reason is in LastError().
    bool Start(const std::string& config);
    // The address of the served name.
    std::string Url(const std::string& name) const { return sandbox_.BaseUrl() + "files/" + name; }
    const std::string& LastError() const { return sandbox_.LastError(); }

private:
    TempDir files_;
    SandboxProcess sandbox_;
};

}  // namespace quillon::test
