#pragma once

#include <cstdint>

namespace quillon {

class CommsWorker;

class StatusQueryEngine {
public:
    explicit StatusQueryEngine(CommsWorker& worker) : worker_(worker) {}

private:
    CommsWorker& worker_;
};

}  // namespace quillon
