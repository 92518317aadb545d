// A project folder's session index: read whole, its entries dated, the live session's entry
// applied and the recent session chosen, next to a transcript the path may fall back on.
#include "FuzzSupport.h"
#include "core/Logger.h"
#include "core/SessionIndex.h"
#include "core/SessionScanner.h"
#include "support/Fakes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace fernbeacon;
    using namespace fernbeacon::fuzz;
    static const auto claudeDir = scratchDirectory() / ".claude";
    static const auto folder = claudeDir / "projects" / "-p";
    static const bool transcriptWritten = [] {
        writeFile(folder / "s.jsonl", "{\"cwd\":\"/from/transcript\"}\n");
        return true;
    }();
    require(transcriptWritten, "transcript written");
    const auto indexFile = folder / kSessionIndexName;
    writeFile(indexFile, {reinterpret_cast<const char*>(data), size});

    std::optional<std::string> firstId;
    if (const auto index = SessionIndex::read(indexFile)) {
        for (json::Element element : index->entries()) {
            const json::Object entry = element.get_object().value_unsafe();
            (void)indexEntryDate(entry);
            if (!firstId) {
                if (const auto id = json::string(entry, "sessionId")) {
                    firstId = std::string(*id);
                }
            }
        }
    }
    ClaudeSession session(1, std::nullopt, std::nullopt, std::nullopt);
    session.messageCount = -1;
    applySessionIndex(session, indexFile, firstId.value_or("s"));
    require(!session.summary || !session.summary->empty(), "an applied summary is not empty");
    require(!session.gitBranch || !session.gitBranch->empty(), "an applied branch is not empty");

    // 2025-06-15 12:00:00 UTC.
    const test::FixedClock clock(instantFromSecondsSince1970(1749988800.0));
    test::FakeProbes probes;
    test::MemoryPreferences preferences;
    NullLogger logger;
    const SessionScanner scanner(claudeDir, probes, preferences, clock, logger);
    const auto recent = scanner.recentSessions(DirectorySet());
    require(recent.size() <= 1, "one recent session per folder");
    for (const RecentSession& found : recent) {
        require(found.modified > clock.now() - std::chrono::hours(24 * 30), "recent is recent");
    }
    return 0;
}
