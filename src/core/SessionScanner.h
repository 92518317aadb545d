#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "core/Clock.h"
#include "core/Logger.h"
#include "core/Preferences.h"
#include "core/ProcessProbes.h"
#include "core/SessionRecords.h"
#include "core/TranscriptCache.h"

namespace fernbeacon {

// Directories compared as whole texts under canonical equivalence.
class DirectorySet {
public:
    void insert(std::string_view directory);
    bool contains(std::string_view directory) const;
    std::size_t size() const { return keys_.size(); }

private:
    std::unordered_set<std::string> keys_;
};

// Finds the live sessions and the recent ones from the process probes and the assistant's
// directories: `claudeDir`, and the one a session's environment names instead. Its only state is
// what it learnt of transcripts, which saves reading them again and changes no result;
// concurrent calls may share it. Never throws; what cannot be learnt stays absent.
class SessionScanner {
public:
    SessionScanner(std::filesystem::path claudeDir, ProcessProbes& probes,
                   const Preferences& preferences, const Clock& clock, Logger& logger);

    const std::filesystem::path& claudeDir() const { return claudeDir_; }

    std::vector<ClaudeSessionPtr> scanLiveSessions() const;
    // Fills the session from its transcript under `claudeDir`: the one its `sessionId` names,
    // else the newest of the project folder whose newest transcript was recorded in
    // `workingDirectory`.
    void enrichFromProjectHistory(ClaudeSession& session, std::string_view workingDirectory) const;
    // At most one session per project folder of `claudeDir` and of the other directories,
    // newest first, cut to the preferred maximum.
    std::vector<RecentSession> recentSessions(
        const DirectorySet& excluding,
        std::span<const std::filesystem::path> otherConfigDirectories = {}) const;

private:
    const std::filesystem::path claudeDir_;
    ProcessProbes& probes_;
    const Preferences& preferences_;
    const Clock& clock_;
    Logger& logger_;
    mutable TranscriptCache transcripts_;
};

// Whether the first record of the transcript that carries a "cwd" names `directory`.
bool transcriptMatchesDirectory(const std::filesystem::path& transcript,
                                std::string_view directory);

// The first working directory recorded in the folder's transcripts, in listing order.
std::optional<std::string> firstRecordedCwd(const std::filesystem::path& projectFolder);

struct ScanResult {
    std::vector<ClaudeSessionPtr> live;
    std::vector<RecentSession> recent;
};

// One refresh cycle's work: the live scan, then the recent sessions outside the live
// sessions' working directories, from every configuration directory in use.
ScanResult runScanCycle(const SessionScanner& scanner);

}  // namespace fernbeacon
