// The index's ISO 8601 dates, checked against the C library's calendar.
#include <ctime>

#include "FuzzSupport.h"
#include "core/Iso8601.h"

namespace fernbeacon::fuzz {
namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

int number(std::string_view text, std::size_t at, std::size_t digits) {
    int value = 0;
    for (std::size_t i = at; i < at + digits; ++i) {
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// YYYY-MM-DDTHH:MM:SS[.F+](Z|±HH:MM) with a real date and time, as timegm sees it.
std::optional<double> reference(std::string_view text) {
    const std::string_view shape = "dddd-dd-ddTdd:dd:dd";
    if (text.size() < shape.size()) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < shape.size(); ++i) {
        if (shape[i] == 'd' ? !isDigit(text[i]) : text[i] != shape[i]) {
            return std::nullopt;
        }
    }
    std::size_t at = shape.size();
    double fraction = 0;
    if (at < text.size() && text[at] == '.') {
        const std::size_t first = ++at;
        double scale = 0.1;
        for (; at < text.size() && isDigit(text[at]); ++at, scale /= 10) {
            fraction += (text[at] - '0') * scale;
        }
        if (at == first) {
            return std::nullopt;
        }
    }
    int offset = 0;
    const std::string_view zone = text.substr(at);
    if (zone != "Z") {
        if (zone.size() != 6 || (zone[0] != '+' && zone[0] != '-') || !isDigit(zone[1]) ||
            !isDigit(zone[2]) || zone[3] != ':' || !isDigit(zone[4]) || !isDigit(zone[5])) {
            return std::nullopt;
        }
        const int hours = number(zone, 1, 2);
        const int minutes = number(zone, 4, 2);
        if (hours > 23 || minutes > 59) {
            return std::nullopt;
        }
        offset = (hours * 60 + minutes) * 60 * (zone[0] == '-' ? -1 : 1);
    }
    std::tm fields{};
    fields.tm_year = number(text, 0, 4) - 1900;
    fields.tm_mon = number(text, 5, 2) - 1;
    fields.tm_mday = number(text, 8, 2);
    fields.tm_hour = number(text, 11, 2);
    fields.tm_min = number(text, 14, 2);
    fields.tm_sec = number(text, 17, 2);
    const std::tm asWritten = fields;
    const time_t seconds = ::timegm(&fields);
    // timegm carries out-of-range fields into the next unit; a real date comes back unchanged.
    if (fields.tm_year != asWritten.tm_year || fields.tm_mon != asWritten.tm_mon ||
        fields.tm_mday != asWritten.tm_mday || fields.tm_hour != asWritten.tm_hour ||
        fields.tm_min != asWritten.tm_min || fields.tm_sec != asWritten.tm_sec) {
        return std::nullopt;
    }
    return static_cast<double>(seconds) - offset + fraction;
}

}  // namespace
}  // namespace fernbeacon::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace fernbeacon;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto parsed = parseInternetDateTime(text);
    const auto expected = fuzz::reference(text);
    fuzz::require(parsed.has_value() == expected.has_value(), "accepts what the calendar does");
    if (parsed) {
        fuzz::require(secondsSince1970(*parsed) == *expected, "the same instant");
    }
    return 0;
}
