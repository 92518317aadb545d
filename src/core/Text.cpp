#include "core/Text.h"

#include <unicode/brkiter.h>
#include <unicode/normalizer2.h>
#include <unicode/regex.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utext.h>
#include <unicode/utf8.h>

#include <simdjson.h>

#include <algorithm>
#include <array>
#include <memory>

namespace fernbeacon {
namespace {

bool isSpaceOrTab(UChar32 c) {
    return c == 0x09 || u_charType(c) == U_SPACE_SEPARATOR;
}

bool isWhitespaceOrNewline(UChar32 c) {
    if ((c >= 0x09 && c <= 0x0D) || c == 0x85) {
        return true;
    }
    const auto type = u_charType(c);
    return type == U_SPACE_SEPARATOR || type == U_LINE_SEPARATOR || type == U_PARAGRAPH_SEPARATOR;
}

template <typename Predicate>
std::string_view trimWith(std::string_view text, Predicate drop) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    int32_t begin = 0;
    while (begin < length) {
        int32_t next = begin;
        UChar32 c;
        U8_NEXT(bytes, next, length, c);
        if (c < 0 || !drop(c)) {
            break;
        }
        begin = next;
    }
    int32_t end = length;
    while (end > begin) {
        int32_t previous = end;
        UChar32 c;
        U8_PREV(bytes, begin, previous, c);
        if (c < 0 || !drop(c)) {
            break;
        }
        end = previous;
    }
    return text.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin));
}

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// ICU iterators are costly to create and not thread-safe, so each thread keeps its own.
icu::BreakIterator* characterBreaks() {
    thread_local std::unique_ptr<icu::BreakIterator> iterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> made(
            icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        return U_SUCCESS(status) ? std::move(made) : nullptr;
    }();
    return iterator.get();
}

const icu::Normalizer2* nfc() {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* normalizer = icu::Normalizer2::getNFCInstance(status);
    return U_SUCCESS(status) ? normalizer : nullptr;
}

std::string toUtf8(const icu::UnicodeString& text) {
    std::string out;
    text.toUTF8String(out);
    return out;
}

icu::UnicodeString fromUtf8(std::string_view text) {
    return icu::UnicodeString::fromUTF8(
        icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
}

struct CleanupStep {
    std::unique_ptr<icu::RegexPattern> pattern;  // null when it failed to compile
    icu::UnicodeString replacement;
};

CleanupStep compileStep(const char* pattern, const char16_t* replacement) {
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError;
    CleanupStep step{std::unique_ptr<icu::RegexPattern>(
                         icu::RegexPattern::compile(fromUtf8(pattern), 0, parseError, status)),
                     icu::UnicodeString(replacement)};
    if (U_FAILURE(status)) {
        step.pattern.reset();
    }
    return step;
}

// Steps 1 to 4 remove markup; step 6 folds space runs once line feeds have become spaces.
struct CleanupSteps {
    std::array<CleanupStep, 4> markup{
        compileStep(R"(<([a-zA-Z][a-zA-Z0-9_-]*)>[\s\S]*?</\1>)", u""),
        compileStep(R"(<[^>]+>)", u""),
        compileStep(R"(\[[^\]]*interrupted[^\]]*\])", u""),
        compileStep(R"((?m)^Caveat:.*$)", u""),
    };
    CleanupStep spaceRuns = compileStep("  +", u" ");
};

const CleanupSteps& cleanupSteps() {
    static const CleanupSteps steps;
    return steps;
}

// The pair pattern scans the rest of the text for every unclosed opening tag, so crafted markup
// costs quadratic time (seconds for 64 KB of repeated tags). The limit counts engine steps, not
// wall time, so it is deterministic; real prompts and summaries stay far below it.
constexpr int32_t kRegexStepLimit = 1000;

// Replaces every match; on an engine failure (such as its backtracking limit on hostile input)
// the step leaves the text as it was.
void replaceAll(icu::UnicodeString& text, const CleanupStep& step) {
    if (step.pattern == nullptr) {
        return;
    }
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> matcher(step.pattern->matcher(text, status));
    if (U_FAILURE(status)) {
        return;
    }
    matcher->setTimeLimit(kRegexStepLimit, status);
    icu::UnicodeString result = matcher->replaceAll(step.replacement, status);
    if (U_SUCCESS(status)) {
        text = std::move(result);
    }
}

}  // namespace

