// What kitty and WezTerm print about their windows and panes. The first line says what is looked
// for: "<kitty window|-> <root pid> <tty> <pane from the environment>"; the rest is the listing.
// Besides the promises on any bytes, an OS window or pane added to a listing that is an array
// is found, or not, as the order of the listing says.
#include <algorithm>
#include <array>

#include "FuzzSupport.h"
#include "core/ProcessOutput.h"
#include "terminal/HostListings.h"
#include "terminal/LinuxHosts.h"

namespace fernbeacon::fuzz {
namespace {

struct Query {
    std::optional<std::int64_t> window;
    std::int32_t rootPid = 0;
    std::string tty;
    std::optional<std::string> pane;
};

Query readQuery(std::string_view line) {
    std::array<std::string_view, 4> fields;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::size_t space = i + 1 < fields.size() ? line.find(' ') : std::string_view::npos;
        fields[i] = line.substr(0, space);
        line = space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
    }
    return {parseInt64(fields[0]), parseInt32(fields[1]).value_or(0), std::string(fields[2]),
            fields[3].empty() ? std::nullopt : std::optional<std::string>(fields[3])};
}

// The number of elements when the text is a JSON array.
std::optional<std::size_t> arrayLength(const std::string& text) {
    static simdjson::dom::parser parser;
    simdjson::dom::array array;
    if (parser.parse(text).get_array().get(array) != simdjson::SUCCESS) {
        return std::nullopt;
    }
    return array.size();
}

bool jsonSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The listing with `element` as its first and as its last element, when it is an array whose
// brackets are its first and last characters.
std::optional<std::pair<std::string, std::string>> withElement(const std::string& listing,
                                                               std::size_t length,
                                                               const std::string& element) {
    const auto first = std::find_if_not(listing.begin(), listing.end(), jsonSpace);
    const auto last = std::find_if_not(listing.rbegin(), listing.rend(), jsonSpace);
    if (first == listing.end() || *first != '[' || *last != ']') {
        return std::nullopt;
    }
    const std::size_t open = static_cast<std::size_t>(first - listing.begin()) + 1;
    const std::size_t close =
        listing.size() - static_cast<std::size_t>(last - listing.rbegin()) - 1;
    const std::string separator = length == 0 ? "" : ",";
    std::pair<std::string, std::string> both{listing, listing};
    both.first.insert(open, element + separator);
    both.second.insert(close, separator + element);
    require(arrayLength(both.first) == length + 1 && arrayLength(both.second) == length + 1,
            "an element added to an array leaves an array");
    return both;
}

bool containsNumber(std::string_view text, std::int64_t number) {
    return text.find(std::to_string(number)) != std::string_view::npos;
}

void checkKitty(const std::string& listing, const Query& query) {
    const auto found = kittyOsWindowShowing(listing, query.window, query.rootPid);
    const auto length = arrayLength(listing);
    require(length || !found, "only an array lists OS windows");
    if (found) {
        require(*found > 0 && containsNumber(listing, static_cast<std::int64_t>(*found)),
                "an OS window is one the listing names");
        require(containsNumber(listing, query.window.value_or(query.rootPid)),
                "the window looked for is in the listing");
    }
    if (!length) {
        return;
    }
    const auto window = [](std::int64_t platform, std::int64_t id, std::int64_t pid) {
        return R"({"platform_window_id":)" + std::to_string(platform) +
               R"(,"tabs":[{"id":1,"windows":[{"id":)" + std::to_string(id) + R"(,"pid":)" +
               std::to_string(pid) + "}]}]}";
    };
    constexpr std::int64_t kAdded = 987654321;
    // With a window id, the root process alone does not match.
    const std::string other = query.window ? window(kAdded, *query.window ^ 1, query.rootPid)
                                           : window(kAdded, 1, query.rootPid ^ 1);
    if (const auto added = withElement(listing, *length, other)) {
        require(kittyOsWindowShowing(added->first, query.window, query.rootPid) == found &&
                    kittyOsWindowShowing(added->second, query.window, query.rootPid) == found,
                "another window changes nothing");
    }
    const std::string matching =
        window(kAdded, query.window.value_or(1), query.window ? query.rootPid ^ 1 : query.rootPid);
    if (const auto added = withElement(listing, *length, matching)) {
        require(kittyOsWindowShowing(added->first, query.window, query.rootPid) == kAdded,
                "the first OS window showing the window is found");
        require(kittyOsWindowShowing(added->second, query.window, query.rootPid) ==
                    found.value_or(kAdded),
                "a later OS window is found only when no earlier one shows the window");
    }
}

bool samePane(const std::optional<WezTermPane>& a, const std::optional<WezTermPane>& b) {
    return a.has_value() == b.has_value() &&
           (!a || (a->id == b->id && a->windowTitle == b->windowTitle));
}

void checkWezTerm(const std::string& output, const Query& query) {
    const auto found = weztermPaneShowing(output, query.tty, query.pane);
    const auto onTty = weztermPaneShowing(output, query.tty, std::nullopt);
    const auto length = arrayLength(output);
    require(length || !found, "only an array lists panes");
    require(!onTty || samePane(found, onTty), "the pane on the tty comes first");
    require(!found || containsNumber(output, found->id), "a pane is one the listing names");
    const bool plain = std::all_of(query.tty.begin(), query.tty.end(), [](char c) {
        return c >= ' ' && c <= '~' && c != '"' && c != '\\';
    });
    if (!length || !plain) {
        return;
    }
    const auto pane = [](std::int64_t id, const std::string& tty) {
        return R"({"pane_id":)" + std::to_string(id) + R"(,"tty_name":")" + tty +
               R"(","window_title":"added"})";
    };
    constexpr std::int64_t kAdded = 987654321;
    const WezTermPane added{kAdded, "added"};
    if (const auto listings = withElement(output, *length, pane(kAdded, query.tty))) {
        require(samePane(weztermPaneShowing(listings->first, query.tty, query.pane), added),
                "the first pane on the tty is found");
        require(samePane(weztermPaneShowing(listings->second, query.tty, query.pane),
                         onTty ? onTty : added),
                "a later pane on the tty is found only when no earlier one is");
    }
    const auto paneId = query.pane ? parseInt64(*query.pane) : std::nullopt;
    if (!paneId) {
        return;
    }
    if (const auto listings = withElement(output, *length, pane(*paneId, query.tty + "/"))) {
        const WezTermPane named{*paneId, "added"};
        require(samePane(weztermPaneShowing(listings->first, query.tty, query.pane),
                         found ? found : named),
                "an earlier pane named by the environment yields to later ones");
        require(samePane(weztermPaneShowing(listings->second, query.tty, query.pane),
                         onTty ? onTty : named),
                "the last pane named by the environment is found when none is on the tty");
    }
}

void checkTrailingNumber(const Query& query) {
    const auto number = trailingNumber(query.tty);
    require(!number || query.tty.find('/') != std::string::npos, "a number follows a slash");
    require(trailingNumber(query.tty + '/' + std::to_string(query.rootPid)) == query.rootPid,
            "the number after the last slash is read");
}

}  // namespace
}  // namespace fernbeacon::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace fernbeacon::fuzz;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::size_t newline = std::min(text.find('\n'), text.size());
    const Query query = readQuery(text.substr(0, newline));
    const std::string listing(text.substr(std::min(newline + 1, text.size())));
    checkKitty(listing, query);
    checkWezTerm(listing, query);
    checkTrailingNumber(query);
    return 0;
}
