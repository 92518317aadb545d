#include "core/LiveRegistry.h"

#include <algorithm>

#include "core/Directory.h"
#include "core/FileReading.h"
#include "core/Json.h"
#include "core/ProcessOutput.h"

namespace fernbeacon {
namespace {

constexpr std::string_view kRegistryExtension = ".json";

// "<digits>.json": the ID it is named for. Other names (such as "<pid>.<hash>.key") are not ours.
std::optional<std::int32_t> pidOfName(std::string_view name) {
    if (!name.ends_with(kRegistryExtension)) {
        return std::nullopt;
    }
    const std::string_view digits = name.substr(0, name.size() - kRegistryExtension.size());
    // One spelling per ID, so that two files cannot claim one process.
    if (digits.empty() || (digits.front() == '0' && digits.size() > 1) ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    return parseInt32(digits);
}

bool isSafeFileStem(std::string_view text) {
    return !text.empty() && text.front() != '.' &&
           std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '-' || c == '_' || c == '.';
           });
}

// A text to show as it is: not empty, no control characters.
std::optional<std::string> displayable(std::optional<std::string_view> text) {
    if (!text || text->empty() || std::any_of(text->begin(), text->end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
        })) {
        return std::nullopt;
    }
    return std::string(*text);
}

}  // namespace

std::vector<std::filesystem::path> registryFolders(const std::filesystem::path& ownConfigDirectory,
                                                   std::span<const ClaudeSessionPtr> sessions) {
    std::vector<std::filesystem::path> folders{ownConfigDirectory / "sessions"};
    for (const ClaudeSessionPtr& session : sessions) {
        if (session->configDirectory) {
            auto folder = *session->configDirectory / "sessions";
            if (std::find(folders.begin(), folders.end(), folder) == folders.end()) {
                folders.push_back(std::move(folder));
            }
        }
    }
    return folders;
}

bool isRegistryFileName(std::string_view name) {
    return pidOfName(name).has_value();
}

LiveRegistry LiveRegistry::read(const std::filesystem::path& configDirectory) {
    LiveRegistry registry;
    const std::filesystem::path folder = configDirectory / "sessions";
    const auto names = listDirectory(folder, false);
    if (!names) {
        return registry;
    }
    json::Parser parser;
    for (const DirectoryEntry& name : *names) {
        const auto pid = pidOfName(name.name);
        const auto bytes =
            pid ? readWholeFile(folder / name.name, kRegistryFileLimit) : std::nullopt;
        const auto object = bytes ? parser.parseObject(bytes->view()) : std::nullopt;
        if (!object || json::integer(*object, "pid") != pid) {
            continue;
        }
        File file;
        // A start time of another type can match no process.
        if ((*object)["procStart"].error() != simdjson::NO_SUCH_FIELD) {
            const auto procStart = json::string(*object, "procStart");
            if (!procStart) {
                continue;
            }
            file.procStart = std::string(*procStart);
        }
        if (const auto id = json::string(*object, "sessionId"); id && isSafeFileStem(*id)) {
            file.entry.sessionId = std::string(*id);
        }
        file.entry.status = displayable(json::string(*object, "status"));
        if (file.entry.status == "waiting") {
            file.entry.waitingFor = displayable(json::string(*object, "waitingFor"));
        }
        registry.files_.insert_or_assign(*pid, std::move(file));
    }
    return registry;
}

std::optional<RegistryEntry> LiveRegistry::entryFor(
    std::int32_t pid, const std::optional<std::string>& startTime) const {
    const auto found = files_.find(pid);
    if (found == files_.end() ||
        (found->second.procStart && found->second.procStart != startTime)) {
        return std::nullopt;
    }
    return found->second.entry;
}

}  // namespace fernbeacon
