#include "core/Transcript.h"

#include "core/Directory.h"
#include "core/FileReading.h"
#include "core/Text.h"
#include "core/TranscriptCache.h"
#include "core/TranscriptState.h"

namespace fernbeacon {
namespace {

constexpr std::size_t kSidecarLimit = 64 * 1024;

std::optional<TranscriptFacts> factsOf(const std::filesystem::path& transcript,
                                       TranscriptCache* cache) {
    return cache ? cache->read(transcript) : readTranscriptFacts(transcript);
}

// A title the user gave with a rename, kept beside the transcript; it outranks the records.
std::optional<std::string> sidecarCustomTitle(const std::filesystem::path& transcript) {
    const auto sidecar = transcript.parent_path() / transcript.stem() / "custom-title.json";
    const auto bytes = readWholeFile(sidecar, kSidecarLimit);
    json::Parser parser;
    const auto object = bytes ? parser.parseObject(bytes->view()) : std::nullopt;
    const auto title = object ? json::string(*object, "customTitle") : std::nullopt;
    if (!title || title->empty()) {
        return std::nullopt;
    }
    return std::string(*title);
}

}  // namespace

std::optional<std::string_view> extractMessageText(const json::Object& record) {
    const auto message = json::object(record, "message");
    if (!message) {
        return std::nullopt;
    }
    json::Element content;
    if ((*message)["content"].get(content) != simdjson::SUCCESS) {
        return std::nullopt;
    }
    std::string_view text;
    if (content.get_string().get(text) == simdjson::SUCCESS) {
        return text;
    }
    json::Array parts;
    if (content.get_array().get(parts) != simdjson::SUCCESS) {
        return std::nullopt;
    }
    std::optional<std::string_view> found;
    for (json::Element part : parts) {
        json::Object object;
        if (part.get_object().get(object) != simdjson::SUCCESS) {
            return std::nullopt;  // an array holding anything but objects is no content
        }
        if (!found && json::string(object, "type") == "text") {
            found = json::string(object, "text");
        }
    }
    return found;
}

std::optional<std::string> firstPromptCandidate(const json::Object& record) {
    const auto text = extractMessageText(record);
    if (!text) {
        return std::nullopt;
    }
    const std::string_view trimmed = trimSpacesAndTabs(*text);
    if ((trimmed.starts_with("<") && !trimmed.starts_with("< ")) ||
        trimmed.starts_with("[Request interrupted") || trimmed.starts_with("Caveat:")) {
        return std::nullopt;
    }
    const auto cleaned = cleanText(*text);
    if (!cleaned) {
        return std::nullopt;
    }
    return prefixGraphemes(*cleaned, kFirstPromptLength);
}

void readLiveTranscript(ClaudeSession& session, const std::filesystem::path& transcript,
                        TranscriptCache* cache) {
    auto facts = factsOf(transcript, cache);
    if (!facts) {
        return;
    }
    if (facts->contextTokensUsed) {
        session.contextTokensUsed = facts->contextTokensUsed;
    }
    session.messageCount = std::nullopt;
    if (facts->lineFeeds > 0) {
        session.messageCount = static_cast<std::int64_t>(facts->lineFeeds);
    }
    if (!session.summary) {
        session.firstPrompt = std::move(facts->firstPrompt);
    }
    if (!session.gitBranch) {
        session.gitBranch = std::move(facts->gitBranch);
    }
    if (facts->model) {
        session.model = std::move(facts->model);
    }
    session.customTitle = sidecarCustomTitle(transcript);
    if (!session.customTitle) {
        session.customTitle = std::move(facts->customTitle);
    }
    session.aiTitle = std::move(facts->aiTitle);
}

std::optional<RecentSession> findRecentTranscript(const std::filesystem::path& projectFolder,
                                                  Instant cutoff) {
    const auto entries = listDirectory(projectFolder, true);
    const auto best = entries ? newestTranscript(*entries, cutoff) : std::nullopt;
    if (!best) {
        return std::nullopt;
    }
    const auto transcript = projectFolder / best->name;
    auto cwd = firstRecordedCwdInTranscript(transcript);
    if (!cwd) {
        return std::nullopt;
    }
    RecentSession recent{std::nullopt,    std::nullopt, std::move(*cwd),
                         *best->modified, std::nullopt, std::nullopt};
    recent.sessionId = transcriptSessionId(transcript);
    return recent;
}

void readRecentFacts(RecentSession& recent, const std::filesystem::path& projectFolder,
                     bool promptAndBranch, TranscriptCache* cache) {
    // An index's id comes from a file others write: it names a file of this folder or nothing.
    const std::string_view id = recent.sessionId ? std::string_view(*recent.sessionId) : "";
    if (id.empty() || id == "." || id == ".." || id.find('/') != id.npos ||
        id.find('\0') != id.npos) {
        return;
    }
    const auto transcript = projectFolder / (std::string(id) + ".jsonl");
    recent.customTitle = sidecarCustomTitle(transcript);
    auto facts = factsOf(transcript, cache);
    if (!facts) {
        return;
    }
    if (!recent.customTitle) {
        recent.customTitle = std::move(facts->customTitle);
    }
    recent.aiTitle = std::move(facts->aiTitle);
    if (promptAndBranch) {
        recent.firstPrompt = std::move(facts->firstPrompt);
        recent.gitBranch = std::move(facts->gitBranch);
    }
}

std::optional<std::string> firstRecordedCwdInTranscript(const std::filesystem::path& transcript) {
    const auto file = RegularFile::open(transcript);
    if (!file) {
        return std::nullopt;
    }
    PaddedBuffer buffer(kCwdReach);
    json::Parser parser;
    std::size_t filled = 0;
    std::size_t lineStart = 0;
    while (filled < kCwdReach) {
        const auto got = file->readAt(filled, buffer.data() + filled, kCwdStep);
        if (!got) {
            return std::nullopt;
        }
        filled += *got;
        buffer.setSize(filled);
        bool endOfFile = *got < kCwdStep;
        if (!endOfFile && filled == kCwdReach) {
            // A last record without a line feed that ends the file exactly at the reach is whole.
            char next = 0;
            endOfFile = file->readAt(filled, &next, 1) == std::size_t{0};
        }
        const std::string_view bytes = buffer.view();
        // Complete lines only: ended by a line feed, or by the end of the file.
        while (lineStart < filled) {
            std::size_t end = bytes.find('\n', lineStart);
            if (end == std::string_view::npos) {
                if (!endOfFile) {
                    break;
                }
                end = filled;
            }
            const auto record = parser.parseObject(bytes.substr(lineStart, end - lineStart));
            lineStart = end + 1;
            if (const auto cwd = record ? json::string(*record, "cwd") : std::nullopt) {
                return std::string(*cwd);
            }
        }
        if (endOfFile) {
            break;
        }
    }
    return std::nullopt;
}

}  // namespace fernbeacon
