#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/Instant.h"
#include "core/Json.h"
#include "core/SessionRecords.h"

// Readers of the assistant's JSON Lines transcripts. A line that is empty, not valid UTF-8, not
// JSON or not an object is skipped, so a cut line (or character) costs that one line only.
// Nothing is reported: what cannot be read simply contributes nothing.
namespace fernbeacon {

class TranscriptCache;

// Fuzzing builds divide every window by one factor, so that the inputs a fuzzer makes reach
// each edge; nothing in the readers depends on the sizes themselves.
#ifndef FERNBEACON_WINDOW_DIVISOR
#define FERNBEACON_WINDOW_DIVISOR 1
#endif
inline constexpr std::size_t kWindowDivisor = FERNBEACON_WINDOW_DIVISOR;
inline constexpr std::size_t kCwdStep = 4096 / kWindowDivisor;
inline constexpr std::size_t kCwdReach = 65536 / kWindowDivisor;
inline constexpr std::size_t kFirstPromptLength = 100;

// The text of a record's message. The view points into the parser's document and is valid
// until its next parse.
std::optional<std::string_view> extractMessageText(const json::Object& record);

// The cleaned first 100 characters of a user record's text, or absent when the record is not
// a typed prompt (markup, an interruption note, a caveat, or nothing left after clean-up).
std::optional<std::string> firstPromptCandidate(const json::Object& record);

// readLiveTranscript and readRecentFacts take in the whole transcript; given a cache, only what
// was appended since it last saw the file.

// Fills the session's first prompt (unless it has a summary), git branch (unless it has one),
// context tokens in use, message count, model and titles from its transcript.
void readLiveTranscript(ClaudeSession& session, const std::filesystem::path& transcript,
                        TranscriptCache* cache = nullptr);

// The folder's newest transcript modified after `cutoff` as a recent session that so far has
// only its directory (the transcript's first recorded cwd), time and id; see readRecentFacts.
std::optional<RecentSession> findRecentTranscript(const std::filesystem::path& projectFolder,
                                                  Instant cutoff);

// Fills in what the transcript that the session's id names says: its titles, and when
// `promptAndBranch` (an index gives its own), its first prompt and branch.
void readRecentFacts(RecentSession& recent, const std::filesystem::path& projectFolder,
                     bool promptAndBranch, TranscriptCache* cache = nullptr);

// The "cwd" string of the first complete record that carries one, looked for in 4096-byte
// steps within the first 65536 bytes.
std::optional<std::string> firstRecordedCwdInTranscript(const std::filesystem::path& transcript);

}  // namespace fernbeacon
