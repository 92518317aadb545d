#include "core/ContextWindow.h"

#include <algorithm>
#include <array>

#include "core/SessionRecords.h"

namespace fernbeacon {
namespace {

constexpr std::string_view kMillionSuffix = "[1m]";
constexpr std::size_t kDateSuffixDigits = 8;

// "claude-opus-4.8-20260101" as "claude-opus-4-8".
std::string plainModelId(std::string_view model) {
    std::string plain(model);
    std::replace(plain.begin(), plain.end(), '.', '-');
    const std::size_t dash = plain.rfind('-');
    if (dash != std::string::npos && plain.size() - dash - 1 == kDateSuffixDigits &&
        std::all_of(plain.begin() + static_cast<std::ptrdiff_t>(dash) + 1, plain.end(),
                    [](char c) { return c >= '0' && c <= '9'; })) {
        plain.resize(dash);
    }
    return plain;
}

}  // namespace

std::span<const std::string_view> millionTokenModels() {
    static constexpr std::array<std::string_view, 13> models{
        "claude-opus-4-6",  "claude-opus-4-7", "claude-opus-4-8", "claude-sonnet-4-6",
        "claude-opus-5",    "claude-sonnet-5", "claude-fable-5",  "claude-fable-5-1",
        "claude-fable-5-2", "claude-mythos-5", "claude-opus-5-5", "claude-sonnet-5-5",
        "claude-haiku-5-5",
    };
    return models;
}

bool hasMillionTokenWindow(std::string_view model) {
    const std::string plain = plainModelId(model);
    const auto models = millionTokenModels();
    return std::find(models.begin(), models.end(), plain) != models.end();
}

std::int64_t contextWindowFor(const std::optional<std::string>& model,
                              std::optional<std::int64_t> tokensUsed, bool millionDisabled) {
    if (tokensUsed && *tokensUsed > kDefaultContextLimit) {
        return kMillionContextLimit;
    }
    if (millionDisabled || !model) {
        return kDefaultContextLimit;
    }
    return model->ends_with(kMillionSuffix) || hasMillionTokenWindow(*model) ? kMillionContextLimit
                                                                             : kDefaultContextLimit;
}

}  // namespace fernbeacon
