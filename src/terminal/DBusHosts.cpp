#include "core/ProcessOutput.h"
#include "terminal/LinuxHosts.h"

namespace fernbeacon {
namespace {

template <typename T>
std::optional<T> replyValue(const DBusReply& reply) {
    if (!reply.ok || reply.values.empty() || !std::holds_alternative<T>(reply.values.front())) {
        return std::nullopt;
    }
    return std::get<T>(reply.values.front());
}

// Whether a bus name a session's environment gave belongs to the terminal that owns the TTY:
// a session started in one terminal may run in another (moved by tmux, or started by hand).
bool nameBelongsTo(DBusSession& bus, const std::string& name, std::int32_t pid) {
    const auto owner = replyValue<std::int64_t>(bus.call({"org.freedesktop.DBus",
                                                          "/org/freedesktop/DBus",
                                                          "org.freedesktop.DBus",
                                                          "GetConnectionUnixProcessID",
                                                          {name}}));
    return owner == pid;
}

// The names of an object's children, from its introspection data.
std::vector<std::string> childNodes(DBusSession& bus, const std::string& service,
                                    const std::string& path) {
    std::vector<std::string> children;
    const auto xml = replyValue<std::string>(
        bus.call({service, path, "org.freedesktop.DBus.Introspectable", "Introspect", {}}));
    if (!xml) {
        return children;
    }
    constexpr std::string_view kNode = "<node name=\"";
    for (std::size_t at = xml->find(kNode); at != std::string::npos;
         at = xml->find(kNode, at + 1)) {
        const std::size_t begin = at + kNode.size();
        const std::size_t end = xml->find('"', begin);
        if (end != std::string::npos) {
            children.push_back(xml->substr(begin, end - begin));
        }
    }
    return children;
}

class KonsoleHost final : public TerminalHost {
public:
    explicit KonsoleHost(const LinuxHostServices& services) : services_(services) {}

    FocusOutcome focus(const FocusTarget& target) override {
        const TtyOwner& owner = *target.owner;
        Environment environment = services_.environment.environmentOf(target.pid);
        const auto named = environmentValue(environment, "KONSOLE_DBUS_SERVICE");
        if (!named || !nameBelongsTo(services_.bus, *named, owner.terminalPid)) {
            environment.clear();
        }
        const std::string service = named && !environment.empty()
                                        ? *named
                                        : "org.kde.konsole-" + std::to_string(owner.terminalPid);
        auto session = trailingNumber(
            environmentValue(environment, "KONSOLE_DBUS_SESSION").value_or(std::string()));
        auto window = environmentValue(environment, "KONSOLE_DBUS_WINDOW");
        if (!session) {
            session = sessionOfProcess(service, owner.rootPid);
        }
        if (session && !window) {
            window = windowOfSession(service, *session);
        }
        if (!session || !window) {
            services_.logger.error("No Konsole session shows %s", target.ttyPath);
            return raiseTerminalWindow(services_, environment, owner);
        }
        const DBusReply reply = services_.bus.call(
            {service, *window, "org.kde.konsole.Window", "setCurrentSession", {*session}});
        if (!reply.ok) {
            services_.logger.error("Konsole did not select session %d: %s", *session, reply.error);
        }
        return raiseTerminalWindow(services_, environment, owner) && reply.ok;
    }

private:
    std::optional<std::int32_t> sessionOfProcess(const std::string& service, std::int32_t pid) {
        for (const std::string& child : childNodes(services_.bus, service, "/Sessions")) {
            const auto processId = replyValue<std::int64_t>(services_.bus.call(
                {service, "/Sessions/" + child, "org.kde.konsole.Session", "processId", {}}));
            if (processId == pid) {
                return parseInt32(child);
            }
        }
        return std::nullopt;
    }

