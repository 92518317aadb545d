#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace fernbeacon {

inline constexpr std::int64_t kMillionContextLimit = 1000000;
inline constexpr std::string_view kDisableMillionContextVariable = "CLAUDE_CODE_DISABLE_1M_CONTEXT";

// Model ids with a 1M-token window by default, in their plain form (no date, dashes only).
std::span<const std::string_view> millionTokenModels();

// Whether the model id names a model of that table: "claude-opus-4-6", "claude-opus-4.6" and
// "claude-opus-4-6-20260101" all do.
bool hasMillionTokenWindow(std::string_view model);

// The session's true window. Usage above the default window proves the larger one, whatever the
// model or the environment says; otherwise the model decides unless 1M windows are turned off.
std::int64_t contextWindowFor(const std::optional<std::string>& model,
                              std::optional<std::int64_t> tokensUsed, bool millionDisabled);

}  // namespace fernbeacon
