#pragma once

#include "core/Instant.h"

namespace fernbeacon {

class Clock {
public:
    virtual ~Clock() = default;
    virtual Instant now() const = 0;
};

class SystemClock final : public Clock {
public:
    Instant now() const override { return std::chrono::system_clock::now(); }
};

}  // namespace fernbeacon