std::string_view trimSpacesAndTabs(std::string_view text) {
    return trimWith(text, isSpaceOrTab);
}

std::string_view trimWhitespaceAndNewlines(std::string_view text) {
    return trimWith(text, isWhitespaceOrNewline);
}

std::optional<std::size_t> byteLengthOfGraphemes(std::string_view text, std::size_t count) {
    if (count == 0) {
        return 0;
    }
    if (isAscii(text)) {
        // Every ASCII character is its own cluster, except CR LF, which is one.
        std::size_t clusters = 0;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
            if (++clusters == count) {
                return i + 1;
            }
        }
        return std::nullopt;
    }
    icu::BreakIterator* breaks = characterBreaks();
    if (breaks == nullptr) {
        return std::nullopt;
    }
    UErrorCode status = U_ZERO_ERROR;
    UText* utext = utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status);
    if (U_FAILURE(status)) {
        utext_close(utext);
        return std::nullopt;
    }
    breaks->setText(utext, status);
    std::optional<std::size_t> result;
    std::size_t clusters = 0;
    for (int32_t boundary = breaks->next(); boundary != icu::BreakIterator::DONE;
         boundary = breaks->next()) {
        if (++clusters == count) {
            result = static_cast<std::size_t>(boundary);
            break;
        }
    }
    utext_close(utext);
    return result;
}

std::string prefixGraphemes(std::string_view text, std::size_t count) {
    const auto length = byteLengthOfGraphemes(text, count);
    return std::string(length ? text.substr(0, *length) : text);
}

bool canonicallyEqual(std::string_view a, std::string_view b) {
    if (a == b) {
        return true;
    }
    if (isAscii(a) && isAscii(b)) {
        return false;
    }
    return canonicalForm(a) == canonicalForm(b);
}

std::string canonicalForm(std::string_view text) {
    if (isAscii(text)) {
        return std::string(text);
    }
    const icu::Normalizer2* normalizer = nfc();
    if (normalizer == nullptr) {
        return std::string(text);
    }
    UErrorCode status = U_ZERO_ERROR;
    const auto source = fromUtf8(text);
    const icu::UnicodeString normalized = normalizer->normalize(source, status);
    return U_SUCCESS(status) ? toUtf8(normalized) : std::string(text);
}

std::string lowercased(std::string_view text) {
    if (isAscii(text)) {
        std::string out(text);
        std::transform(out.begin(), out.end(), out.begin(), [](char c) {
            return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        });
        return out;
    }
    auto unicode = fromUtf8(text);
    unicode.toLower(icu::Locale::getRoot());
    return toUtf8(unicode);
}

bool isValidUtf8(std::string_view bytes) {
    return simdjson::validate_utf8(bytes.data(), bytes.size());
}

std::optional<std::string> cleanText(std::string_view text) {
    const CleanupSteps& steps = cleanupSteps();
    icu::UnicodeString working = fromUtf8(text);
    for (const CleanupStep& step : steps.markup) {
        replaceAll(working, step);
    }
    working.findAndReplace(icu::UnicodeString(u'\n'), icu::UnicodeString(u' '));
    replaceAll(working, steps.spaceRuns);
    const std::string out = toUtf8(working);
    const std::string_view trimmed = trimSpacesAndTabs(out);
    if (trimmed.empty()) {
        return std::nullopt;
    }
    return std::string(trimmed);
}

std::string lastPathComponent(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') {
        path.remove_suffix(1);
    }
    if (path == "/") {
        return "/";
    }
    const auto slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

}  // namespace fernbeacon
