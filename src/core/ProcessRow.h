#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace fernbeacon {

// One row of the process list, from /proc or from ps alike.
struct ProcessRow {
    std::int32_t pid = 0;
    std::int32_t ppid = 0;
    std::optional<std::string> tty;  // "pts/3", "ttys003"; absent for a process without one
    std::string command;             // the executable's name or path, which may hold spaces
};

}  // namespace fernbeacon
