#include "core/Iso8601.h"

#include <chrono>
#include <cstdint>

namespace fernbeacon {
namespace {

class Cursor {
public:
    explicit Cursor(std::string_view text) : text_(text) {}

    std::optional<int> digits(std::size_t count) {
        if (text_.size() - position_ < count) {
            return std::nullopt;
        }
        int value = 0;
        for (std::size_t i = 0; i < count; ++i) {
            const char c = text_[position_ + i];
            if (c < '0' || c > '9') {
                return std::nullopt;
            }
            value = value * 10 + (c - '0');
        }
        position_ += count;
        return value;
    }

    bool literal(char expected) {
        if (position_ < text_.size() && text_[position_] == expected) {
            ++position_;
            return true;
        }
        return false;
    }

    std::optional<char> peek() const {
        return position_ < text_.size() ? std::optional<char>(text_[position_]) : std::nullopt;
    }

    // Digits after a decimal point as a fraction of one; absent when there is none.
    std::optional<double> fraction() {
        double value = 0;
        double scale = 0.1;
        std::size_t count = 0;
        while (position_ < text_.size() && text_[position_] >= '0' && text_[position_] <= '9') {
            value += (text_[position_] - '0') * scale;
            scale /= 10;
            ++position_;
            ++count;
        }
        return count > 0 ? std::optional<double>(value) : std::nullopt;
    }

    bool atEnd() const { return position_ == text_.size(); }

private:
    std::string_view text_;
    std::size_t position_ = 0;
};

}  // namespace

std::optional<Instant> parseInternetDateTime(std::string_view text) {
    Cursor cursor(text);
    const auto year = cursor.digits(4);
    if (!year || !cursor.literal('-')) {
        return std::nullopt;
    }
    const auto month = cursor.digits(2);
    if (!month || !cursor.literal('-')) {
        return std::nullopt;
    }
    const auto day = cursor.digits(2);
    if (!day || !cursor.literal('T')) {
        return std::nullopt;
    }
    const auto hour = cursor.digits(2);
    if (!hour || !cursor.literal(':')) {
        return std::nullopt;
    }
    const auto minute = cursor.digits(2);
    if (!minute || !cursor.literal(':')) {
        return std::nullopt;
    }
    const auto second = cursor.digits(2);
    if (!second) {
        return std::nullopt;
    }
    double fraction = 0;
    if (cursor.literal('.')) {
        const auto digits = cursor.fraction();
        if (!digits) {
            return std::nullopt;
        }
        fraction = *digits;
    }
    int offsetMinutes = 0;
    if (!cursor.literal('Z')) {
        const auto sign = cursor.peek();
        if (sign != '+' && sign != '-') {
            return std::nullopt;
        }
        cursor.literal(*sign);
        const auto offsetHours = cursor.digits(2);
        if (!offsetHours || !cursor.literal(':')) {
            return std::nullopt;
        }
        const auto offsetMinutePart = cursor.digits(2);
        if (!offsetMinutePart || *offsetHours > 23 || *offsetMinutePart > 59) {
            return std::nullopt;
        }
        offsetMinutes = (*offsetHours * 60 + *offsetMinutePart) * (*sign == '-' ? -1 : 1);
    }
    if (!cursor.atEnd()) {
        return std::nullopt;
    }

    using namespace std::chrono;
    const year_month_day date{std::chrono::year(*year),
                              std::chrono::month(static_cast<unsigned>(*month)),
                              std::chrono::day(static_cast<unsigned>(*day))};
    if (!date.ok() || *hour > 23 || *minute > 59 || *second > 59) {
        return std::nullopt;
    }
    const auto days = sys_days(date).time_since_epoch().count();
    const double seconds = static_cast<double>(days) * 86400.0 + *hour * 3600.0 + *minute * 60.0 +
                           *second - offsetMinutes * 60.0 + fraction;
    return instantFromSecondsSince1970(seconds);
}

}  // namespace fernbeacon
