#include "core/SessionScanner.h"

#include <algorithm>
#include <array>
#include <chrono>

#include "core/Directory.h"
#include "core/FileReading.h"
#include "core/Json.h"
#include "core/SessionIndex.h"
#include "core/Text.h"
#include "core/Transcript.h"

namespace fernbeacon {
namespace {

constexpr std::chrono::seconds kRecentWindow{2592000};  // 30 days
constexpr std::size_t kSettingsLimit = 16 * 1024 * 1024;

// The recent session a usable, non-empty index offers, if any.
std::optional<RecentSession> recentFromIndex(const SessionIndex& index,
                                             const std::filesystem::path& folder, Instant cutoff,
                                             const DirectorySet& excluding) {
    std::optional<json::Object> chosen;
    Instant chosenTime;
    for (json::Element element : index.entries()) {
        const json::Object entry = element.get_object().value_unsafe();
        const auto time = indexEntryDate(entry);
        if (!time || *time <= cutoff || (chosen && *time <= chosenTime)) {
            continue;
        }
        chosen = entry;
        chosenTime = *time;
    }
    if (!chosen) {
        return std::nullopt;
    }
    std::optional<std::string> path;
    if (const auto projectPath = json::string(*chosen, "projectPath")) {
        path = std::string(*projectPath);
    } else if (const auto originalPath = index.originalPath()) {
        path = std::string(*originalPath);
    } else {
        path = firstRecordedCwd(folder);
    }
    if (!path || path->empty() || excluding.contains(*path)) {
        return std::nullopt;
    }
    const auto text = [&](const char* key) -> std::optional<std::string> {
        const auto value = json::string(*chosen, key);
        return value ? std::optional<std::string>(*value) : std::nullopt;
    };
    RecentSession recent{text("summary"),
                         text("firstPrompt"),
                         std::move(*path),
                         chosenTime,
                         json::integer(*chosen, "messageCount"),
                         text("gitBranch")};
    recent.sessionId = text("sessionId");
    return recent;
}

}  // namespace

void DirectorySet::insert(std::string_view directory) {
    keys_.insert(canonicalForm(directory));
}

bool DirectorySet::contains(std::string_view directory) const {
    return keys_.contains(canonicalForm(directory));
}

std::span<const ModelContextLimit> modelContextLimits() {
    static constexpr std::array<ModelContextLimit, 3> limits{{
        {"opus", 200000},
        {"sonnet", 200000},
        {"haiku", 200000},
    }};
    return limits;
}

std::int64_t contextLimitForModel(const std::optional<std::string>& model) {
    for (const ModelContextLimit& limit : modelContextLimits()) {
        if (model && *model == limit.model) {
            return limit.tokens;
        }
    }
    return kDefaultContextLimit;
}

// One scan's view of the project folders: each folder's newest transcript and the directory it
// was recorded in, worked out when first needed and shared by the sessions of that scan only.
// For a tree that does not change during the scan, every session gets what its own walk would.
class SessionScanner::ProjectHistory {
public:
    explicit ProjectHistory(std::filesystem::path root) : root_(std::move(root)) {}

    struct Match {
        std::filesystem::path folder;
        DirectoryEntry transcript;
    };

    std::optional<Match> folderRecordedIn(std::string_view directory) {
        if (!folders_) {
            folders_.emplace();
            if (const auto entries = listDirectory(root_, false)) {
                for (const DirectoryEntry& entry : *entries) {
                    folders_->push_back(Folder{entry.name, false, std::nullopt, std::nullopt});
                }
            }
        }
        for (Folder& folder : *folders_) {
            examine(folder);
            if (folder.recordedCwd && canonicallyEqual(*folder.recordedCwd, directory)) {
                return Match{root_ / folder.name, *folder.newest};
            }
        }
        return std::nullopt;
    }

private:
    struct Folder {
        std::string name;
        bool examined = false;
        std::optional<DirectoryEntry> newest;
        std::optional<std::string> recordedCwd;
    };

    void examine(Folder& folder) const {
        if (folder.examined) {
            return;
        }
        folder.examined = true;
        const auto entries = listDirectory(root_ / folder.name, true);
        folder.newest = entries ? newestTranscript(*entries) : std::nullopt;
        if (folder.newest) {
            folder.recordedCwd =
                firstRecordedCwdInTranscript(root_ / folder.name / folder.newest->name);
        }
    }

