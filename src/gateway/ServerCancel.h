#pragma once

#include <cstdint>

namespace quillon {

class CommsWorker;

class ServerCancel {
public:
    explicit ServerCancel(CommsWorker& worker) : worker_(worker) {}

private:
    CommsWorker& worker_;
};

}  // namespace quillon
