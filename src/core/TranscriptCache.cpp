#include "core/TranscriptCache.h"

namespace fernbeacon {
std::optional<TranscriptFacts> TranscriptCache::read(const std::filesystem::path& transcript) {
    const auto file = RegularFile::open(transcript);
    if (!file) {
        return std::nullopt;
    }
    const std::string key = transcript.string();
    TranscriptState state(transcriptSessionId(transcript));
    {
        const std::lock_guard lock(mutex_);
        if (const auto found = entries_.find(key); found != entries_.end()) {
            state = found->second.state;
        }
    }
    auto facts = state.update(*file);
    const std::lock_guard lock(mutex_);
    entries_.insert_or_assign(key, Entry{std::move(state), cycle_});
    return facts;
}

void TranscriptCache::beginCycle() {
    const std::lock_guard lock(mutex_);
    ++cycle_;
    std::erase_if(entries_,
                  [this](const auto& entry) { return entry.second.lastCycle + 1 < cycle_; });
}

std::size_t TranscriptCache::size() const {
    const std::lock_guard lock(mutex_);
    return entries_.size();
}

}  // namespace fernbeacon
