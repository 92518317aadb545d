#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Text helpers shared by the records, the readers and the probes. Every text is UTF-8; inputs
// that are not valid UTF-8 are handled without crashing but with no promise about the result.
namespace fernbeacon {

// Calls `visit` with each piece of `text` between line feeds, the last piece included even
// when it is empty.
template <typename Visitor>
void forEachLine(std::string_view text, Visitor&& visit) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find('\n', start);
        visit(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) {
            return;
        }
        start = end + 1;
    }
}

// Trims spaces and tabs at both ends: Unicode category Zs and U+0009. Line breaks stay.
std::string_view trimSpacesAndTabs(std::string_view text);

// Trims white space and line breaks at both ends: Zs, Zl, Zp, U+0009 to U+000D and U+0085.
std::string_view trimWhitespaceAndNewlines(std::string_view text);

// Byte length of the first `count` user-perceived characters (extended grapheme clusters), or
// absent when the text holds fewer than `count` of them.
std::optional<std::size_t> byteLengthOfGraphemes(std::string_view text, std::size_t count);

// The first `count` user-perceived characters of the text (all of it when shorter).
std::string prefixGraphemes(std::string_view text, std::size_t count);

// Text equality under Unicode canonical equivalence.
bool canonicallyEqual(std::string_view a, std::string_view b);

// A form of the text that is equal for canonically equivalent texts (NFC), for use as a set key.
std::string canonicalForm(std::string_view text);

// Full Unicode lower-casing (root locale).
std::string lowercased(std::string_view text);

bool isValidUtf8(std::string_view bytes);

// The display clean-up of summaries and prompts; absent when nothing is left.
std::optional<std::string> cleanText(std::string_view text);

// The last component of a path, ignoring trailing separators ("/a/b/" gives "b", "/" gives "/").
std::string lastPathComponent(std::string_view path);

}  // namespace fernbeacon
