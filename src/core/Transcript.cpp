#include "core/Transcript.h"

#include <algorithm>
#include <limits>

#include "core/Directory.h"
#include "core/FileReading.h"
#include "core/Text.h"

namespace fernbeacon {
namespace {

// Visits the lines of `text` first to last until the visitor returns true.
template <typename Visitor>
void visitLines(std::string_view text, Visitor&& visit) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        if (end > start && visit(text.substr(start, end - start))) {
            return;
        }
        start = end + 1;
    }
}

std::int64_t saturatingAdd(std::int64_t a, std::int64_t b) {
    std::int64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum)) {
        return b > 0 ? std::numeric_limits<std::int64_t>::max()
                     : std::numeric_limits<std::int64_t>::min();
    }
    return sum;
}

// The token sum of a record's usage, when the record carries one.
std::optional<std::int64_t> usageSum(json::Parser& parser, std::string_view line) {
    const auto record = parser.parseObject(line);
    if (!record) {
        return std::nullopt;
    }
    const auto message = json::object(*record, "message");
    const auto usage = message ? json::object(*message, "usage") : std::nullopt;
    if (!usage) {
        return std::nullopt;
    }
    std::int64_t sum = 0;
    for (const char* key : {"input_tokens", "cache_read_input_tokens",
                            "cache_creation_input_tokens", "output_tokens"}) {
        sum = saturatingAdd(sum, json::integer(*usage, key).value_or(0));
    }
    return sum;
}

// The latest usage with a positive sum, read backwards window by window within the last
// kLiveTailReach bytes. A line that crosses a window edge is read whole.
std::optional<std::int64_t> latestPositiveUsage(const RegularFile& file, json::Parser& parser) {
    const auto size = file.size();
    if (!size || *size == 0) {
        return std::nullopt;
    }
    const auto reach = static_cast<std::size_t>(std::min<std::uint64_t>(*size, kLiveTailReach));
    const std::uint64_t reachStart = *size - reach;
    // Holds the last `reach` bytes of the file, filled from its end towards its start.
    PaddedBuffer buffer(reach);
    buffer.setSize(reach);
    const std::string_view bytes = buffer.view();
    std::size_t filledFrom = reach;
    std::size_t unvisitedEnd = reach;
    // No line feed lies in [searchedFrom, unvisitedEnd): each byte is searched once, so a long
    // line costs linear time however many windows it spans.
    std::size_t searchedFrom = reach;
    while (filledFrom > 0) {
        const std::size_t length = std::min(kLiveTailWindow, filledFrom);
        const std::size_t at = filledFrom - length;
        const auto got = file.readAt(reachStart + at, buffer.data() + at, length);
        if (!got || *got != length) {
            return std::nullopt;  // shrunk while we read: what is left is not the tail we sized
        }
        filledFrom = at;
        // Visit the complete lines that this window closed, last to first.
        for (;;) {
            const std::size_t lineFeed =
                bytes.substr(filledFrom, searchedFrom - filledFrom).rfind('\n');
            if (lineFeed == std::string_view::npos) {
                searchedFrom = filledFrom;
                break;
            }
            const std::size_t lineStart = filledFrom + lineFeed + 1;
            const auto line = bytes.substr(lineStart, unvisitedEnd - lineStart);
            unvisitedEnd = lineStart - 1;
            searchedFrom = unvisitedEnd;
            const auto sum = line.empty() ? std::nullopt : usageSum(parser, line);
            if (sum && *sum >= 1) {
                return sum;
            }
        }
    }
    // What remains is a whole line when the reach starts the file or follows a line feed,
    // otherwise a line cut at the reach's edge.
    char before = '\n';
    if (reachStart > 0 && file.readAt(reachStart - 1, &before, 1) != std::size_t{1}) {
        return std::nullopt;
    }
    if (before == '\n' && unvisitedEnd > 0) {
        const auto sum = usageSum(parser, bytes.substr(0, unvisitedEnd));
        if (sum && *sum >= 1) {
            return sum;
        }
    }
    return std::nullopt;
}

// What the head of a transcript says; each field holds the first value found.
struct HeadFacts {
    std::optional<std::string> cwd;
    std::optional<std::string> gitBranch;
    std::optional<std::string> firstPrompt;
    bool promptFound = false;
};

void collectHeadFacts(std::string_view window, bool wantCwd, HeadFacts& facts) {
    json::Parser parser;
    visitLines(window, [&](std::string_view line) {
        const auto record = parser.parseObject(line);
        if (!record) {
            return false;
        }
        if (wantCwd && !facts.cwd) {
            if (const auto cwd = json::string(*record, "cwd")) {
                facts.cwd = std::string(*cwd);
            }
        }
        if (!facts.gitBranch) {
            const auto branch = json::string(*record, "gitBranch");
            if (branch && !branch->empty()) {
                facts.gitBranch = std::string(*branch);
            }
        }
        if (!facts.promptFound && json::string(*record, "type") == "user") {
            facts.firstPrompt = firstPromptCandidate(*record);
            facts.promptFound = facts.firstPrompt.has_value();
        }
        // Later lines cannot change anything once every fact is held.
        return (!wantCwd || facts.cwd) && facts.gitBranch && facts.promptFound;
    });
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

void readLiveTranscript(ClaudeSession& session, const std::filesystem::path& transcript) {
    const auto file = RegularFile::open(transcript);
    if (!file) {
        return;
    }
    const auto head = file->readWindow(0, kLiveHeadWindow);
    if (!head) {
        return;
    }
    HeadFacts facts;
    collectHeadFacts(head->view(), false, facts);

    json::Parser parser;
    if (const auto used = latestPositiveUsage(*file, parser)) {
        session.contextTokensUsed = used;
    }
    const auto lineFeeds = file->countLineFeeds();
    session.messageCount = std::nullopt;
    if (lineFeeds && *lineFeeds > 0) {
        session.messageCount = static_cast<std::int64_t>(*lineFeeds);
    }
    if (!session.summary) {
        session.firstPrompt = facts.firstPrompt;
    }
    if (!session.gitBranch) {
        session.gitBranch = facts.gitBranch;
    }
}

std::optional<RecentSession> readRecentTranscript(const std::filesystem::path& projectFolder,
                                                  Instant cutoff) {
    const auto entries = listDirectory(projectFolder, true);
    if (!entries) {
        return std::nullopt;
    }
    const auto best = newestTranscript(*entries, cutoff);
    if (!best) {
        return std::nullopt;
    }
    const auto file = RegularFile::open(projectFolder / best->name);
    const auto head = file ? file->readWindow(0, kRecentHeadWindow) : std::nullopt;
    if (!head) {
        return std::nullopt;
    }
    HeadFacts facts;
    collectHeadFacts(head->view(), true, facts);
    if (!facts.cwd) {
        return std::nullopt;
    }
    return RecentSession{std::nullopt,          std::move(facts.firstPrompt),
                         std::move(*facts.cwd), *best->modified,
                         std::nullopt,          std::move(facts.gitBranch)};
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
