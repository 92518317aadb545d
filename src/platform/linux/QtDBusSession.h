#pragma once

#include "terminal/DBus.h"

namespace fernbeacon::platform {

// The session bus through Qt D-Bus: blocking calls of at most two seconds.
class QtDBusSession final : public DBusSession {
public:
    DBusReply call(const DBusCall& call) override;
};

}  // namespace fernbeacon::platform
