#pragma once

#include <filesystem>

#include "core/Preferences.h"

namespace fernbeacon::platform {

// Preferences in an INI file through QSettings, keys in [General]. Each call opens its own
// QSettings, so that any thread may read.
class QtPreferences final : public Preferences {
public:
    explicit QtPreferences(std::filesystem::path file);

    std::optional<std::int64_t> integer(std::string_view key) const override;
    std::optional<std::string> text(std::string_view key) const override;
    bool setInteger(std::string_view key, std::int64_t value) override;
    bool setText(std::string_view key, std::string_view value) override;

private:
    const std::filesystem::path file_;
};

}  // namespace fernbeacon::platform
