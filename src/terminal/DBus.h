#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace fernbeacon {

struct DBusStringVariants {  // "av", each a string
    std::vector<std::string> strings;
};
struct DBusEmptyDictionary {};  // "a{sv}"

using DBusArgument =
    std::variant<std::int32_t, std::uint32_t, std::string, std::vector<std::string>,
                 DBusStringVariants, DBusEmptyDictionary>;
// Integers of every width arrive as int64_t.
using DBusValue =
    std::variant<std::monostate, bool, std::int64_t, std::string, std::vector<std::string>>;

struct DBusCall {
    std::string service;
    std::string path;
    std::string interface;
    std::string method;
    std::vector<DBusArgument> arguments;
};

struct DBusReply {
    bool ok = false;
    std::string error;  // the bus's error name and message, when not ok
    std::vector<DBusValue> values;
};

// The user's session bus. Blocking calls with a short time limit, from any thread.
class DBusSession {
public:
    virtual ~DBusSession() = default;
    virtual DBusReply call(const DBusCall& call) = 0;
};

}  // namespace fernbeacon
