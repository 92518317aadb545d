#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "core/Instant.h"

namespace fernbeacon::bench {

struct TreeShape {
    int liveSessions;
    int projectFolders;
    int indexEntries;          // per folder; 0 writes no index
    int transcriptsPerFolder;  // besides the live session's own transcript
    std::size_t transcriptBytes;
    std::size_t liveTranscriptBytes;
};

inline constexpr TreeShape kTypicalTree{5, 30, 10, 5, 20 * 1024, 200 * 1024};
inline constexpr TreeShape kLargeTree{20, 200, 50, 20, 4 * 1024, 1024 * 1024};

struct GeneratedTree {
    std::filesystem::path home;  // holds .claude/
    std::vector<std::string> liveDirectories;
};

// Writes a ~/.claude tree of that shape under `root`: the first `liveSessions` folders hold, as
// their newest transcript, one recorded in a live session's directory.
GeneratedTree generateTree(const std::filesystem::path& root, const TreeShape& shape, Instant now);

}  // namespace fernbeacon::bench
