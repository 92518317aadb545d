#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/Instant.h"

namespace fernbeacon::test {

// A temporary directory, removed with everything in it when the object goes.
class TempTree {
public:
    TempTree();
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::filesystem::path& root() const { return root_; }
    std::filesystem::path path(std::string_view relative) const { return root_ / relative; }

    // Writes a file (making its folders) and returns its path.
    std::filesystem::path write(std::string_view relative, std::string_view contents) const;
    // A file's bytes; empty when it cannot be read.
    std::string read(std::string_view relative) const;
    std::filesystem::path makeDirectory(std::string_view relative) const;
    static void setModified(const std::filesystem::path& path, Instant when);

private:
    std::filesystem::path root_;
};

// Sets an environment variable for the object's lifetime.
class ScopedEnvironment {
public:
    ScopedEnvironment(std::string name, const std::string& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string name_;
    std::optional<std::string> previous_;
};

// A fake home: a TempTree with HOME pointing at it for the object's lifetime.
class TempHome : public TempTree {
public:
    std::filesystem::path claudeDir() const { return root() / ".claude"; }
    // Writes ~/.claude/projects/<folder>/<name>.
    std::filesystem::path writeProjectFile(std::string_view folder, std::string_view name,
                                           std::string_view contents) const;

private:
    ScopedEnvironment home_{"HOME", root().string()};
};

// One transcript record per call, as JSON text without a line feed.
std::string userRecord(std::string_view text, std::string_view cwd = {},
                       std::string_view gitBranch = {});
std::string usageRecord(long long input, long long cacheRead, long long cacheCreation,
                        long long output);
std::string cwdRecord(std::string_view cwd, std::string_view gitBranch = {});

// A name that runs `touch pwned` in the home folder wherever a shell would interpret it.
inline constexpr std::string_view kInjection = "$(cd;touch pwned) `cd;touch pwned` \"q\" it's";

}  // namespace fernbeacon::test
