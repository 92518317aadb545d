#include "platform/linux/ProcTerminalSources.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "core/ProcessOutput.h"
#include "platform/linux/ProcProbes.h"

namespace fernbeacon::platform {

ProcProcessTable::ProcProcessTable(std::filesystem::path procRoot)
    : procRoot_(std::move(procRoot)) {}

std::vector<ProcessRow> ProcProcessTable::processRows() {
    std::vector<ProcessRow> rows;
    const std::unique_ptr<DIR, int (*)(DIR*)> directory(::opendir(procRoot_.c_str()), ::closedir);
    if (!directory) {
        return rows;
    }
    std::string path = procRoot_.string() + "/";
    const std::size_t base = path.size();
    while (const dirent* entry = ::readdir(directory.get())) {
        const auto pid = parseInt32(entry->d_name);
        if (!pid || *pid <= 0) {
            continue;
        }
        path.resize(base);
        path.append(entry->d_name).append("/stat");
        const auto text = readSmallFile(path);
        auto stat = text ? parseProcStat(*text) : std::nullopt;
        if (!stat) {
            continue;
        }
        rows.push_back(std::move(stat->row));
    }
    return rows;
}

ProcEnvironment::ProcEnvironment(std::filesystem::path procRoot) : procRoot_(std::move(procRoot)) {}

Environment ProcEnvironment::environmentOf(std::int32_t pid) {
    const auto directory = procRoot_ / std::to_string(pid);
    struct stat info {};
    // Root could read anyone's; a session of another user is none of ours.
    if (::stat(directory.c_str(), &info) != 0 || info.st_uid != ::getuid()) {
        return {};
    }
    const auto block = readSmallFile(directory / "environ");
    return block ? parseEnvironBlock(*block) : Environment();
}

}  // namespace fernbeacon::platform
