#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>

#include "core/Instant.h"
#include "core/Json.h"
#include "core/SessionRecords.h"

// A project folder's "sessions-index.json", read whole and only read.
namespace fernbeacon {

inline constexpr std::string_view kSessionIndexName = "sessions-index.json";
// Far above any index the assistant writes; keeps a hostile file from exhausting memory.
inline constexpr std::size_t kSessionIndexLimit = 64 * 1024 * 1024;

// A usable index: a JSON object with an "entries" array of objects (possibly empty).
class SessionIndex {
public:
    // Absent when the file cannot be read or parsed, or is not a usable index.
    static std::optional<SessionIndex> read(const std::filesystem::path& file);

    const json::Array& entries() const { return entries_; }
    std::optional<std::string_view> originalPath() const;

private:
    SessionIndex() = default;

    std::unique_ptr<json::Parser> parser_;  // the document lives in the parser; it must not move
    json::Object root_;
    json::Array entries_;
};

// Copies the summary, message count and git branch of the session's entry into the session.
void applySessionIndex(ClaudeSession& session, const std::filesystem::path& indexFile,
                       std::string_view sessionId);

// An entry's modification time: "fileMtime" in milliseconds since 1970, else "modified".
std::optional<Instant> indexEntryDate(const json::Object& entry);

}  // namespace fernbeacon
