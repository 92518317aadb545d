#include "core/Json.h"

namespace fernbeacon::json {

std::optional<std::string_view> string(const Object& object, std::string_view key) {
    std::string_view value;
    if (object[key].get_string().get(value) != simdjson::SUCCESS) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::int64_t> integer(const Object& object, std::string_view key) {
    Element element;
    if (object[key].get(element) != simdjson::SUCCESS || !element.is_int64()) {
        return std::nullopt;
    }
    return element.get_int64().value_unsafe();
}

std::optional<double> number(const Object& object, std::string_view key) {
    Element element;
    if (object[key].get(element) != simdjson::SUCCESS || !element.is_number()) {
        return std::nullopt;
    }
    double value = 0;
    if (element.get_double().get(value) != simdjson::SUCCESS) {
        return std::nullopt;
    }
    return value;
}

std::optional<Object> object(const Object& object, std::string_view key) {
    Object value;
    if (object[key].get_object().get(value) != simdjson::SUCCESS) {
        return std::nullopt;
    }
    return value;
}

std::optional<Array> arrayOfObjects(const Object& object, std::string_view key) {
    Array value;
    if (object[key].get_array().get(value) != simdjson::SUCCESS) {
        return std::nullopt;
    }
    for (Element element : value) {
        if (!element.is_object()) {
            return std::nullopt;
        }
    }
    return value;
}

std::optional<Element> Parser::parse(std::string_view paddedText) {
    Element root;
    if (parser_.parse(paddedText.data(), paddedText.size(), false).get(root) != simdjson::SUCCESS) {
        return std::nullopt;
    }
    return root;
}

std::optional<Object> Parser::parseObject(std::string_view paddedText) {
    const auto root = parse(paddedText);
    Object object;
    if (!root || root->get_object().get(object) != simdjson::SUCCESS) {
        return std::nullopt;
    }
    return object;
}

}  // namespace fernbeacon::json
