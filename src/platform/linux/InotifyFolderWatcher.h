#pragma once

#include <QSocketNotifier>
#include <filesystem>
#include <map>
#include <memory>

#include "core/FolderWatcher.h"

namespace fernbeacon::platform {

// One inotify watch per folder, on the folder itself: a file rewritten in place, one renamed
// over it, and files that come and go all show there, whatever the file's inode.
class InotifyFolderWatcher final : public FolderWatcher {
public:
    InotifyFolderWatcher();
    ~InotifyFolderWatcher() override;
    InotifyFolderWatcher(const InotifyFolderWatcher&) = delete;
    InotifyFolderWatcher& operator=(const InotifyFolderWatcher&) = delete;

    void watch(const std::vector<std::filesystem::path>& folders) override;

private:
    void readEvents();

    int descriptor_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::map<std::filesystem::path, int> watches_;
};

}  // namespace fernbeacon::platform
