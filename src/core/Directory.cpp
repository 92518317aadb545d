#include "core/Directory.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <memory>

#include "core/FileTimes.h"

namespace fernbeacon {
namespace {

constexpr std::string_view kTranscriptSuffix = ".jsonl";

struct DirectoryCloser {
    void operator()(DIR* directory) const { ::closedir(directory); }
};

Instant modificationOf(const struct stat& status) {
    const timespec modified = modificationTimeOf(status);
    return instantFromSecondsSince1970(static_cast<double>(modified.tv_sec) +
                                       static_cast<double>(modified.tv_nsec) / 1e9);
}

}  // namespace

std::optional<std::vector<DirectoryEntry>> listDirectory(const std::filesystem::path& directory,
                                                         bool withModificationDates) {
    const std::unique_ptr<DIR, DirectoryCloser> handle(::opendir(directory.c_str()));
    if (!handle) {
        return std::nullopt;
    }
    std::vector<DirectoryEntry> entries;
    while (const dirent* entry = ::readdir(handle.get())) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        DirectoryEntry& added = entries.emplace_back(DirectoryEntry{std::string(name), {}});
        struct stat status {};
        if (withModificationDates &&
            ::fstatat(::dirfd(handle.get()), entry->d_name, &status, 0) == 0) {
            added.modified = modificationOf(status);
        }
    }
    return entries;
}

std::optional<Instant> regularFileModified(const std::filesystem::path& file) {
    struct stat status {};
    if (::stat(file.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return std::nullopt;
    }
    return modificationOf(status);
}

bool hasTranscriptExtension(std::string_view name) {
    return name.size() > kTranscriptSuffix.size() && name.ends_with(kTranscriptSuffix);
}

std::string_view sessionIdentifierOf(std::string_view transcriptName) {
    return hasTranscriptExtension(transcriptName)
               ? transcriptName.substr(0, transcriptName.size() - kTranscriptSuffix.size())
               : transcriptName;
}

std::optional<DirectoryEntry> newestTranscript(const std::vector<DirectoryEntry>& entries,
                                               std::optional<Instant> after) {
    const DirectoryEntry* best = nullptr;
    for (const DirectoryEntry& entry : entries) {
        if (!hasTranscriptExtension(entry.name) || !entry.modified ||
            (after && *entry.modified <= *after)) {
            continue;
        }
        if (best == nullptr || *entry.modified > *best->modified) {
            best = &entry;
        }
    }
    return best ? std::optional<DirectoryEntry>(*best) : std::nullopt;
}

}  // namespace fernbeacon
