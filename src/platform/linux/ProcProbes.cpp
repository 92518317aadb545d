#include "platform/linux/ProcProbes.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <array>
#include <charconv>
#include <cmath>
#include <memory>

#include "core/ConfigDirectory.h"
#include "core/ContextWindow.h"
#include "core/ProcessOutput.h"
#include "core/TerminalNames.h"
#include "core/Text.h"
#include "platform/linux/ProcTerminalSources.h"

namespace fernbeacon::platform {

std::optional<std::string> readSmallFile(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return std::nullopt;
    }
    std::string text;
    std::array<char, 4096> chunk;
    for (;;) {
        const ssize_t got = ::read(fd, chunk.data(), chunk.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            ::close(fd);
            return got == 0 ? std::optional(std::move(text)) : std::nullopt;
        }
        text.append(chunk.data(), static_cast<std::size_t>(got));
    }
}

namespace {

constexpr std::string_view kClaudeName = "claude";

std::optional<std::string> readLink(const std::filesystem::path& path) {
    std::string target(256, '\0');
    for (;;) {
        const ssize_t got = ::readlink(path.c_str(), target.data(), target.size());
        if (got < 0) {
            return std::nullopt;
        }
        if (static_cast<std::size_t>(got) < target.size()) {
            target.resize(static_cast<std::size_t>(got));
            return target;
        }
        target.resize(target.size() * 2);
    }
}

template <typename Integer>
std::optional<Integer> parseUnsignedField(std::string_view field) {
    Integer value{};
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (error != std::errc() || end != field.data() + field.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<ProcStat> parseProcStat(std::string_view text) {
    const std::size_t open = text.find('(');
    const std::size_t close = text.rfind(')');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open) {
        return std::nullopt;
    }
    const auto pid = parseInt32(trimSpacesAndTabs(text.substr(0, open)));
    ProcStat stat;
    stat.row.command = std::string(text.substr(open + 1, close - open - 1));
    // Fields after the name, counted from 3 (state) as in proc(5).
    std::string_view rest = text.substr(close + 1);
    std::array<std::string_view, 20> fields{};
    std::size_t count = 0;
    while (count < fields.size()) {
        const std::size_t begin = rest.find_first_not_of(' ');
        if (begin == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(begin);
        const std::size_t end = std::min(rest.find(' '), rest.size());
        fields[count++] = rest.substr(0, end);
        rest.remove_prefix(end);
    }
    if (count < fields.size()) {
        return std::nullopt;
    }
    const auto ppid = parseInt32(fields[4 - 3]);
    const auto tty = parseInt32(fields[7 - 3]);
    const auto start = parseUnsignedField<std::uint64_t>(fields[22 - 3]);
    if (!pid || !ppid || !tty || !start) {
        return std::nullopt;
    }
    stat.row.pid = *pid;
    stat.row.ppid = *ppid;
    stat.ttyNumber = static_cast<std::uint32_t>(*tty);
    stat.row.tty = terminalNameForDeviceNumber(stat.ttyNumber);
    stat.startTicks = *start;
    return stat;
}

std::optional<std::string> terminalNameForDeviceNumber(std::uint64_t ttyNumber) {
    if (ttyNumber == 0) {
        return std::nullopt;
    }
    const auto number = static_cast<dev_t>(ttyNumber);
    const unsigned major = ::major(number);
    const unsigned minor = ::minor(number);
    if (major >= 136 && major <= 143) {
        return "pts/" + std::to_string(minor + (major - 136) * 256);
    }
    if (major == 4) {
        return minor < 64 ? "tty" + std::to_string(minor) : "ttyS" + std::to_string(minor - 64);
    }
    return std::nullopt;
}

ProcProbes::ProcProbes(Logger& logger, std::filesystem::path procRoot)
    : logger_(logger), procRoot_(std::move(procRoot)) {}

std::vector<std::int32_t> ProcProbes::findClaudePIDs() {
    std::vector<std::int32_t> pids;
    const std::unique_ptr<DIR, int (*)(DIR*)> directory(::opendir(procRoot_.c_str()), ::closedir);
    if (!directory) {
        return pids;
    }
    while (const dirent* entry = ::readdir(directory.get())) {
        const auto pid = parseUnsignedField<std::int32_t>(entry->d_name);
        if (!pid || *pid <= 0) {
            continue;
        }
        const auto text = readSmallFile(procRoot_ / entry->d_name / "stat");
        const auto stat = text ? parseProcStat(*text) : std::nullopt;
        if (stat && stat->row.command == kClaudeName) {
            pids.push_back(*pid);
        }
    }
    return pids;
}

std::optional<ProcStat> ProcProbes::statOf(std::int32_t pid) const {
    const auto text = readSmallFile(procRoot_ / std::to_string(pid) / "stat");
    return text ? parseProcStat(*text) : std::nullopt;
}

std::optional<std::string> ProcProbes::ttyForPID(std::int32_t pid) {
    const auto stat = statOf(pid);
    return stat ? ttyOf(pid, *stat) : std::nullopt;
}

std::optional<std::string> ProcProbes::ttyOf(std::int32_t pid, const ProcStat& stat) const {
    if (stat.row.tty || stat.ttyNumber == 0) {
        return stat.row.tty;
    }
    // Other devices: the name of an open descriptor on that device, as ps looks it up.
    for (const char* fd : {"2", "0", "255"}) {
        const auto path = procRoot_ / std::to_string(pid) / "fd" / fd;
        struct stat device {};
        const auto target = readLink(path);
        if (target && target->starts_with("/dev/") && ::stat(path.c_str(), &device) == 0 &&
            static_cast<std::uint64_t>(device.st_rdev) == stat.ttyNumber) {
            return target->substr(5);
        }
    }
    return std::nullopt;
}

std::optional<std::string> ProcProbes::workingDirectoryForPID(std::int32_t pid) {
    auto directory = readLink(procRoot_ / std::to_string(pid) / "cwd");
    // The command line path drops output that is not UTF-8; so does this one.
    if (!directory || !directory->starts_with('/') || !isValidUtf8(*directory)) {
        return std::nullopt;
    }
    return directory;
}

std::optional<std::string> ProcProbes::terminalAppForPID(std::int32_t pid) {
    const auto stat = statOf(pid);
    if (!stat) {
        return terminalAppFromParentChain(
            pid, [](std::int32_t) { return std::optional<ProcessRow>(); }, logger_);
    }
    return terminalAppOf(pid, *stat);
}

std::optional<std::string> ProcProbes::terminalAppOf(std::int32_t pid, const ProcStat& stat) {
    // A parent starts no later than its child. An ancestor that started later has gone and
    // its ID has been reused: the walk stops there rather than name another process's host.
    std::uint64_t childStart = stat.startTicks;
    const ParentLookup lookup = [&](std::int32_t current) -> std::optional<ProcessRow> {
        if (current == pid) {
            return stat.row;
        }
        const auto ancestor = statOf(current);
        if (!ancestor || ancestor->startTicks > childStart) {
            return std::nullopt;
        }
        childStart = ancestor->startTicks;
        return ancestor->row;
    };
    return terminalAppFromParentChain(pid, lookup, logger_);
}

std::optional<std::string> ProcProbes::elapsedTimeText(std::int32_t pid) const {
    const auto stat = statOf(pid);
    return stat ? elapsedTimeTextOf(*stat) : std::nullopt;
}

std::optional<std::string> ProcProbes::elapsedTimeTextOf(const ProcStat& stat) const {
    const auto uptime = readSmallFile(procRoot_ / "uptime");
    const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
    if (!uptime || ticksPerSecond <= 0) {
        return std::nullopt;
    }
    double secondsSinceBoot = 0;
    const std::string_view first = std::string_view(*uptime).substr(0, uptime->find(' '));
    const auto [end, error] =
        std::from_chars(first.data(), first.data() + first.size(), secondsSinceBoot);
    const double bootTicks = secondsSinceBoot * static_cast<double>(ticksPerSecond);
    // Also keeps the conversion below defined.
    if (error != std::errc() || !std::isfinite(bootTicks) || bootTicks < 0 || bootTicks >= 0x1p63) {
        return std::nullopt;
    }
    // As ps computes it: ticks since boot less the start tick, cut to whole seconds. Whole
    // seconds subtracted from whole seconds would run up to a second ahead of ps.
    const auto now = static_cast<std::uint64_t>(bootTicks);
    const std::uint64_t elapsed = now > stat.startTicks ? now - stat.startTicks : 0;
    return fernbeacon::elapsedTimeText(elapsed / static_cast<std::uint64_t>(ticksPerSecond));
}

std::optional<std::string> ProcProbes::uptimeForPID(std::int32_t pid) {
    const auto elapsed = elapsedTimeText(pid);
    if (!elapsed) {
        return std::nullopt;
    }
    return formatElapsedTime(*elapsed);
}

ProcessFacts ProcProbes::factsForPID(std::int32_t pid) {
    // The start time, in clock ticks since boot, tells a process from a later one that reuses
    // its ID: the ID space cannot come round within one tick.
    const auto before = statOf(pid);
    if (!before || before->row.command != kClaudeName) {
        return {};
    }
    ProcessFacts facts;
    facts.tty = ttyOf(pid, *before);
    facts.workingDirectory = workingDirectoryForPID(pid);
    facts.terminalApp = terminalAppOf(pid, *before);
    if (const auto elapsed = elapsedTimeTextOf(*before)) {
        facts.uptime = formatElapsedTime(*elapsed);
    }
    // The registry writes field 22 of the stat file as it stands.
    facts.startTime = std::to_string(before->startTicks);
    const Environment environment = ProcEnvironment(procRoot_).environmentOf(pid);
    facts.configDirectory = environmentValue(environment, kConfigDirectoryVariable);
    facts.millionContextDisabled = environmentValue(environment, kDisableMillionContextVariable);
    const auto after = statOf(pid);
    if (!after || after->startTicks != before->startTicks ||
        after->row.command != before->row.command) {
        return {};
    }
    return facts;
}

}  // namespace fernbeacon::platform
