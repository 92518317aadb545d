#include "core/ConfigDirectory.h"

#include <cstdlib>

namespace fernbeacon {

std::filesystem::path configDirectoryFor(const std::optional<std::string>& value,
                                         const std::filesystem::path& fallback) {
    if (!value || !std::filesystem::path(*value).is_absolute()) {
        return fallback;
    }
    // One spelling per directory, so that sessions sharing one share its reading.
    std::filesystem::path directory = std::filesystem::path(*value).lexically_normal();
    return directory.has_filename() ? directory : directory.parent_path();
}

std::filesystem::path ownConfigDirectory(const std::filesystem::path& home) {
    const char* value = std::getenv(kConfigDirectoryVariable);
    return configDirectoryFor(value ? std::optional<std::string>(value) : std::nullopt,
                              home / ".claude");
}

}  // namespace fernbeacon
