#include "core/SessionIndex.h"

#include "core/FileReading.h"
#include "core/Iso8601.h"
#include "core/Text.h"

namespace fernbeacon {

std::optional<SessionIndex> SessionIndex::read(const std::filesystem::path& file) {
    const auto bytes = readWholeFile(file, kSessionIndexLimit);
    if (!bytes) {
        return std::nullopt;
    }
    // The parsed document keeps its own copy of every string, so the bytes can go.
    SessionIndex index;
    index.parser_ = std::make_unique<json::Parser>();
    const auto root = index.parser_->parseObject(bytes->view());
    if (!root) {
        return std::nullopt;
    }
    const auto entries = json::arrayOfObjects(*root, "entries");
    if (!entries) {
        return std::nullopt;
    }
    index.root_ = *root;
    index.entries_ = *entries;
    return index;
}

std::optional<std::string_view> SessionIndex::originalPath() const {
    return json::string(root_, "originalPath");
}

void applySessionIndex(ClaudeSession& session, const std::filesystem::path& indexFile,
                       std::string_view sessionId) {
    const auto index = SessionIndex::read(indexFile);
    if (!index) {
        return;
    }
    for (json::Element element : index->entries()) {
        const json::Object entry = element.get_object().value_unsafe();
        const auto id = json::string(entry, "sessionId");
        if (!id || !canonicallyEqual(*id, sessionId)) {
            continue;
        }
        if (const auto summary = json::string(entry, "summary"); summary && !summary->empty()) {
            session.summary = std::string(*summary);
        }
        if (const auto count = json::integer(entry, "messageCount")) {
            session.messageCount = count;
        }
        if (const auto branch = json::string(entry, "gitBranch"); branch && !branch->empty()) {
            session.gitBranch = std::string(*branch);
        }
        return;
    }
}

std::optional<Instant> indexEntryDate(const json::Object& entry) {
    if (const auto milliseconds = json::number(entry, "fileMtime")) {
        return instantFromSecondsSince1970(*milliseconds / 1000.0);
    }
    if (const auto modified = json::string(entry, "modified")) {
        return parseInternetDateTime(*modified);
    }
    return std::nullopt;
}

}  // namespace fernbeacon
