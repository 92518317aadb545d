#pragma once

#include <cstdint>
#include <functional>
#include <utility>

#include "core/Attention.h"

namespace fernbeacon {

// Desktop notices about live sessions, one at most per session, keyed by its process. Main
// thread only; nothing here may wait for the desktop.
class SessionNotifier {
public:
    virtual ~SessionNotifier() = default;
    virtual void show(std::int32_t pid, const WaitingNotice& notice) = 0;
    // Withdraws the session's notice; nothing when it has none.
    virtual void close(std::int32_t pid) = 0;

    // Whoever handles the user choosing a session's notice.
    void onChosen(std::function<void(std::int32_t pid)> handler) { chosen_ = std::move(handler); }

protected:
    void chosen(std::int32_t pid) const {
        if (chosen_) {
            chosen_(pid);
        }
    }

private:
    std::function<void(std::int32_t)> chosen_;
};

}  // namespace fernbeacon
