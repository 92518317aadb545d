#pragma once

#include <filesystem>
#include <functional>
#include <utility>
#include <vector>

namespace fernbeacon {

// Learns at once that a registry file in one of the watched folders was written, replaced,
// added or removed. Main thread only.
class FolderWatcher {
public:
    virtual ~FolderWatcher() = default;
    // Watches exactly these folders from now on. One that does not exist yet is tried again at
    // the next call.
    virtual void watch(const std::vector<std::filesystem::path>& folders) = 0;

    void onChange(std::function<void()> handler) { changed_ = std::move(handler); }

protected:
    void changed() const {
        if (changed_) {
            changed_();
        }
    }

private:
    std::function<void()> changed_;
};

}  // namespace fernbeacon
