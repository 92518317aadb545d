#include "core/ProcessOutput.h"

#include <charconv>
#include <cstdio>
#include <limits>

#include "core/Text.h"

namespace fernbeacon {
namespace {

// Pieces between `separator`s, empty pieces left out.
std::vector<std::string_view> splitOmittingEmpty(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(separator, start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        if (end > start) {
            parts.push_back(text.substr(start, end - start));
        }
        start = end + 1;
    }
    return parts;
}

// A signed decimal integer: an optional sign, then digits only.
template <typename Integer>
std::optional<Integer> parseDecimal(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    // Parse the magnitude one wider than the type so that the most negative value fits.
    std::uint64_t magnitude = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    constexpr auto max = static_cast<std::uint64_t>(std::numeric_limits<Integer>::max());
    if (magnitude > max + (negative ? 1 : 0)) {
        return std::nullopt;
    }
    if (negative) {
        return magnitude == max + 1 ? std::numeric_limits<Integer>::min()
                                    : static_cast<Integer>(-static_cast<Integer>(magnitude));
    }
    return static_cast<Integer>(magnitude);
}

// Splits off the next field: skips spaces, then takes the text up to the next space.
std::optional<std::string_view> nextField(std::string_view& rest) {
    const std::size_t begin = rest.find_first_not_of(' ');
    if (begin == std::string_view::npos) {
        return std::nullopt;
    }
    rest.remove_prefix(begin);
    const std::size_t end = rest.find(' ');
    if (end == std::string_view::npos) {
        const std::string_view field = rest;
        rest = {};
        return field;
    }
    const std::string_view field = rest.substr(0, end);
    rest.remove_prefix(end);
    return field;
}

std::string plural(std::int64_t count, const char* one, const char* many) {
    return count == 1 ? std::string("1 ") + one : std::to_string(count) + " " + many;
}

}  // namespace

std::optional<std::int32_t> parseInt32(std::string_view text) {
    return parseDecimal<std::int32_t>(text);
}

std::optional<std::int64_t> parseInt64(std::string_view text) {
    return parseDecimal<std::int64_t>(text);
}

std::vector<std::int32_t> parsePgrepOutput(std::string_view output) {
    std::vector<std::int32_t> pids;
    forEachLine(output, [&](std::string_view line) {
        const std::string_view piece = trimWhitespaceAndNewlines(line);
        if (const auto pid = piece.empty() ? std::nullopt : parseInt32(piece)) {
            pids.push_back(*pid);
        }
    });
    return pids;
}

std::vector<std::int32_t> parseClaudeLinesOfPs(std::string_view output) {
    std::vector<std::int32_t> pids;
    forEachLine(output, [&](std::string_view line) {
        const std::string_view trimmed = trimWhitespaceAndNewlines(line);
        if (!trimmed.ends_with("/claude") && !trimmed.ends_with(" claude")) {
            return;
        }
        const std::string_view first = trimmed.substr(0, trimmed.find(' '));
        if (const auto pid = parseInt32(first)) {
            pids.push_back(*pid);
        }
    });
    return pids;
}

std::unordered_map<std::int32_t, ProcessRow> parseParentTable(std::string_view output) {
    std::unordered_map<std::int32_t, ProcessRow> table;
    forEachLine(output, [&](std::string_view line) {
        std::string_view rest = trimSpacesAndTabs(line);
        const auto pidField = nextField(rest);
        const auto ppidField = nextField(rest);
        // The command is everything after the one space that ends the parent ID.
        if (!pidField || !ppidField || rest.size() < 2) {
            return;
        }
        const auto pid = parseInt32(*pidField);
        const auto ppid = parseInt32(*ppidField);
        if (!pid || !ppid) {
            return;
        }
        table.insert_or_assign(*pid,
                               ProcessRow{*pid, *ppid, std::nullopt, std::string(rest.substr(1))});
    });
    return table;
}

std::vector<ProcessRow> parsePsTtyTable(std::string_view output) {
    std::vector<ProcessRow> rows;
    forEachLine(output, [&](std::string_view line) {
        std::string_view rest = trimSpacesAndTabs(line);
        const auto pid = nextField(rest);
        const auto ppid = nextField(rest);
        const auto tty = nextField(rest);
        // The command may hold spaces; the column before it is padded.
        const std::string_view command = trimSpacesAndTabs(rest);
        const auto pidNumber = pid ? parseInt32(*pid) : std::nullopt;
        const auto ppidNumber = ppid ? parseInt32(*ppid) : std::nullopt;
        if (!pidNumber || !ppidNumber || !tty || command.empty()) {
            return;
        }
        rows.push_back(
            {*pidNumber, *ppidNumber,
             *tty == "?" || *tty == "??" ? std::nullopt : std::optional(std::string(*tty)),
             std::string(command)});
    });
    return rows;
}

std::optional<std::string> parseTtyOutput(std::string_view output,
                                          std::string_view noTerminalMark) {
    const std::string_view tty = trimWhitespaceAndNewlines(output);
    if (tty.empty() || tty == noTerminalMark) {
        return std::nullopt;
    }
    return std::string(tty);
}

std::optional<std::string> parseLsofCwdOutput(std::string_view output) {
    const std::string_view line = trimWhitespaceAndNewlines(output);
    if (!line.starts_with("n/")) {
        return std::nullopt;
    }
    return std::string(line.substr(1));
}

std::string formatElapsedTime(std::string_view elapsed) {
    const std::string_view s = trimSpacesAndTabs(elapsed);
    if (s.find('-') != std::string_view::npos) {
        const auto parts = splitOmittingEmpty(s, '-');
        if (const auto days = parts.empty() ? std::nullopt : parseInt64(parts[0])) {
            return plural(*days, "day", "days");
        }
    }
    const auto parts = splitOmittingEmpty(s, ':');
    if (parts.size() == 3) {
        const auto hours = parseInt64(parts[0]);
        return hours ? plural(*hours, "hr", "hrs") : std::string(s);
    }
    if (parts.size() == 2) {
        const auto minutes = parseInt64(parts[0]);
        if (!minutes) {
            return std::string(s);
        }
        return *minutes == 0 ? std::string("<1 min") : plural(*minutes, "min", "mins");
    }
    return std::string(s);
}

std::string elapsedTimeText(std::uint64_t seconds) {
    const std::uint64_t days = seconds / 86400;
    const unsigned hours = static_cast<unsigned>(seconds / 3600 % 24);
    const unsigned minutes = static_cast<unsigned>(seconds / 60 % 60);
    const unsigned secs = static_cast<unsigned>(seconds % 60);
    char text[64];
    if (days > 0) {
        std::snprintf(text, sizeof text, "%llu-%02u:%02u:%02u",
                      static_cast<unsigned long long>(days), hours, minutes, secs);
    } else if (hours > 0) {
        std::snprintf(text, sizeof text, "%02u:%02u:%02u", hours, minutes, secs);
    } else {
        std::snprintf(text, sizeof text, "%02u:%02u", minutes, secs);
    }
    return text;
}

}  // namespace fernbeacon
