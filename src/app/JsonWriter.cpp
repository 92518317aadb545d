#include "app/JsonWriter.h"

#include <unicode/utf8.h>

#include <charconv>
#include <cmath>
#include <cstdio>

namespace fernbeacon::app {

JsonWriter& JsonWriter::beginObject() {
    separate();
    out_ += '{';
    needsComma_ = false;
    return *this;
}

JsonWriter& JsonWriter::endObject() {
    out_ += '}';
    needsComma_ = true;
    return *this;
}

JsonWriter& JsonWriter::beginArray() {
    separate();
    out_ += '[';
    needsComma_ = false;
    return *this;
}

JsonWriter& JsonWriter::endArray() {
    out_ += ']';
    needsComma_ = true;
    return *this;
}

JsonWriter& JsonWriter::key(std::string_view name) {
    separate();
    writeString(name);
    out_ += ": ";
    needsComma_ = false;
    return *this;
}

JsonWriter& JsonWriter::value(std::string_view text) {
    separate();
    writeString(text);
    needsComma_ = true;
    return *this;
}

JsonWriter& JsonWriter::value(std::int64_t number) {
    separate();
    out_ += std::to_string(number);
    needsComma_ = true;
    return *this;
}

JsonWriter& JsonWriter::value(double number) {
    if (!std::isfinite(number)) {
        return null();
    }
    separate();
    char text[400];
    const auto result = std::to_chars(text, text + sizeof text, number, std::chars_format::fixed);
    out_.append(text, result.ptr);
    needsComma_ = true;
    return *this;
}

JsonWriter& JsonWriter::null() {
    separate();
    out_ += "null";
    needsComma_ = true;
    return *this;
}

void JsonWriter::separate() {
    if (needsComma_) {
        out_ += ", ";
        needsComma_ = false;
    }
}

void JsonWriter::writeString(std::string_view text) {
    out_ += '"';
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    for (int32_t i = 0; i < length;) {
        const int32_t start = i;
        UChar32 c;
        U8_NEXT(bytes, i, length, c);
        if (c < 0) {
            out_ += "\xEF\xBF\xBD";
            continue;
        }
        switch (c) {
            case '"':
                out_ += "\\\"";
                break;
            case '\\':
                out_ += "\\\\";
                break;
            case '\n':
                out_ += "\\n";
                break;
            case '\r':
                out_ += "\\r";
                break;
            case '\t':
                out_ += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                    out_ += escaped;
                } else {
                    out_.append(text.substr(static_cast<std::size_t>(start),
                                            static_cast<std::size_t>(i - start)));
                }
        }
    }
    out_ += '"';
}

}  // namespace fernbeacon::app
