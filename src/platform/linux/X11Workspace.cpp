#include "platform/linux/X11Workspace.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>

#include "core/TerminalNames.h"
#include "platform/linux/ProcProbes.h"

namespace fernbeacon::platform {
namespace {

enum Atom {
    ClientList,
    ClientListStacking,
    ActiveWindow,
    CurrentDesktop,
    WmDesktop,
    WmPid,
    WmName,
    Utf8String,
    AtomCount
};

constexpr std::array<std::string_view, AtomCount> kAtomNames{
    "_NET_CLIENT_LIST",   "_NET_CLIENT_LIST_STACKING",
    "_NET_ACTIVE_WINDOW", "_NET_CURRENT_DESKTOP",
    "_NET_WM_DESKTOP",    "_NET_WM_PID",
    "_NET_WM_NAME",       "UTF8_STRING"};

constexpr std::uint32_t kAllDesktops = 0xFFFFFFFF;
// EWMH source indication: a pager, which window managers treat as the user's own request.
constexpr std::uint32_t kSourcePager = 2;

template <typename Reply>
using ReplyPointer = std::unique_ptr<Reply, decltype(&std::free)>;

}  // namespace

// One connection to the display, with the atoms the workspace uses.
class X11Workspace::Display {
public:
    Display() {
        int screenNumber = 0;
        connection_ = ::xcb_connect(nullptr, &screenNumber);
        if (::xcb_connection_has_error(connection_) != 0) {
            return;
        }
        xcb_screen_iterator_t screens = ::xcb_setup_roots_iterator(::xcb_get_setup(connection_));
        for (int i = 0; i < screenNumber && screens.rem > 0; ++i) {
            ::xcb_screen_next(&screens);
        }
        if (screens.rem == 0) {
            return;
        }
        root_ = screens.data->root;
        std::array<xcb_intern_atom_cookie_t, AtomCount> cookies{};
        for (std::size_t i = 0; i < AtomCount; ++i) {
            cookies[i] =
                ::xcb_intern_atom(connection_, 0, kAtomNames[i].size(), kAtomNames[i].data());
        }
        for (std::size_t i = 0; i < AtomCount; ++i) {
            ReplyPointer<xcb_intern_atom_reply_t> reply(
                ::xcb_intern_atom_reply(connection_, cookies[i], nullptr), &std::free);
            atoms_[i] = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        }
        usable_ = true;
    }
    ~Display() { ::xcb_disconnect(connection_); }
    Display(const Display&) = delete;
    Display& operator=(const Display&) = delete;

    bool usable() const { return usable_; }

    // Topmost first.
    std::vector<xcb_window_t> clients() {
        auto stacking = windows(root_, atoms_[ClientListStacking]);
        if (stacking.empty()) {
            return windows(root_, atoms_[ClientList]);
        }
        std::reverse(stacking.begin(), stacking.end());
        return stacking;
    }

    std::optional<std::uint32_t> cardinal(xcb_window_t window, Atom atom) {
        const auto values = property(window, atoms_[atom], XCB_ATOM_CARDINAL, 1);
        return values.size() == 4 ? std::optional(readWord(values, 0)) : std::nullopt;
    }

    std::optional<std::string> text(xcb_window_t window, xcb_atom_t atom, xcb_atom_t type) {
        std::string value = property(window, atom, type, 1024);
        return value.empty() ? std::nullopt : std::optional(std::move(value));
    }
    std::optional<std::string> title(xcb_window_t window) {
        return text(window, atoms_[WmName], atoms_[Utf8String]);
    }
    std::optional<std::string> windowClass(xcb_window_t window) {
        return text(window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING);
    }

    std::optional<xcb_window_t> parent(xcb_window_t window) {
        ReplyPointer<xcb_query_tree_reply_t> reply(
            ::xcb_query_tree_reply(connection_, ::xcb_query_tree(connection_, window), nullptr),
            &std::free);
        if (!reply || reply->parent == XCB_WINDOW_NONE || reply->parent == root_) {
            return std::nullopt;
        }
        return reply->parent;
    }

    void activate(xcb_window_t window) {
        const auto desktop = cardinal(window, WmDesktop);
        const auto current = cardinal(root_, CurrentDesktop);
        // Asking for the desktop already shown makes some window managers move the focus
        // elsewhere, racing the activation; so only a real switch is asked for.
        if (desktop && current && *desktop != *current && *desktop != kAllDesktops) {
            send(root_, CurrentDesktop, {*desktop, XCB_CURRENT_TIME, 0});
        }
        send(window, ActiveWindow, {kSourcePager, XCB_CURRENT_TIME, 0});
        // A round trip, so that the requests have left before the connection closes.
        std::free(
            ::xcb_get_input_focus_reply(connection_, ::xcb_get_input_focus(connection_), nullptr));
    }

private:
    static std::uint32_t readWord(const std::string& bytes, std::size_t index) {
        std::uint32_t word = 0;
        std::copy_n(bytes.data() + index * 4, 4, reinterpret_cast<char*>(&word));
        return word;
    }

