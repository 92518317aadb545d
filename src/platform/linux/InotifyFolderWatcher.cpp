#include "platform/linux/InotifyFolderWatcher.h"

#include <sys/inotify.h>
#include <unistd.h>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <string_view>

#include "core/LiveRegistry.h"

namespace fernbeacon::platform {
namespace {

constexpr std::uint32_t kEvents = IN_MODIFY | IN_CLOSE_WRITE | IN_CREATE | IN_DELETE |
                                  IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF |
                                  IN_ONLYDIR;

// After a change the descriptor rests this long, so that a file rewritten a thousand times a
// second wakes the tray a few times a second, not a thousand; what happened meanwhile waits in
// the kernel's queue and is read at once when the rest ends.
constexpr int kRestMilliseconds = 100;

}  // namespace

InotifyFolderWatcher::InotifyFolderWatcher()
    : descriptor_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    // Without inotify (the limit of instances reached) the 5-second cycle still sees everything.
    if (descriptor_ >= 0) {
        notifier_ = std::make_unique<QSocketNotifier>(descriptor_, QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                         [this] { readEvents(); });
    }
}

InotifyFolderWatcher::~InotifyFolderWatcher() {
    notifier_.reset();
    if (descriptor_ >= 0) {
        ::close(descriptor_);
    }
}

void InotifyFolderWatcher::watch(const std::vector<std::filesystem::path>& folders) {
    if (descriptor_ < 0) {
        return;
    }
    for (auto it = watches_.begin(); it != watches_.end();) {
        if (std::find(folders.begin(), folders.end(), it->first) == folders.end()) {
            ::inotify_rm_watch(descriptor_, it->second);
            it = watches_.erase(it);
        } else {
            ++it;
        }
    }
    for (const std::filesystem::path& folder : folders) {
        if (!watches_.contains(folder)) {
            const int watch = ::inotify_add_watch(descriptor_, folder.c_str(), kEvents);
            if (watch >= 0) {
                watches_.emplace(folder, watch);
            }
        }
    }
}

void InotifyFolderWatcher::readEvents() {
    bool relevant = false;
    alignas(inotify_event) char buffer[16 * 1024];
    for (;;) {
        const ssize_t length = ::read(descriptor_, buffer, sizeof buffer);
        if (length <= 0) {
            if (length < 0 && errno == EINTR) {
                continue;
            }
            break;
        }
        for (ssize_t at = 0; at < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if ((event->mask & IN_IGNORED) != 0) {
                // The folder went away; the next watch() looks for it again.
                std::erase_if(watches_,
                              [event](const auto& entry) { return entry.second == event->wd; });
                relevant = true;
            } else if ((event->mask & IN_Q_OVERFLOW) != 0) {
                relevant = true;
            } else if (event->len > 0) {
                relevant = relevant || isRegistryFileName(std::string_view(event->name));
            }
        }
    }
    if (relevant) {
        changed();
        notifier_->setEnabled(false);
        QTimer::singleShot(kRestMilliseconds, notifier_.get(), [this] {
            notifier_->setEnabled(true);
            readEvents();
        });
    }
}

}  // namespace fernbeacon::platform
