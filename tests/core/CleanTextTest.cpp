#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "core/Text.h"

namespace fernbeacon {
namespace {

TEST(CleanText, DropsMarkupNotesAndCaveatsAndFoldsTheRestIntoOneTrimmedLine) {
    const struct {
        const char* input;
        std::optional<std::string> expected;
    } cases[] = {
        // Tag pairs go with their content, across lines; the shortest pair first.
        {"Fix <b>this</b> typo", "Fix typo"},
        {"before <note>\nhidden\nlines\n</note> after", "before after"},
        {"<a>x</a> keep <a>y</a>", "keep"},
        {"<command-name>/clear</command-name>", std::nullopt},
        {"<a>x</b> y", "x y"},  // names differ: only the tags go
        // So does anything between less and greater than.
        {"a < b and c > d", "a d"},
        {"a < b", "a < b"},
        {"[Request interrupted by user] go on", "go on"},
        {"[Interrupted] kept", "[Interrupted] kept"},
        {"Caveat: ignore this\nreal text", "real text"},
        {"first\nCaveat: middle\nlast", "first last"},
        {" Caveat: not at the line start", "Caveat: not at the line start"},
        // Line feeds join, runs of spaces fold, and only spaces and tabs are trimmed.
        {"one\ntwo\n\nthree", "one two three"},
        {"a    b", "a b"},
        {"a\t\tb", "a\t\tb"},
        {"\u00A0\u3000text\u2003\t", "text"},
        {"a\r\nb", "a\r b"},
        {" \t\u00A0", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(cleanText(c.input), c.expected) << "input: " << c.input;
    }
}

TEST(PrefixGraphemes, CountsACarriageReturnAndLineFeedAsOneCharacter) {
    EXPECT_EQ(prefixGraphemes("\r\nab", 2), "\r\na");
    EXPECT_EQ(prefixGraphemes("ab\r", 3), "ab\r");
}

// The tag-pair step scans the rest of the text for each unclosed tag, and gives up after a fixed
// number of engine steps: four times as many tags then cost about the same, not sixteen times.
// The two sizes are timed in turns and the best of each kept, so a busy machine slows both alike.
TEST(CleanText, UnclosedTagsCostBoundedTime) {
    const auto unclosed = [](int tags) {
        std::string text;
        for (int i = 0; i < tags; ++i) {
            text += "<a>";
        }
        return text + " tail";
    };
    const std::string texts[] = {unclosed(16000), unclosed(64000)};
    std::chrono::nanoseconds best[] = {std::chrono::hours(1), std::chrono::hours(1)};
    for (int round = 0; round < 2; ++round) {
        for (int i : {0, 1}) {
            const auto start = std::chrono::steady_clock::now();
            ASSERT_EQ(cleanText(texts[i]), "tail");
            best[i] = std::min(best[i], std::chrono::steady_clock::now() - start);
        }
    }
    EXPECT_LT(best[1], best[0] * 4);
}

}  // namespace
}  // namespace fernbeacon
