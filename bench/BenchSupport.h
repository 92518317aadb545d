#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/SessionScanner.h"

// Stand-ins for the scanner's surroundings that the benchmarks share.
namespace fernbeacon::bench {

class TemporaryDirectory {
public:
    TemporaryDirectory() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "fernbeacon-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        path_ = pattern;
    }
    ~TemporaryDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

class LiveProbes final : public ProcessProbes {
public:
    explicit LiveProbes(std::vector<std::string> directories)
        : directories_(std::move(directories)) {}

    std::vector<std::int32_t> findClaudePIDs() override {
        std::vector<std::int32_t> pids;
        for (std::size_t i = 0; i < directories_.size(); ++i) {
            pids.push_back(static_cast<std::int32_t>(1000 + i));
        }
        return pids;
    }
    std::optional<std::string> ttyForPID(std::int32_t pid) override {
        return "pts/" + std::to_string(pid - 1000);
    }
    std::optional<std::string> workingDirectoryForPID(std::int32_t pid) override {
        return directories_.at(static_cast<std::size_t>(pid - 1000));
    }
    std::optional<std::string> terminalAppForPID(std::int32_t) override { return "kitty"; }
    std::optional<std::string> uptimeForPID(std::int32_t) override { return "5 mins"; }

private:
    std::vector<std::string> directories_;
};

class NoPreferences final : public Preferences {
public:
    std::optional<std::int64_t> integer(std::string_view) const override { return std::nullopt; }
    std::optional<std::string> text(std::string_view) const override { return std::nullopt; }
    bool setInteger(std::string_view, std::int64_t) override { return false; }
    bool setText(std::string_view, std::string_view) override { return false; }
};

}  // namespace fernbeacon::bench
