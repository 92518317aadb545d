#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace fernbeacon {

// The environment variable that moves the assistant's directory away from ~/.claude.
inline constexpr const char* kConfigDirectoryVariable = "CLAUDE_CONFIG_DIR";

// The directory a variable's value names, or `fallback` when the value is absent, empty or not
// an absolute path (a relative one would depend on a working directory we cannot know).
std::filesystem::path configDirectoryFor(const std::optional<std::string>& value,
                                         const std::filesystem::path& fallback);

// This program's own choice: its CLAUDE_CONFIG_DIR, else <home>/.claude.
std::filesystem::path ownConfigDirectory(const std::filesystem::path& home);

}  // namespace fernbeacon
