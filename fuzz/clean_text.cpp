// The display clean-up and the title rule on arbitrary text, and the text helpers under them.
#include "FuzzSupport.h"
#include "core/SessionRecords.h"
#include "core/Text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace fernbeacon;
    using fuzz::require;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const bool valid = isValidUtf8(text);

    if (const auto cleaned = cleanText(text)) {
        require(!cleaned->empty() && isValidUtf8(*cleaned), "clean text is UTF-8 text");
        require(cleaned->find('\n') == std::string::npos, "clean text is one line");
        require(trimSpacesAndTabs(*cleaned).size() == cleaned->size(), "clean text is trimmed");
    }
    const auto title = displayTitleFor(std::nullopt, std::string(text), std::nullopt, std::nullopt);
    require(!title || !byteLengthOfGraphemes(*title, 46), "a title has at most 45 characters");

    const std::string prefix = prefixGraphemes(text, size % 50);
    require(text.starts_with(prefix), "a prefix is a prefix");
    if (valid) {
        const std::string canonical = canonicalForm(text);
        require(canonicallyEqual(text, canonical), "equal to its canonical form");
        require(canonicalForm(canonical) == canonical, "the canonical form is stable");
    }
    return 0;
}
