#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Instant.h"

namespace fernbeacon {

struct DirectoryEntry {
    std::string name;
    std::optional<Instant> modified;  // content modification date, links followed
};

// The entries of a directory in the file system's order, hidden ones included, "." and ".."
// left out. Absent when the path cannot be listed as a directory.
std::optional<std::vector<DirectoryEntry>> listDirectory(const std::filesystem::path& directory,
                                                         bool withModificationDates);

// The content modification date of a regular file (links followed); absent for anything else.
std::optional<Instant> regularFileModified(const std::filesystem::path& file);

// A transcript's name: the extension is exactly "jsonl".
bool hasTranscriptExtension(std::string_view name);

// The session identifier a transcript's name stands for: the name without ".jsonl".
std::string_view sessionIdentifierOf(std::string_view transcriptName);

// The transcript with the latest date, strictly later than `after` when given; among equal
// dates the first listed. Entries without a date are passed over.
std::optional<DirectoryEntry> newestTranscript(const std::vector<DirectoryEntry>& entries,
                                               std::optional<Instant> after = std::nullopt);

}  // namespace fernbeacon
