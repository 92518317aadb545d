// A project folder's session index: read whole, its entries dated and the live session's entry
// applied. How the recent sessions are chosen from it, the unit tests pin.
#include "FuzzSupport.h"
#include "core/Json.h"
#include "core/SessionIndex.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace fernbeacon;
    using namespace fernbeacon::fuzz;
    const auto indexFile = scratchDirectory() / kSessionIndexName;
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
    return 0;
}