    // The property's bytes, at most `longs` 32-bit units of them.
    std::string property(xcb_window_t window, xcb_atom_t atom, xcb_atom_t type,
                         std::uint32_t longs) {
        if (atom == XCB_ATOM_NONE) {
            return {};
        }
        ReplyPointer<xcb_get_property_reply_t> reply(
            ::xcb_get_property_reply(
                connection_, ::xcb_get_property(connection_, 0, window, atom, type, 0, longs),
                nullptr),
            &std::free);
        if (!reply || reply->type != type) {
            return {};
        }
        const auto* data = static_cast<const char*>(::xcb_get_property_value(reply.get()));
        return std::string(data,
                           static_cast<std::size_t>(::xcb_get_property_value_length(reply.get())));
    }

    std::vector<xcb_window_t> windows(xcb_window_t window, xcb_atom_t atom) {
        const std::string bytes = property(window, atom, XCB_ATOM_WINDOW, 65536);
        std::vector<xcb_window_t> list;
        for (std::size_t i = 0; i + 4 <= bytes.size(); i += 4) {
            list.push_back(readWord(bytes, i / 4));
        }
        return list;
    }

    void send(xcb_window_t window, Atom type, std::array<std::uint32_t, 3> data) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = atoms_[type];
        std::copy(data.begin(), data.end(), event.data.data32);
        ::xcb_send_event(connection_, 0, root_,
                         XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                         reinterpret_cast<const char*>(&event));
    }

    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    std::array<xcb_atom_t, AtomCount> atoms_{};
    bool usable_ = false;
};

X11Workspace::X11Workspace(Logger& logger, std::filesystem::path procRoot)
    : logger_(logger), procRoot_(std::move(procRoot)) {}

std::optional<std::string> X11Workspace::applicationName(Display& display,
                                                         std::uint32_t window) const {
    // WM_CLASS is "instance\0Class\0".
    const std::string classes = display.windowClass(window).value_or(std::string());
    const std::string instance = classes.substr(0, classes.find('\0'));
    const std::size_t classStart = std::min(instance.size() + 1, classes.size());
    const std::string className =
        classes.substr(classStart, classes.find('\0', classStart) - classStart);
    for (const std::string& name : {instance, className}) {
        if (const auto* terminal = name.empty() ? nullptr : terminalForWindowClass(name)) {
            return std::string(terminal->name);
        }
    }
    if (const auto pid = display.cardinal(window, WmPid)) {
        const auto stat = readSmallFile(procRoot_ / std::to_string(*pid) / "stat");
        const auto parsed = stat ? parseProcStat(*stat) : std::nullopt;
        if (auto terminal = parsed ? terminalNameForProcess(parsed->row.command) : std::nullopt) {
            return terminal;
        }
    }
    return className.empty() ? std::nullopt : std::optional(className);
}

std::vector<RunningApplication> X11Workspace::runningApplications() {
    std::vector<RunningApplication> applications;
    Display display;
    if (!display.usable()) {
        return applications;
    }
    for (const xcb_window_t window : display.clients()) {
        applications.push_back({applicationName(display, window), window});
    }
    return applications;
}

void X11Workspace::activate(const RunningApplication& application, ActivationOptions) {
    raiseWindow(application.handle, std::nullopt);
}

bool X11Workspace::canRaiseWindows() {
    if (Display().usable()) {
        return true;
    }
    if (!reportedUnavailable_.exchange(true)) {
        logger_.info("No X11 display: tabs are selected but their windows cannot be raised");
    }
    return false;
}

bool X11Workspace::raiseWindow(std::uint64_t windowId, std::optional<std::int32_t> ownerPid) {
    Display display;
    if (!display.usable() || windowId > 0xFFFFFFFF) {
        return false;
    }
    const auto clients = display.clients();
    // A terminal may publish an inner window; the managed window is one of its ancestors.
    std::optional<xcb_window_t> window = static_cast<xcb_window_t>(windowId);
    for (int depth = 0; window && depth < 8; ++depth) {
        if (std::find(clients.begin(), clients.end(), *window) != clients.end()) {
            const auto pid = display.cardinal(*window, WmPid);
            if (ownerPid && pid && static_cast<std::int32_t>(*pid) != *ownerPid) {
                return false;
            }
            display.activate(*window);
            return true;
        }
        window = display.parent(*window);
    }
    return false;
}

bool X11Workspace::raiseWindowOfProcess(std::int32_t pid, const std::optional<std::string>& title) {
    Display display;
    if (!display.usable()) {
        return false;
    }
    std::optional<xcb_window_t> chosen;
    for (const xcb_window_t window : display.clients()) {
        if (display.cardinal(window, WmPid) != static_cast<std::uint32_t>(pid)) {
            continue;
        }
        if (!title || display.title(window) == title) {
            chosen = window;
            break;
        }
        chosen = chosen.value_or(window);
    }
    if (chosen) {
        display.activate(*chosen);
    }
    return chosen.has_value();
}

}  // namespace fernbeacon::platform