    std::filesystem::path root_;
    std::optional<std::vector<Folder>> folders_;
};

SessionScanner::SessionScanner(std::filesystem::path claudeDir, ProcessProbes& probes,
                               const Preferences& preferences, const Clock& clock, Logger& logger)
    : claudeDir_(std::move(claudeDir)),
      probes_(probes),
      preferences_(preferences),
      clock_(clock),
      logger_(logger) {}

std::optional<std::string> SessionScanner::defaultModel() const {
    const auto bytes = readWholeFile(claudeDir_ / "settings.json", kSettingsLimit);
    if (!bytes) {
        return std::nullopt;
    }
    json::Parser parser;
    const auto settings = parser.parseObject(bytes->view());
    const auto model = settings ? json::string(*settings, "model") : std::nullopt;
    return model ? std::optional<std::string>(*model) : std::nullopt;
}

std::vector<ClaudeSessionPtr> SessionScanner::scanLiveSessions() const {
    logger_.info("--- Starting scan ---");
    transcripts_.beginCycle();
    const std::vector<std::int32_t> pids = probes_.findClaudePIDs();
    logger_.info("Found %ld claude PIDs", static_cast<long>(pids.size()));
    const std::optional<std::string> model = defaultModel();
    const std::int64_t contextLimit = contextLimitForModel(model);

    ProjectHistory history(projectsRoot());
    std::vector<ClaudeSessionPtr> sessions;
    sessions.reserve(pids.size());
    for (const std::int32_t pid : pids) {
        ProcessFacts facts = probes_.factsForPID(pid);
        auto session = std::make_shared<ClaudeSession>(pid, std::move(facts.tty),
                                                       std::move(facts.workingDirectory),
                                                       std::move(facts.terminalApp));
        session->processUptime = std::move(facts.uptime);
        session->model = model;
        session->contextTokensMax = contextLimit;
        if (session->workingDirectory) {
            enrich(*session, *session->workingDirectory, history);
        }
        sessions.push_back(std::move(session));
    }
    logger_.info("--- Scan complete: %ld sessions ---", static_cast<long>(sessions.size()));
    return sessions;
}

void SessionScanner::enrichFromProjectHistory(ClaudeSession& session,
                                              std::string_view workingDirectory) const {
    ProjectHistory history(projectsRoot());
    enrich(session, workingDirectory, history);
}

void SessionScanner::enrich(ClaudeSession& session, std::string_view workingDirectory,
                            ProjectHistory& history) const {
    const auto match = history.folderRecordedIn(workingDirectory);
    if (!match) {
        return;
    }
    session.sessionModified = match->transcript.modified;
    readLiveTranscript(session, match->folder / match->transcript.name, &transcripts_);
    applySessionIndex(session, match->folder / kSessionIndexName,
                      sessionIdentifierOf(match->transcript.name));
}

std::vector<RecentSession> SessionScanner::recentSessions(const DirectorySet& excluding) const {
    const Instant cutoff = clock_.now() - kRecentWindow;
    const auto folders = listDirectory(projectsRoot(), false);
    if (!folders) {
        return {};
    }
    struct Found {
        RecentSession session;
        std::filesystem::path folder;
        bool fromTranscript;
    };
    std::vector<Found> found;
    for (const DirectoryEntry& entry : *folders) {
        std::filesystem::path folder = projectsRoot() / entry.name;
        const auto index = SessionIndex::read(folder / kSessionIndexName);
        if (index && index->entries().begin() != index->entries().end()) {
            if (auto recent = recentFromIndex(*index, folder, cutoff, excluding)) {
                found.push_back({std::move(*recent), std::move(folder), false});
            }
            continue;
        }
        auto recent = findRecentTranscript(folder, cutoff);
        if (recent && !excluding.contains(recent->projectPath)) {
            found.push_back({std::move(*recent), std::move(folder), true});
        }
    }
    std::stable_sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return a.session.modified > b.session.modified;
    });
    const auto maximum = static_cast<std::size_t>(maxRecentSessions(preferences_));
    std::vector<RecentSession> recent;
    // Transcripts are read whole, so only those of the sessions listed.
    for (std::size_t i = 0; i < std::min(maximum, found.size()); ++i) {
        readRecentFacts(found[i].session, found[i].folder, found[i].fromTranscript, &transcripts_);
        recent.push_back(std::move(found[i].session));
    }
    return recent;
}

bool transcriptMatchesDirectory(const std::filesystem::path& transcript,
                                std::string_view directory) {
    const auto cwd = firstRecordedCwdInTranscript(transcript);
    return cwd && canonicallyEqual(*cwd, directory);
}

std::optional<std::string> firstRecordedCwd(const std::filesystem::path& projectFolder) {
    const auto entries = listDirectory(projectFolder, false);
    if (!entries) {
        return std::nullopt;
    }
    for (const DirectoryEntry& entry : *entries) {
        if (!hasTranscriptExtension(entry.name)) {
            continue;
        }
        if (auto cwd = firstRecordedCwdInTranscript(projectFolder / entry.name)) {
            return cwd;
        }
    }
    return std::nullopt;
}

ScanResult runScanCycle(const SessionScanner& scanner) {
    ScanResult result;
    result.live = scanner.scanLiveSessions();
    DirectorySet liveDirectories;
    for (const ClaudeSessionPtr& session : result.live) {
        if (session->workingDirectory) {
            liveDirectories.insert(*session->workingDirectory);
        }
    }
    result.recent = scanner.recentSessions(liveDirectories);
    return result;
}

}  // namespace fernbeacon
