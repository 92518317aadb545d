#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <future>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <type_traits>
#include <vector>

#include "core/SessionScanner.h"
#include "support/Fakes.h"
#include "support/TempTree.h"

namespace fernbeacon::test {

// 2025-06-15 12:00:00 UTC: the clock every scanner test runs at.
inline constexpr double kTestNow = 1749988800.0;

inline Instant daysBeforeNow(double days) {
    return instantFromSecondsSince1970(kTestNow - days * 86400.0);
}

// Records as a JSON Lines text: each one ended by a line feed.
inline std::string jsonLines(std::initializer_list<std::string> records) {
    std::string text;
    for (const std::string& record : records) {
        text += record;
        text += '\n';
    }
    return text;
}

// A record of exactly `bytes` bytes (line feed not included) that the readers look through.
inline std::string paddingRecord(std::size_t bytes, char fill = 'x') {
    const std::string open = R"({"type":"progress","pad":")";
    const std::string close = R"("})";
    if (bytes < open.size() + close.size()) {
        throw std::invalid_argument("padding record too short");
    }
    return open + std::string(bytes - open.size() - close.size(), fill) + close;
}

inline void makeFifo(const std::filesystem::path& path) {
    std::filesystem::create_directories(path.parent_path());
    if (::mkfifo(path.c_str(), 0600) != 0) {
        throw std::runtime_error("cannot make a FIFO at " + path.string());
    }
}

// Runs `work` on its own thread and tells whether it ended within `limit`. When it did not,
// readers blocked on the FIFOs are released (so that the thread can end) before it returns.
// Work that no FIFO releases within another `limit` ends the program: its thread uses the
// caller's objects, so it can be neither stopped nor left behind.
inline bool finishesWithin(std::chrono::milliseconds limit,
                           const std::vector<std::filesystem::path>& fifos,
                           const std::function<void()>& work) {
    std::packaged_task<void()> task(work);
    auto done = task.get_future();
    std::thread runner(std::move(task));
    const bool inTime = done.wait_for(limit) == std::future_status::ready;
    const auto giveUp = std::chrono::steady_clock::now() + limit;
    while (done.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
        if (std::chrono::steady_clock::now() > giveUp) {
            std::fputs("work still running at twice its time limit; giving up\n", stderr);
            std::_Exit(1);
        }
        for (const auto& fifo : fifos) {
            const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (writer >= 0) {
                ::close(writer);
            }
        }
    }
    runner.join();
    return inTime;
}

// Copies a real sample into the tree under a new name; empty path when the sample is absent.
inline std::filesystem::path copySample(const TempTree& tree, std::string_view sample,
                                        std::string_view relative) {
    const auto source = samplePath(sample);
    if (source.empty()) {
        return {};
    }
    const auto target = tree.path(relative);
    std::filesystem::create_directories(target.parent_path());
    std::filesystem::copy_file(source, target);
    std::filesystem::permissions(target, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    return target;
}

// Every field of the records, so that two results compare as text.
inline std::string describe(const ClaudeSession& s) {
    std::string text = std::to_string(s.pid);
    const auto put = [&text](const auto& value) {
        text += '|';
        if constexpr (std::is_same_v<std::decay_t<decltype(*value)>, Instant>) {
            text += value ? std::to_string(secondsSince1970(*value)) : "-";
        } else if constexpr (std::is_same_v<std::decay_t<decltype(*value)>, std::string>) {
            text += value.value_or("-");
        } else {
            text += value ? std::to_string(*value) : "-";
        }
    };
    for (const auto* field : {&s.tty, &s.workingDirectory, &s.terminalApp, &s.summary,
                              &s.firstPrompt, &s.gitBranch, &s.model, &s.processUptime}) {
        put(*field);
    }
    put(s.messageCount);
    put(s.contextTokensUsed);
    put(s.contextTokensMax);
    put(s.sessionCreated);
    put(s.sessionModified);
    return text;
}

inline std::string describe(const ScanResult& result) {
    std::string text;
    for (const ClaudeSessionPtr& session : result.live) {
        text += describe(*session) + "\n";
    }
    for (const RecentSession& r : result.recent) {
        text += r.projectPath + "|" + r.summary.value_or("-") + "|" + r.firstPrompt.value_or("-") +
                "|" + std::to_string(secondsSince1970(r.modified)) + "|" +
                (r.messageCount ? std::to_string(*r.messageCount) : "-") + "|" +
                r.gitBranch.value_or("-") + "\n";
    }
    return text;
}

// A scanner over a fake home, with a fake process table, preferences and clock.
struct ScannerHarness {
    TempHome home;
    FakeProbes probes;
    MemoryPreferences preferences;
    FixedClock clock{instantFromSecondsSince1970(kTestNow)};
    RecordingLogger logger;
    SessionScanner scanner{home.claudeDir(), probes, preferences, clock, logger};

    std::filesystem::path folder(std::string_view name) const {
        return home.claudeDir() / "projects" / name;
    }

    // Writes ~/.claude/projects/<folder>/<name> and dates it `modified`.
    std::filesystem::path project(std::string_view folderName, std::string_view name,
                                  std::string_view contents, Instant modified) const {
        const auto file = home.writeProjectFile(folderName, name, contents);
        TempTree::setModified(file, modified);
        return file;
    }

    void addProcess(std::int32_t pid, FakeProcess process) {
        probes.pids.push_back(pid);
        probes.processes[pid] = std::move(process);
    }
};

}  // namespace fernbeacon::test
