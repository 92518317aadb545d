#include "terminal/HostListings.h"

#include "core/Json.h"
#include "core/ProcessOutput.h"

namespace fernbeacon {

std::optional<std::uint64_t> kittyOsWindowShowing(const std::string& listing,
                                                  std::optional<std::int64_t> window,
                                                  std::int32_t rootPid) {
    simdjson::dom::parser parser;
    simdjson::dom::array osWindows;
    if (parser.parse(listing).get_array().get(osWindows) != simdjson::SUCCESS) {
        return std::nullopt;
    }
    for (simdjson::dom::element element : osWindows) {
        simdjson::dom::object osWindow;
        if (element.get_object().get(osWindow) != simdjson::SUCCESS) {
            continue;
        }
        const auto platformWindow = json::integer(osWindow, "platform_window_id");
        const auto tabs = json::arrayOfObjects(osWindow, "tabs");
        if (!platformWindow || *platformWindow <= 0 || !tabs) {
            continue;
        }
        for (simdjson::dom::element tab : *tabs) {
            // A default array has no document behind it and cannot be walked.
            const auto windows = json::arrayOfObjects(tab.get_object().value_unsafe(), "windows");
            if (!windows) {
                continue;
            }
            for (simdjson::dom::element shown : *windows) {
                const json::Object object = shown.get_object().value_unsafe();
                if (window ? json::integer(object, "id") == *window
                           : json::integer(object, "pid") == rootPid) {
                    return static_cast<std::uint64_t>(*platformWindow);
                }
            }
        }
    }
    return std::nullopt;
}

std::optional<WezTermPane> weztermPaneShowing(
    const std::string& output, const std::string& ttyPath,
    const std::optional<std::string>& paneFromEnvironment) {
    simdjson::dom::parser parser;
    simdjson::dom::array panes;
    if (parser.parse(output).get_array().get(panes) != simdjson::SUCCESS) {
        return std::nullopt;
    }
    std::optional<WezTermPane> fromEnvironment;
    for (simdjson::dom::element element : panes) {
        simdjson::dom::object pane;
        if (element.get_object().get(pane) != simdjson::SUCCESS) {
            continue;
        }
        const auto id = json::integer(pane, "pane_id");
        if (!id) {
            continue;
        }
        const auto title = json::string(pane, "window_title");
        WezTermPane found{*id, title ? std::optional<std::string>(*title) : std::nullopt};
        if (json::string(pane, "tty_name") == ttyPath) {
            return found;
        }
        if (paneFromEnvironment && parseInt64(*paneFromEnvironment) == *id) {
            fromEnvironment = found;
        }
    }
    return fromEnvironment;
}

}  // namespace fernbeacon
