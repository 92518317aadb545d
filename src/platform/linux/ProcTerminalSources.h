#pragma once

#include <filesystem>

#include "terminal/ProcessServices.h"
#include "terminal/TtyOwnership.h"

namespace fernbeacon::platform {

// The process list with terminal names as ps prints them ("pts/3"), read from /proc without
// starting a process.
class ProcProcessTable final : public ProcessTableSource {
public:
    explicit ProcProcessTable(std::filesystem::path procRoot = "/proc");
    std::vector<ProcessRow> processRows() override;

private:
    const std::filesystem::path procRoot_;
};

// /proc/<pid>/environ, for processes of the current user only.
class ProcEnvironment final : public ProcessEnvironment {
public:
    explicit ProcEnvironment(std::filesystem::path procRoot = "/proc");
    Environment environmentOf(std::int32_t pid) override;

private:
    const std::filesystem::path procRoot_;
};

}  // namespace fernbeacon::platform
