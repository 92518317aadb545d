#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/SessionRecords.h"

// The assistant's registry of its running processes, <config>/sessions/<pid>.json, only read.
namespace fernbeacon {

inline constexpr std::size_t kRegistryFileLimit = 64 * 1024;

// The registry folders to watch: that of `ownConfigDirectory`, then those of the sessions' own
// configuration directories, each once.
std::vector<std::filesystem::path> registryFolders(const std::filesystem::path& ownConfigDirectory,
                                                   std::span<const ClaudeSessionPtr> sessions);

// "<digits>.json", the only names in the folder that are registry files.
bool isRegistryFileName(std::string_view name);

// What a process's registry file says of its session.
struct RegistryEntry {
    std::optional<std::string> sessionId;   // safe as a file name: never a path
    std::optional<std::string> status;      // "busy", "idle", "waiting", "shell", ...
    std::optional<std::string> waitingFor;  // only while the status is "waiting"
};

// One configuration directory's registry as read at one moment. Files that cannot be read or
// parsed are passed over silently: the assistant may be rewriting them.
class LiveRegistry {
public:
    LiveRegistry() = default;
    static LiveRegistry read(const std::filesystem::path& configDirectory);

    // The entry of this very process. A file left behind by a process whose ID was reused
    // names another start time, and gives nothing; so does a file that names a start time
    // when the process's own is unknown.
    std::optional<RegistryEntry> entryFor(std::int32_t pid,
                                          const std::optional<std::string>& startTime) const;

private:
    struct File {
        RegistryEntry entry;
        std::optional<std::string> procStart;
    };
    std::unordered_map<std::int32_t, File> files_;
};

}  // namespace fernbeacon