    std::optional<std::string> windowOfSession(const std::string& service, std::int32_t session) {
        for (const std::string& child : childNodes(services_.bus, service, "/Windows")) {
            const std::string path = "/Windows/" + child;
            const auto sessions = replyValue<std::vector<std::string>>(
                services_.bus.call({service, path, "org.kde.konsole.Window", "sessionList", {}}));
            for (const std::string& id : sessions.value_or(std::vector<std::string>())) {
                if (parseInt32(id) == session) {
                    return path;
                }
            }
        }
        return std::nullopt;
    }

    const LinuxHostServices services_;
};

// Its search provider switches to a screen and presents the window; it exists only while
// shell integration is on. Without it, the window is raised with whatever tab it shows.
class GnomeTerminalHost final : public TerminalHost {
public:
    explicit GnomeTerminalHost(const LinuxHostServices& services) : services_(services) {}

    FocusOutcome focus(const FocusTarget& target) override {
        const TtyOwner& owner = *target.owner;
        const Environment environment = services_.environment.environmentOf(target.pid);
        const auto service = environmentValue(environment, "GNOME_TERMINAL_SERVICE");
        const auto uuid = gnomeTerminalScreenUuid(
            environmentValue(environment, "GNOME_TERMINAL_SCREEN").value_or(std::string()));
        if (service && uuid && nameBelongsTo(services_.bus, *service, owner.terminalPid)) {
            const DBusReply reply =
                services_.bus.call({*service,
                                    "/org/gnome/Terminal/SearchProvider",
                                    "org.gnome.Shell.SearchProvider2",
                                    "ActivateResult",
                                    {*uuid, std::vector<std::string>(), std::uint32_t{0}}});
            if (reply.ok) {
                return true;
            }
            services_.logger.info("GNOME Terminal cannot select tabs (%s); raising its window",
                                  reply.error);
        } else {
            services_.logger.info("GNOME Terminal's tab for %s is unknown; raising its window",
                                  target.ttyPath);
        }
        return raiseTerminalWindow(services_, {}, owner);
    }

private:
    const LinuxHostServices services_;
};

class TilixHost final : public TerminalHost {
public:
    explicit TilixHost(const LinuxHostServices& services) : services_(services) {}

    FocusOutcome focus(const FocusTarget& target) override {
        const TtyOwner& owner = *target.owner;
        const Environment environment = services_.environment.environmentOf(target.pid);
        if (const auto terminal = environmentValue(environment, "TILIX_ID")) {
            const DBusReply reply =
                services_.bus.call({"com.gexperts.Tilix",
                                    "/com/gexperts/Tilix",
                                    "org.gtk.Actions",
                                    "Activate",
                                    {std::string("activate-terminal"),
                                     DBusStringVariants{{*terminal}}, DBusEmptyDictionary{}}});
            if (reply.ok) {
                return true;
            }
            services_.logger.error("Tilix did not select terminal %s: %s", *terminal, reply.error);
        }
        return raiseTerminalWindow(services_, {}, owner);
    }

private:
    const LinuxHostServices services_;
};

}  // namespace

std::optional<std::string> gnomeTerminalScreenUuid(std::string_view screenPath) {
    constexpr std::string_view kPrefix = "/org/gnome/Terminal/screen/";
    if (!screenPath.starts_with(kPrefix) || screenPath.size() == kPrefix.size()) {
        return std::nullopt;
    }
    std::string uuid(screenPath.substr(kPrefix.size()));
    for (char& c : uuid) {
        if (c == '_') {
            c = '-';
        }
    }
    return uuid;
}

std::unique_ptr<TerminalHost> makeKonsoleHost(const LinuxHostServices& services) {
    return std::make_unique<KonsoleHost>(services);
}

std::unique_ptr<TerminalHost> makeGnomeTerminalHost(const LinuxHostServices& services) {
    return std::make_unique<GnomeTerminalHost>(services);
}

std::unique_ptr<TerminalHost> makeTilixHost(const LinuxHostServices& services) {
    return std::make_unique<TilixHost>(services);
}

}  // namespace fernbeacon
