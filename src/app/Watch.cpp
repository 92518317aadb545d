#include "app/Watch.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ostream>

#include "app/JsonWriter.h"
#include "app/Listing.h"
#include "app/RefreshDebounce.h"
#include "app/StopSignals.h"
#include "app/SystemScan.h"
#include "core/LiveRegistry.h"
#include "core/MenuModel.h"
#include "core/ProcessOutput.h"
#include "core/RowModels.h"
#include "core/StatusTitle.h"

namespace fernbeacon::app {
namespace {

// A live session as its row names it: the folder, then the title.
std::string sessionText(const ClaudeSession& session) {
    std::string text = sessionRowModel(session).lines.front().label.text;
    if (const auto title = session.displayTitle()) {
        text += ": " + *title;
    }
    // A line feed in a folder's name must not split the feed's line.
    std::replace_if(
        text.begin(), text.end(), [](unsigned char c) { return c < 0x20 || c == 0x7f; }, ' ');
    return text;
}

std::string waybarLine(const ScanResult& scan) {
    std::string tooltip;
    for (const ClaudeSessionPtr& session : scan.live) {
        tooltip += (tooltip.empty() ? "" : "\n") + sessionText(*session);
    }
    const std::string state = anyWaiting(scan.live) ? "waiting" : "idle";
    JsonWriter json;
    json.beginObject();
    json.key("text").value(statusTitle(static_cast<std::int64_t>(scan.live.size())));
    json.key("tooltip").value(tooltip.empty() ? std::string(kNoSessionsTitle) : tooltip);
    json.key("class").value(state);
    json.key("alt").value(state);
    json.endObject();
    return json.text();
}

// Tests shorten the cycle; everyone else gets the tray's.
std::chrono::milliseconds refreshInterval() {
    const char* value = std::getenv("FERNBEACON_REFRESH_MS");
    const auto parsed = value ? parseInt32(value) : std::nullopt;
    return std::chrono::milliseconds(parsed && *parsed > 0 ? *parsed
                                                           : kRefreshIntervalMilliseconds);
}

}  // namespace

std::string watchLine(const ScanResult& scan, WatchFormat format) {
    switch (format) {
        case WatchFormat::Json: {
            std::string line = formatListingJson(scan);
            line.pop_back();
            return line;
        }
        case WatchFormat::Waybar:
            return waybarLine(scan);
        case WatchFormat::Text:
            break;
    }
    std::string line = statusTitle(static_cast<std::int64_t>(scan.live.size()));
    for (const ClaudeSessionPtr& session : scan.live) {
        line += " | " + sessionText(*session);
    }
    return line;
}

StatusFeed::StatusFeed(std::shared_ptr<const SessionScanner> scanner,
                       const Preferences& preferences, WatchFormat format, std::ostream& out)
    : scanner_(std::move(scanner)), preferences_(preferences), format_(format), out_(out) {}

bool StatusFeed::refresh() {
    ScanResult scan = runScanCycle(*scanner_);
    waitingOrder_.update(scan.live);
    if (preferenceFlag(preferences_, kWaitingFirstKey, true)) {
        scan.live = waitingOrder_.arrange(scan.live);
    }
    live_ = scan.live;
    std::string menu = formatListingText(scan);
    if (menu == shownMenu_) {
        return true;
    }
    out_ << watchLine(scan, format_) << '\n';
    out_.flush();
    shownMenu_ = std::move(menu);
    return static_cast<bool>(out_);
}

std::vector<std::filesystem::path> StatusFeed::registryFolders() const {
    return fernbeacon::registryFolders(scanner_->claudeDir(), live_);
}

int runWatch(const WatchOptions& options, std::ostream& out) {
    static int argc = 1;
    static char name[] = "fernbeacon";
    static char* argv[] = {name, nullptr};
    const QCoreApplication application(argc, argv);
    const StopSignals stopSignals;
    const SystemScan system(logTarget(options.verbose));
    StatusFeed feed(system.parts().makeScanner(), system.preferences(), options.format, out);
    const auto registryWatcher = platform::makeFolderWatcher();

    // A reader that left is the usual end, as when a bar restarts; a full disk is a failure.
    FolderWatcher& registries = *registryWatcher;
    const auto cycle = [&feed, &registries] {
        const bool readerLeft = readerGone(STDOUT_FILENO);
        if (readerLeft || !feed.refresh()) {
            QCoreApplication::exit(readerLeft || StopSignals::received() ? 0 : 1);
        }
        registries.watch(feed.registryFolders());
    };
    RefreshDebounce changes(cycle);
    registries.onChange([&changes] { changes.changed(); });
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, cycle);
    timer.start(refreshInterval());
    QTimer::singleShot(0, cycle);
    return QCoreApplication::exec();
}

}  // namespace fernbeacon::app
