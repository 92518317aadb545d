#include "core/TranscriptState.h"

#include <string.h>

#include <algorithm>
#include <limits>

namespace fernbeacon {
namespace {

// Enough to tell appended bytes from a file rewritten in place between two reads.
constexpr std::size_t kSeamLength = 32;

bool contains(std::string_view text, std::string_view pattern) {
    return ::memmem(text.data(), text.size(), pattern.data(), pattern.size()) != nullptr;
}

std::int64_t saturatingAdd(std::int64_t a, std::int64_t b) {
    std::int64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum)) {
        return b > 0 ? std::numeric_limits<std::int64_t>::max()
                     : std::numeric_limits<std::int64_t>::min();
    }
    return sum;
}

std::int64_t usageSum(const json::Object& usage) {
    std::int64_t sum = 0;
    for (const char* key : {"input_tokens", "cache_read_input_tokens",
                            "cache_creation_input_tokens", "output_tokens"}) {
        sum = saturatingAdd(sum, json::integer(usage, key).value_or(0));
    }
    return sum;
}

// Records copied from another session's transcript carry that session's id.
bool ofSession(const json::Object& record, std::string_view sessionId) {
    const auto id = record["sessionId"];
    if (id.error() == simdjson::NO_SUCH_FIELD) {
        return true;
    }
    std::string_view text;
    return id.get_string().get(text) == simdjson::SUCCESS && text == sessionId;
}

bool onSidechain(const json::Object& record) {
    bool sidechain = false;
    return record["isSidechain"].get_bool().get(sidechain) == simdjson::SUCCESS && sidechain;
}

void keepNonEmpty(std::optional<std::string>& into, std::optional<std::string_view> value) {
    if (value && !value->empty()) {
        into = std::string(*value);
    }
}

class FileBytes final : public TranscriptBytes {
public:
    explicit FileBytes(const RegularFile& file) : file_(file) {}
    std::optional<std::size_t> readAt(std::uint64_t offset, char* into,
                                      std::size_t length) const override {
        return file_.readAt(offset, into, length);
    }

private:
    const RegularFile& file_;
};

}  // namespace

void foldTranscriptLine(TranscriptFacts& facts, std::string_view line, std::string_view sessionId,
                        json::Parser& parser) {
    if (line.empty() || line.size() > kLongestParsedLine) {
        return;
    }
    // Most lines (tool output above all) matter for no fact, and the raw bytes say so far
    // faster than a parse. The assistant writes these keys and values without escapes.
    const bool wanted = contains(line, "\"usage\"") || contains(line, "\"model\"") ||
                        contains(line, "-title\"") ||
                        (!facts.firstPrompt && contains(line, "\"user\"")) ||
                        (!facts.gitBranch && contains(line, "\"gitBranch\""));
    if (!wanted) {
        return;
    }
    const auto record = parser.parseObject(line);
    if (!record) {
        return;
    }
    const auto type = json::string(*record, "type");
    if (!facts.gitBranch) {
        keepNonEmpty(facts.gitBranch, json::string(*record, "gitBranch"));
    }
    if (!facts.firstPrompt && type == "user") {
        facts.firstPrompt = firstPromptCandidate(*record);
    }
    if (const auto message = json::object(*record, "message")) {
        const auto usage = json::object(*message, "usage");
        if (const auto sum = usage ? usageSum(*usage) : 0; sum >= 1) {
            facts.contextTokensUsed = sum;
        }
        const auto model = json::string(*message, "model");
        if (type == "assistant" && model != "<synthetic>" && !onSidechain(*record)) {
            keepNonEmpty(facts.model, model);
        }
    }
    if (type == "custom-title" && ofSession(*record, sessionId)) {
        keepNonEmpty(facts.customTitle, json::string(*record, "customTitle"));
    } else if (type == "ai-title" && ofSession(*record, sessionId)) {
        keepNonEmpty(facts.aiTitle, json::string(*record, "aiTitle"));
    }
}

std::optional<TranscriptFacts> TranscriptState::update(const TranscriptBytes& bytes,
                                                       const FileIdentity& identity) {
    if (identity_ == identity) {
        return current_;
    }
    if (!continues(bytes, identity)) {
        *this = TranscriptState(std::move(sessionId_));
    }
    if (!readUpTo(bytes, identity.size)) {
        *this = TranscriptState(std::move(sessionId_));
        return std::nullopt;
    }
    identity_ = identity;
    return current_;
}

std::optional<TranscriptFacts> TranscriptState::update(const RegularFile& file) {
    const auto identity = file.identity();
    if (!identity) {
        return std::nullopt;
    }
    return update(FileBytes(file), *identity);
}

bool TranscriptState::continues(const TranscriptBytes& bytes, const FileIdentity& identity) const {
    if (!identity_ || identity.device != identity_->device || identity.inode != identity_->inode ||
        identity.size <= identity_->size) {
        return false;
    }
    std::string now(seam_.size(), '\0');
    return bytes.readAt(consumed_ - seam_.size(), now.data(), now.size()) == seam_.size() &&
           now == seam_;
}

bool TranscriptState::readUpTo(const TranscriptBytes& bytes, std::uint64_t end) {
    json::Parser parser;
    // Holds the unfinished line in front of each new chunk until its line feed arrives.
    PaddedBuffer buffer;
    std::size_t held = 0;
    std::uint64_t offset = consumed_;
    while (offset < end) {
        const auto wanted =
            static_cast<std::size_t>(std::min<std::uint64_t>(kTranscriptChunk, end - offset));
        if (buffer.capacity() < held + wanted) {
            // Doubling keeps copies linear; the longest line held bounds the size.
            PaddedBuffer larger(std::min(std::max(held + wanted, 2 * buffer.capacity()),
                                         kLongestParsedLine + kTranscriptChunk));
            std::copy_n(buffer.data(), held, larger.data());
            buffer = std::move(larger);
        }
        const auto got = bytes.readAt(offset, buffer.data() + held, wanted);
        if (!got) {
            return false;
        }
        if (*got == 0) {
            break;  // it shrank meanwhile; the next identity will say so
        }
        offset += *got;
        buffer.setSize(held + *got);
        const std::string_view view = buffer.view();
        std::size_t start = 0;
        for (std::size_t lineFeed = 0; (lineFeed = view.find('\n', start)) != view.npos;
             start = lineFeed + 1) {
            ++complete_.lineFeeds;
            if (insideLongLine_) {
                insideLongLine_ = false;
            } else {
                foldTranscriptLine(complete_, view.substr(start, lineFeed - start), sessionId_,
                                   parser);
            }
        }
        held = view.size() - start;
        if (insideLongLine_ || held > kLongestParsedLine) {
            insideLongLine_ = true;
            held = 0;
        } else {
            std::copy(buffer.data() + start, buffer.data() + view.size(), buffer.data());
        }
        consumed_ = offset - held;
    }
    current_ = complete_;
    if (held > 0) {
        buffer.setSize(held);
        foldTranscriptLine(current_, buffer.view(), sessionId_, parser);
    }
    seam_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(consumed_, kSeamLength)));
    return bytes.readAt(consumed_ - seam_.size(), seam_.data(), seam_.size()) == seam_.size();
}

std::optional<TranscriptFacts> readTranscriptFacts(const std::filesystem::path& transcript) {
    const auto file = RegularFile::open(transcript);
    if (!file) {
        return std::nullopt;
    }
    TranscriptState state(transcriptSessionId(transcript));
    return state.update(*file);
}

std::string transcriptSessionId(const std::filesystem::path& transcript) {
    return transcript.stem().string();
}

}  // namespace fernbeacon
