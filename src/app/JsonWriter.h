#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace fernbeacon::app {

// Builds compact JSON text. Commas are placed by the writer; callers open, fill and close.
// Text that is not valid UTF-8 is written with U+FFFD in place of the bad bytes, so the output
// is always valid JSON.
class JsonWriter {
public:
    JsonWriter& beginObject();
    JsonWriter& endObject();
    JsonWriter& beginArray();
    JsonWriter& endArray();
    JsonWriter& key(std::string_view name);

    JsonWriter& value(std::string_view text);
    JsonWriter& value(std::int64_t number);
    // Shortest text that reads back as the same double, in plain (not exponent) notation.
    JsonWriter& value(double number);
    JsonWriter& null();

    template <typename T>
    JsonWriter& value(const std::optional<T>& maybe) {
        return maybe ? value(*maybe) : null();
    }

    const std::string& text() const { return out_; }

private:
    void separate();
    void writeString(std::string_view text);

    std::string out_;
    bool needsComma_ = false;
};

}  // namespace fernbeacon::app
