#pragma once

#include <optional>
#include <string>

namespace fernbeacon {

// The program's registration to start when the user logs in. Main thread only.
class LoginItem {
public:
    virtual ~LoginItem() = default;
    // Read from the system at every call; nothing is cached.
    virtual bool isRegistered() const = 0;
    // Both return absent on success, and the system's explanation on failure.
    virtual std::optional<std::string> registerLoginItem() = 0;
    virtual std::optional<std::string> unregisterLoginItem() = 0;
};

}  // namespace fernbeacon
