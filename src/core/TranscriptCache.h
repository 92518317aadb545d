#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "core/TranscriptState.h"

namespace fernbeacon {

// What the refresh cycles have learnt of each transcript, so that a cycle reads only what was
// appended since the one before. Safe to use from cycles that overlap: each read works on its
// own copy of the entry, and the last one stored wins, which is as good as any.
class TranscriptCache {
public:
    std::optional<TranscriptFacts> read(const std::filesystem::path& transcript);
    // Forgets the transcripts no read asked for since the previous cycle began: their files
    // are gone, or no session shows them any more. Keeps the cache as small as what is shown.
    void beginCycle();
    std::size_t size() const;

private:
    struct Entry {
        TranscriptState state;
        std::uint64_t lastCycle;
    };

    mutable std::mutex mutex_;
    std::unordered_map<std::string, Entry> entries_;
    std::uint64_t cycle_ = 0;
};

}  // namespace fernbeacon
