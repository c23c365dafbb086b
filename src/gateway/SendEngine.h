#pragma once

#include <cstdint>

namespace quillon {

class CommsWorker;

class SendEngine {
public:
    explicit SendEngine(CommsWorker& worker) : worker_(worker) {}

private:
    CommsWorker& worker_;
};

}  // namespace quillon
