#pragma once

#include <simdjson.h>

#include <cstdint>
#include <optional>
#include <string_view>

// Typed look-ups: a missing key and a value of another JSON type are both absent.
namespace fernbeacon::json {

using Object = simdjson::dom::object;
using Array = simdjson::dom::array;
using Element = simdjson::dom::element;

std::optional<std::string_view> string(const Object& object, std::string_view key);
// Only numbers written as integers that fit in 64 signed bits.
std::optional<std::int64_t> integer(const Object& object, std::string_view key);
// Any number, integer or not.
std::optional<double> number(const Object& object, std::string_view key);
std::optional<Object> object(const Object& object, std::string_view key);
// An array whose every element is an object; absent otherwise.
std::optional<Array> arrayOfObjects(const Object& object, std::string_view key);

// Parses JSON in place. The bytes handed in must be followed by at least SIMDJSON_PADDING
// readable bytes (PaddedBuffer provides them). Elements stay valid until the next parse.
class Parser {
public:
    std::optional<Element> parse(std::string_view paddedText);
    // The top-level value when it is an object; absent for invalid JSON (invalid UTF-8
    // included), arrays and bare values.
    std::optional<Object> parseObject(std::string_view paddedText);

private:
    simdjson::dom::parser parser_;
};

}  // namespace fernbeacon::json
