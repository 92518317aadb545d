#pragma once

#include <cstdint>
#include <optional>
#include <string>

// What terminals print about their windows and panes, read without running anything.
namespace fernbeacon {

// From `kitty @ ls`: the X11 window of the OS window that holds kitty's window `window`, or
// without one the window that runs `rootPid`; the first that does.
std::optional<std::uint64_t> kittyOsWindowShowing(const std::string& listing,
                                                  std::optional<std::int64_t> window,
                                                  std::int32_t rootPid);

struct WezTermPane {
    std::int64_t id = 0;
    std::optional<std::string> windowTitle;
};

// From `wezterm cli list --format json`: the first pane on `ttyPath`, else the last one whose
// id is `paneFromEnvironment`.
std::optional<WezTermPane> weztermPaneShowing(
    const std::string& output, const std::string& ttyPath,
    const std::optional<std::string>& paneFromEnvironment);

}  // namespace fernbeacon
