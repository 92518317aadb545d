#include "app/RefreshDebounce.h"

#include <algorithm>

namespace fernbeacon::app {

RefreshDebounce::RefreshDebounce(std::function<void()> refresh) : refresh_(std::move(refresh)) {
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        sinceRefresh_.start();
        refresh_();
    });
}

void RefreshDebounce::changed() {
    if (timer_.isActive()) {
        return;
    }
    qint64 delay = kSettleMilliseconds;
    if (sinceRefresh_.isValid()) {
        delay = std::max(delay, kMinimumGapMilliseconds - sinceRefresh_.elapsed());
    }
    timer_.start(static_cast<int>(delay));
}

}  // namespace fernbeacon::app
