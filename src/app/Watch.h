#pragma once

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "core/Attention.h"
#include "core/Preferences.h"
#include "core/SessionScanner.h"

// `fernbeacon watch`: a feed for status bars, one line per change of what the menu shows.
namespace fernbeacon::app {

enum class WatchFormat {
    Text,    // the status title, then " | " and each live session
    Json,    // the `list --json` object
    Waybar,  // {"text", "tooltip", "class", "alt"} for a custom module
};

struct WatchOptions {
    WatchFormat format = WatchFormat::Text;
    bool verbose = false;
};

// The feed's line for one scan, without the line feed.
std::string watchLine(const ScanResult& scan, WatchFormat format);

// Prints the line of a scan when what the menu would show differs from what it showed at the
// last line printed. Knows no timer: whatever learns of a change may call refresh().
class StatusFeed {
public:
    StatusFeed(std::shared_ptr<const SessionScanner> scanner, const Preferences& preferences,
               WatchFormat format, std::ostream& out);

    // One scan cycle, at most one line; false once the output cannot be written.
    bool refresh();
    // The registry folders of the last scan's sessions, to learn of changes at once.
    std::vector<std::filesystem::path> registryFolders() const;

private:
    std::shared_ptr<const SessionScanner> scanner_;
    const Preferences& preferences_;
    WatchFormat format_;
    std::ostream& out_;
    std::optional<std::string> shownMenu_;
    WaitingOrder waitingOrder_;
    std::vector<ClaudeSessionPtr> live_;
};

// Prints the feed to `out`, which is standard output, until a signal or the reader ends it.
int runWatch(const WatchOptions& options, std::ostream& out);

}  // namespace fernbeacon::app
