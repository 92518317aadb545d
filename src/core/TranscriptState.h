#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/FileReading.h"
#include "core/Json.h"
#include "core/Transcript.h"

// What a transcript says, learnt line by line so that a file that only grows is read once:
// a later cycle reads the bytes appended since, and its answer is exactly that of a fresh read
// of the whole file (both run the same per-line code over the same complete lines).
namespace fernbeacon {

// Longer lines are counted but not parsed: they bound the memory a read needs.
inline constexpr std::size_t kLongestParsedLine = 4 * 1024 * 1024 / kWindowDivisor;
inline constexpr std::size_t kTranscriptChunk = 1024 * 1024 / kWindowDivisor;

struct TranscriptFacts {
    std::uint64_t lineFeeds = 0;
    std::optional<std::int64_t> contextTokensUsed;  // the last usage with a positive sum
    std::optional<std::string> model;               // of the last main-chain assistant turn
    std::optional<std::string> customTitle;         // the last records of this session
    std::optional<std::string> aiTitle;
    std::optional<std::string> firstPrompt;
    std::optional<std::string> gitBranch;  // the first non-empty one

    bool operator==(const TranscriptFacts&) const = default;
};

// Bytes by offset: a transcript file, or memory in tests.
class TranscriptBytes {
public:
    virtual ~TranscriptBytes() = default;
    // Up to `length` bytes at `offset`, fewer at the end; absent on error.
    virtual std::optional<std::size_t> readAt(std::uint64_t offset, char* into,
                                              std::size_t length) const = 0;
};

class TranscriptState {
public:
    // `sessionId` is the transcript's file stem; title records of other sessions are skipped.
    explicit TranscriptState(std::string sessionId) : sessionId_(std::move(sessionId)) {}

    // Brings the state up to the file as `identity` describes it, reading only what is new
    // when the file has grown. An unfinished last line is read each time but not kept. Absent
    // when the bytes cannot be read.
    std::optional<TranscriptFacts> update(const TranscriptBytes& bytes,
                                          const FileIdentity& identity);
    std::optional<TranscriptFacts> update(const RegularFile& file);

private:
    bool continues(const TranscriptBytes& bytes, const FileIdentity& identity) const;
    bool readUpTo(const TranscriptBytes& bytes, std::uint64_t end);

    std::string sessionId_;
    std::optional<FileIdentity> identity_;
    std::uint64_t consumed_ = 0;  // up to the end of the last complete line taken in
    bool insideLongLine_ = false;
    std::string seam_;  // the bytes just before consumed_, to notice a file rewritten in place
    TranscriptFacts complete_;  // from complete lines only
    TranscriptFacts current_;   // with the unfinished last line
};

// Takes one complete line (without its line feed) into `facts`.
void foldTranscriptLine(TranscriptFacts& facts, std::string_view line, std::string_view sessionId,
                        json::Parser& parser);

// What a fresh read of the whole file gives.
std::optional<TranscriptFacts> readTranscriptFacts(const std::filesystem::path& transcript);

// The file stem of a transcript, that is its session id.
std::string transcriptSessionId(const std::filesystem::path& transcript);

}  // namespace fernbeacon
