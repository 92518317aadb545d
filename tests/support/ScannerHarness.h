#pragma once

#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

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
        text += record + '\n';
    }
    return text;
}

// A record of exactly `bytes` bytes (line feed not included, at least 28) that readers pass over.
inline std::string paddingRecord(std::size_t bytes) {
    return R"({"type":"progress","pad":")" + std::string(bytes - 28, 'x') + R"("})";
}

// The values as text, each after a bar; "-" for one absent.
template <typename... Values>
std::string joined(const Values&... values) {
    std::string text;
    const auto one = [&text](const auto& value) {
        using T = std::decay_t<decltype(*value)>;
        if (!value) {
            text += "|-";
        } else if constexpr (std::is_same_v<T, Instant>) {
            text += '|' + std::to_string(secondsSince1970(*value));
        } else if constexpr (std::is_same_v<T, std::string>) {
            text += '|' + *value;
        } else {
            text += '|' + std::to_string(*value);
        }
    };
    (one(values), ...);
    return text;
}

// What a transcript or index tells of a session: "|summary|prompt|branch|tokens in use|lines".
inline std::string facts(const ClaudeSession& s) {
    return joined(s.summary, s.firstPrompt, s.gitBranch, s.contextTokensUsed, s.messageCount);
}

// "|path|summary|prompt|branch|lines".
inline std::string facts(const RecentSession& r) {
    return joined(std::optional(r.projectPath), r.summary, r.firstPrompt, r.gitBranch,
                  r.messageCount);
}

// Every field of the results, so that two compare as text.
inline std::string describe(const ScanResult& result) {
    std::string text;
    for (const ClaudeSessionPtr& s : result.live) {
        text += joined(std::optional(s->pid), s->tty, s->workingDirectory, s->terminalApp, s->model,
                       s->processUptime, s->contextTokensMax, s->sessionModified) +
                facts(*s) + '\n';
    }
    for (const RecentSession& r : result.recent) {
        text += facts(r) + joined(std::optional(r.modified)) + '\n';
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
