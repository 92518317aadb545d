#include "platform/linux/XdgAutostart.h"

#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <system_error>

#include "core/Text.h"

namespace fernbeacon::platform {
namespace {

std::string failure(std::string_view what, const std::filesystem::path& path,
                    const std::error_code& error) {
    return std::string(what) + " " + path.string() + ": " + error.message();
}

// Whether the [Desktop Entry] group says Hidden=true.
bool markedHidden(std::istream& entry) {
    bool inMainGroup = false;
    std::string line;
    while (std::getline(entry, line)) {
        const std::string_view text = trimSpacesAndTabs(line);
        if (text.starts_with('[')) {
            inMainGroup = text == "[Desktop Entry]";
            continue;
        }
        const std::size_t equals = text.find('=');
        if (!inMainGroup || equals == std::string_view::npos) {
            continue;
        }
        if (trimSpacesAndTabs(text.substr(0, equals)) == "Hidden" &&
            trimSpacesAndTabs(text.substr(equals + 1)) == "true") {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string desktopExecArgument(std::string_view argument) {
    // Quoting first, then the string escapes of every desktop entry value.
    std::string quoted = "\"";
    for (const char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
        if (c == '%') {
            quoted += '%';
        }
    }
    quoted += '"';
    std::string value;
    for (const char c : quoted) {
        switch (c) {
            case '\\':
                value += "\\\\";
                break;
            case '\n':
                value += "\\n";
                break;
            case '\t':
                value += "\\t";
                break;
            case '\r':
                value += "\\r";
                break;
            default:
                value += c;
                break;
        }
    }
    return value;
}

std::string autostartEntry(std::string_view executable) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Fernbeacon\n"
           "Comment=Tray menu of the running claude sessions\n"
           "Exec=" +
           desktopExecArgument(executable) +
           "\n"
           "Icon=fernbeacon\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

XdgAutostart::XdgAutostart(std::filesystem::path autostartFolder, std::string executable)
    : folder_(std::move(autostartFolder)), executable_(std::move(executable)) {}

bool XdgAutostart::isRegistered() const {
    std::ifstream entry(entryPath());
    return entry.is_open() && !markedHidden(entry);
}

std::optional<std::string> XdgAutostart::registerLoginItem() {
    std::error_code error;
    std::filesystem::create_directories(folder_, error);
    if (error) {
        return failure("Cannot create", folder_, error);
    }
    // Written beside the entry and renamed over it, so that a failed write never leaves half an
    // entry behind.
    const std::filesystem::path partial =
        folder_ / (".fernbeacon.desktop." + std::to_string(::getpid()));
    {
        std::ofstream out(partial, std::ios::trunc);
        if (!out) {
            return failure("Cannot write", partial,
                           std::error_code(errno, std::generic_category()));
        }
        out << autostartEntry(executable_);
        out.flush();
        if (!out) {
            const std::error_code writeError(errno, std::generic_category());
            out.close();
            std::filesystem::remove(partial, error);
            return failure("Cannot write", partial, writeError);
        }
    }
    std::filesystem::rename(partial, entryPath(), error);
    if (error) {
        std::error_code ignored;
        std::filesystem::remove(partial, ignored);
        return failure("Cannot write", entryPath(), error);
    }
    return std::nullopt;
}

std::optional<std::string> XdgAutostart::unregisterLoginItem() {
    std::error_code error;
    std::filesystem::remove(entryPath(), error);
    if (error) {
        return failure("Cannot remove", entryPath(), error);
    }
    return std::nullopt;
}

}  // namespace fernbeacon::platform
