// One transcript record at a time: every line of the input is parsed as the readers parse it and
// asked for its message text and first-prompt candidate.
#include "FuzzSupport.h"
#include "core/SessionRecords.h"
#include "core/Text.h"
#include "core/Transcript.h"

namespace fernbeacon::fuzz {
namespace {

void checkRecord(const json::Object& record) {
    const auto text = extractMessageText(record);
    const auto prompt = firstPromptCandidate(record);
    require(text || !prompt, "a prompt needs a message text");
    if (!prompt) {
        return;
    }
    const std::string_view trimmed = trimSpacesAndTabs(*text);
    require(!trimmed.starts_with("<") || trimmed.starts_with("< "), "markup is no prompt");
    require(!trimmed.starts_with("Caveat:"), "a caveat is no prompt");
    require(!prompt->empty() && isValidUtf8(*prompt), "a prompt is UTF-8 text");
    require(!byteLengthOfGraphemes(*prompt, kFirstPromptLength + 1), "at most 100 characters");
    require(prompt->find('\n') == std::string::npos, "a prompt is one line");
    // Cut at 100 characters, a prompt may end in a space; it never starts with one.
    require(trimSpacesAndTabs(*prompt).data() == prompt->data(), "a prompt starts with text");
    // The clean-up runs again on a title and is not idempotent: "\n Caveat: x" keeps a line that
    // the second pass drops, so a prompt need not give a title.
    const auto title = displayTitleFor(std::nullopt, std::nullopt, std::nullopt, *prompt);
    require(!title || !byteLengthOfGraphemes(*title, 46), "a title has at most 45 characters");
}

}  // namespace
}  // namespace fernbeacon::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace fernbeacon::fuzz;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    for (const std::string_view line : splitLines(input)) {
        withRecord(line, checkRecord);
    }
    return 0;
}
