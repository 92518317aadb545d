#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "core/LoginItem.h"

namespace fernbeacon::platform {

// Start on login through an XDG autostart entry, `<autostart folder>/fernbeacon.desktop`.
// Registered means the entry exists and is not marked Hidden.
class XdgAutostart final : public LoginItem {
public:
    XdgAutostart(std::filesystem::path autostartFolder, std::string executable);

    bool isRegistered() const override;
    std::optional<std::string> registerLoginItem() override;
    std::optional<std::string> unregisterLoginItem() override;

    std::filesystem::path entryPath() const { return folder_ / "fernbeacon.desktop"; }

private:
    const std::filesystem::path folder_;
    const std::string executable_;
};

// The text of the entry that starts `executable`.
std::string autostartEntry(std::string_view executable);

// One argument of a desktop entry's Exec key, quoted and escaped so that any path survives.
std::string desktopExecArgument(std::string_view argument);

}  // namespace fernbeacon::platform
