#include "support/FileServer.h"

namespace quillon::test {

bool FileServer::Start(const std::string& config) {
    Put("sandbox.conf", config);
    return sandbox_.Start({"--config", File("sandbox.conf")});
}

}  // namespace quillon::test
