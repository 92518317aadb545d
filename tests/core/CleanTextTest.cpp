#include <gtest/gtest.h>

#include <chrono>

#include "core/Text.h"

namespace fernbeacon {
namespace {

struct CleanCase {
    const char* input;
    std::optional<std::string> expected;
};

void expectCleans(std::initializer_list<CleanCase> cases) {
    for (const CleanCase& c : cases) {
        EXPECT_EQ(cleanText(c.input), c.expected) << "input: " << c.input;
    }
}

TEST(CleanText, RemovesTagPairsWithTheirContentAcrossLines) {
    expectCleans({
        {"Fix <b>this</b> typo", "Fix typo"},
        {"before <note>\nhidden\nlines\n</note> after", "before after"},
        {"<a>x</a> keep <a>y</a>", "keep"},
        {"<command-name>/clear</command-name>", std::nullopt},
        {"<a><a>x</a></a>y", "y"},  // shortest pair first, the stray closing tag after it
        {"<a>x</b> y", "x y"},      // names differ: only the tags go
    });
}

TEST(CleanText, RemovesLoneTagsAndAnythingBetweenLessAndGreaterThan) {
    expectCleans({
        {"<br>line", "line"},
        {"a < b and c > d", "a d"},
        {"a < b", "a < b"},
        {"x <unclosed", "x <unclosed"},
    });
}

TEST(CleanText, RemovesInterruptionNotesAndCaveatLines) {
    expectCleans({
        {"[Request interrupted by user] go on", "go on"},
        {"[Interrupted] kept", "[Interrupted] kept"},
        {"Caveat: ignore this\nreal text", "real text"},
        {"Caveat: only a caveat", std::nullopt},
        {"first\nCaveat: middle\nlast", "first last"},
        {" Caveat: not at the line start", "Caveat: not at the line start"},
    });
}

TEST(CleanText, JoinsLinesFoldsSpacesAndTrimsSpacesAndTabsOnly) {
    expectCleans({
        {"one\ntwo\n\nthree", "one two three"},
        {"a    b", "a b"},
        {"a\t\tb", "a\t\tb"},
        {"\n\t x \t\n", "x"},
        {"\u00A0\u3000text\u2003\t", "text"},
        {"a\r\nb", "a\r b"},
        {"line\r", "line\r"},
        {"", std::nullopt},
        {" \t\u00A0", std::nullopt},
    });
}

TEST(CleanText, UnclosedTagsCostLinearTime) {
    std::string text;
    for (int i = 0; i < 22000; ++i) {
        text += "<a>";
    }
    text += " tail";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(cleanText(text), "tail");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

}  // namespace
}  // namespace fernbeacon
