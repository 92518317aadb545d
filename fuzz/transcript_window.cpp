// The transcript readers over arbitrary bytes, laid out so that what the fuzzer writes lands on
// either side of a window edge. Each reader is checked against a plain reading of the whole
// text: the head windows, the cwd search, the backwards usage search and the line count.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <limits>

#include "FuzzSupport.h"
#include "core/FileReading.h"
#include "core/Transcript.h"

namespace fernbeacon::fuzz {
namespace {

struct HeadFacts {
    std::optional<std::string> cwd;
    std::optional<std::string> gitBranch;
    std::optional<std::string> firstPrompt;
};

// Visits the pieces of `text` between line feeds, first to last, until `visit` returns true.
template <typename Visitor>
void forEachPiece(std::string_view text, Visitor&& visit) {
    for (std::size_t start = 0;;) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const bool last = end == text.size();
        if (visit(text.substr(start, end - start), last) || last) {
            return;
        }
        start = end + 1;
    }
}

HeadFacts headFacts(std::string_view bytes, std::size_t window) {
    HeadFacts facts;
    bool promptFound = false;
    forEachPiece(bytes.substr(0, window), [&](std::string_view line, bool) {
        withRecord(line, [&](const json::Object& record) {
            if (!facts.cwd) {
                if (const auto cwd = json::string(record, "cwd")) {
                    facts.cwd = std::string(*cwd);
                }
            }
            const auto branch = json::string(record, "gitBranch");
            if (!facts.gitBranch && branch && !branch->empty()) {
                facts.gitBranch = std::string(*branch);
            }
            if (!promptFound && json::string(record, "type") == "user") {
                facts.firstPrompt = firstPromptCandidate(record);
                promptFound = facts.firstPrompt.has_value();
            }
        });
        return false;
    });
    return facts;
}

// The four counts added in order, each partial sum held within 64 signed bits.
std::optional<std::int64_t> usageSum(const json::Object& record) {
    const auto message = json::object(record, "message");
    const auto usage = message ? json::object(*message, "usage") : std::nullopt;
    if (!usage) {
        return std::nullopt;
    }
    constexpr __int128 kMax = std::numeric_limits<std::int64_t>::max();
    constexpr __int128 kMin = std::numeric_limits<std::int64_t>::min();
    __int128 sum = 0;
    for (const char* key : {"input_tokens", "cache_read_input_tokens",
                            "cache_creation_input_tokens", "output_tokens"}) {
        sum = std::clamp(sum + json::integer(*usage, key).value_or(0), kMin, kMax);
    }
    return static_cast<std::int64_t>(sum);
}

// The latest positive usage among the whole lines of the last kLiveTailReach bytes.
std::optional<std::int64_t> latestPositiveUsage(std::string_view bytes) {
    const std::size_t start = bytes.size() - std::min(bytes.size(), kLiveTailReach);
    const bool firstIsWhole = start == 0 || bytes[start - 1] == '\n';
    for (std::size_t end = bytes.size();;) {
        const std::size_t lineFeed = bytes.substr(start, end - start).rfind('\n');
        const bool first = lineFeed == std::string_view::npos;
        const std::size_t lineStart = first ? start : start + lineFeed + 1;
        if (first && !firstIsWhole) {
            return std::nullopt;
        }
        std::optional<std::int64_t> found;
        withRecord(bytes.substr(lineStart, end - lineStart), [&](const json::Object& record) {
            const auto sum = usageSum(record);
            if (sum && *sum >= 1) {
                found = sum;
            }
        });
        if (found || first) {
            return found;
        }
        end = lineStart - 1;
    }
}

// The cwd of the first complete line within kCwdReach bytes whose record carries one.
std::optional<std::string> firstRecordedCwd(std::string_view bytes) {
    const bool lastIsWhole = bytes.size() <= kCwdReach;
    std::optional<std::string> found;
    forEachPiece(bytes.substr(0, kCwdReach), [&](std::string_view line, bool last) {
        if (last && !lastIsWhole) {
            return true;
        }
        withRecord(line, [&](const json::Object& record) {
            if (const auto cwd = json::string(record, "cwd")) {
                found = std::string(*cwd);
            }
        });
        return found.has_value();
    });
    return found;
}

// Two runs of fuzzer bytes with a gap between them that puts the start of the second run at an
// edge (counted from the start of the file) or the end of the first run at one (from the end).
std::string layOut(FuzzedDataProvider& input) {
    static constexpr std::array<std::size_t, 7> kEdges{
        0,         kCwdStep,      kRecentHeadWindow, kLiveTailWindow * 2, kLiveHeadWindow,
        kCwdReach, kLiveTailReach};
    const std::size_t edge = input.PickValueInArray(kEdges);
    const int shift = input.ConsumeIntegralInRange<int>(-40, 40);
    const bool fromEnd = input.ConsumeBool();
    const char fill = input.PickValueInArray({'\n', ' ', 'x'});
    std::string first = input.ConsumeRandomLengthString();
    const std::string second = input.ConsumeRemainingBytesAsString();
    const auto target =
        static_cast<std::size_t>(std::max<long long>(0, static_cast<long long>(edge) + shift));
    const std::size_t before = fromEnd ? second.size() : first.size();
    const std::size_t gap = target > before ? target - before : 0;
    first.append(gap, fill);
    return first + second;
}

}  // namespace
}  // namespace fernbeacon::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace fernbeacon;
    using namespace fernbeacon::fuzz;
    FuzzedDataProvider input(data, size);
    const std::string bytes = layOut(input);
    const auto folder = scratchDirectory() / "project";
    const auto transcript = folder / "t.jsonl";
    writeFile(transcript, bytes);

    ClaudeSession live(1, std::nullopt, std::nullopt, std::nullopt);
    readLiveTranscript(live, transcript);
    const HeadFacts liveHead = headFacts(bytes, kLiveHeadWindow);
    require(live.firstPrompt == liveHead.firstPrompt, "live first prompt");
    require(live.gitBranch == liveHead.gitBranch, "live git branch");
    require(live.contextTokensUsed == latestPositiveUsage(bytes), "latest positive usage");
    const auto lineFeeds = static_cast<std::int64_t>(std::count(bytes.begin(), bytes.end(), '\n'));
    require(live.messageCount == (lineFeeds > 0 ? std::optional(lineFeeds) : std::nullopt),
            "line count");

    require(firstRecordedCwdInTranscript(transcript) == firstRecordedCwd(bytes), "first cwd");

    const auto recent = readRecentTranscript(folder, instantFromSecondsSince1970(0));
    const HeadFacts recentHead = headFacts(bytes, kRecentHeadWindow);
    require(recent.has_value() == recentHead.cwd.has_value(), "recent session found");
    if (recent) {
        require(recent->projectPath == recentHead.cwd, "recent path");
        require(recent->firstPrompt == recentHead.firstPrompt, "recent first prompt");
        require(recent->gitBranch == recentHead.gitBranch, "recent git branch");
    }
    return 0;
}
