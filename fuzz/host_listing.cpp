// What kitty and WezTerm print about their windows and panes. The first line says what is looked
// for: "<kitty window|-> <root pid> <tty> <pane from the environment>"; the rest is the listing.
// Besides the promises on any bytes, an OS window or pane added first or last to a listing that
// is an array is found, or not, as the order of the listing says.
#include <algorithm>
#include <array>

#include "FuzzSupport.h"
#include "core/ProcessOutput.h"
#include "core/Text.h"
#include "terminal/HostListings.h"
#include "terminal/LinuxHosts.h"

namespace fernbeacon::fuzz {
namespace {

constexpr std::int64_t kAdded = 987654321;

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

// The listing with `element` as its first and as its last element, when it is an array.
std::optional<std::pair<std::string, std::string>> withElement(const std::string& listing,
                                                               const std::string& element) {
    static simdjson::dom::parser parser;
    simdjson::dom::array array;
    if (!listing.starts_with('[') || !listing.ends_with(']') ||
        parser.parse(listing).get(array) != simdjson::SUCCESS) {
        return std::nullopt;
    }
    const std::string inner = listing.substr(1, listing.size() - 2);
    const std::string comma = array.size() == 0 ? "" : ",";
    return std::pair{"[" + element + comma + inner + "]", "[" + inner + comma + element + "]"};
}

bool names(std::string_view listing, std::int64_t number) {
    return listing.find(std::to_string(number)) != std::string_view::npos;
}

void checkKitty(const std::string& listing, const Query& query) {
    const auto show = [&](const std::string& text) {
        return kittyOsWindowShowing(text, query.window, query.rootPid);
    };
    const auto found = show(listing);
    require(!found || (*found > 0 && names(listing, static_cast<std::int64_t>(*found)) &&
                       names(listing, query.window.value_or(query.rootPid))),
            "an OS window, and the window looked for, are ones the listing names");
    const auto window = [](std::int64_t id, std::int64_t pid) {
        return R"({"platform_window_id":)" + std::to_string(kAdded) +
               R"(,"tabs":[{"id":1,"windows":[{"id":)" + std::to_string(id) + R"(,"pid":)" +
               std::to_string(pid) + "}]}]}";
    };
    // With a window id, the root process alone does not match.
    const auto other =
        query.window ? window(*query.window ^ 1, query.rootPid) : window(1, query.rootPid ^ 1);
    if (const auto added = withElement(listing, other)) {
        require(show(added->first) == found && show(added->second) == found,
                "another window changes nothing");
    }
    const auto matching =
        window(query.window.value_or(1), query.window ? query.rootPid ^ 1 : query.rootPid);
    if (const auto added = withElement(listing, matching)) {
        require(show(added->first) == kAdded && show(added->second) == found.value_or(kAdded),
                "the first OS window showing the window is found");
    }
}

bool samePane(const std::optional<WezTermPane>& a, const std::optional<WezTermPane>& b) {
    return a.has_value() == b.has_value() &&
           (!a || (a->id == b->id && a->windowTitle == b->windowTitle));
}

void checkWezTerm(const std::string& output, const Query& query) {
    const auto show = [&](const std::string& text) {
        return weztermPaneShowing(text, query.tty, query.pane);
    };
    const auto found = show(output);
    const auto onTty = weztermPaneShowing(output, query.tty, std::nullopt);
    require(!onTty || samePane(found, onTty), "the pane on the tty comes first");
    require(!found || names(output, found->id), "a pane is one the listing names");
    if (!std::all_of(query.tty.begin(), query.tty.end(),
                     [](char c) { return c >= ' ' && c <= '~' && c != '"' && c != '\\'; })) {
        return;
    }
    const auto pane = [](std::int64_t id, const std::string& tty) {
        return R"({"pane_id":)" + std::to_string(id) + R"(,"tty_name":")" + tty +
               R"(","window_title":"added"})";
    };
    const WezTermPane added{kAdded, "added"};
    if (const auto listings = withElement(output, pane(kAdded, query.tty))) {
        require(samePane(show(listings->first), added) &&
                    samePane(show(listings->second), onTty ? onTty : added),
                "the first pane on the tty is found");
    }
    const auto paneId = query.pane ? parseInt64(*query.pane) : std::nullopt;
    const auto listings =
        paneId ? withElement(output, pane(*paneId, query.tty + "/")) : std::nullopt;
    if (listings) {
        const WezTermPane named{*paneId, "added"};
        require(samePane(show(listings->first), found ? found : named) &&
                    samePane(show(listings->second), onTty ? onTty : named),
                "without a pane on the tty, the last pane the environment names is found");
    }
}

}  // namespace
}  // namespace fernbeacon::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace fernbeacon;
    using namespace fernbeacon::fuzz;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::size_t newline = std::min(text.find('\n'), text.size());
    const Query query = readQuery(text.substr(0, newline));
    const std::string listing(trimWhitespaceAndNewlines(text.substr(std::min(newline + 1, size))));
    checkKitty(listing, query);
    checkWezTerm(listing, query);
    require(!trailingNumber(query.tty) || query.tty.find('/') != std::string::npos,
            "a number follows a slash");
    require(trailingNumber(query.tty + '/' + std::to_string(query.rootPid)) == query.rootPid,
            "the number after the last slash is read");
    return 0;
}
