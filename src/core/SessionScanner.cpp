#include "core/SessionScanner.h"

#include <algorithm>
#include <chrono>
#include <map>

#include "core/ConfigDirectory.h"
#include "core/ContextWindow.h"
#include "core/Directory.h"
#include "core/FileReading.h"
#include "core/Json.h"
#include "core/LiveRegistry.h"
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

// One scan's view of the project folders: each folder's newest transcript and the directory it
// was recorded in, worked out when first needed and shared by the sessions of that scan only.
// For a tree that does not change during the scan, every session gets what its own walk would.
class ProjectHistory {
public:
    explicit ProjectHistory(std::filesystem::path root) : root_(std::move(root)) {}

    struct Match {
        std::filesystem::path folder;
        DirectoryEntry transcript;
    };

    std::optional<Match> folderRecordedIn(std::string_view directory) {
        for (Folder& folder : folders()) {
            examine(folder);
            if (folder.recordedCwd && canonicallyEqual(*folder.recordedCwd, directory)) {
                return Match{root_ / folder.name, *folder.newest};
            }
        }
        return std::nullopt;
    }

    // The transcript of that name: in `preferred`'s folder when it is there, else in the first
    // folder listed that has it.
    std::optional<Match> transcriptNamed(std::string_view name,
                                         const std::optional<Match>& preferred) {
        if (preferred) {
            if (auto match = transcriptIn(preferred->folder, name)) {
                return match;
            }
        }
        for (const Folder& folder : folders()) {
            if (auto match = transcriptIn(root_ / folder.name, name)) {
                return match;
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

    std::vector<Folder>& folders() {
        if (!folders_) {
            folders_.emplace();
            if (const auto entries = listDirectory(root_, false)) {
                for (const DirectoryEntry& entry : *entries) {
                    folders_->push_back(Folder{entry.name, false, std::nullopt, std::nullopt});
                }
            }
        }
        return *folders_;
    }

    static std::optional<Match> transcriptIn(const std::filesystem::path& folder,
                                             std::string_view name) {
        const std::string file(name);
        auto modified = regularFileModified(folder / file);
        if (!modified) {
            return std::nullopt;
        }
        return Match{folder, DirectoryEntry{file, modified}};
    }

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

std::filesystem::path projectsRootOf(const std::filesystem::path& configDirectory) {
    return configDirectory / "projects";
}

// The "model" string of the directory's settings.json.
std::optional<std::string> defaultModelIn(const std::filesystem::path& configDirectory) {
    const auto bytes = readWholeFile(configDirectory / "settings.json", kSettingsLimit);
    if (!bytes) {
        return std::nullopt;
    }
    json::Parser parser;
    const auto settings = parser.parseObject(bytes->view());
    const auto model = settings ? json::string(*settings, "model") : std::nullopt;
    return model ? std::optional<std::string>(*model) : std::nullopt;
}

// One scan's reading of a configuration directory, shared by the sessions that use it.
struct ConfigView {
    explicit ConfigView(const std::filesystem::path& directory)
        : defaultModel(defaultModelIn(directory)),
          registry(LiveRegistry::read(directory)),
          history(projectsRootOf(directory)) {}

    std::optional<std::string> defaultModel;
    LiveRegistry registry;
    ProjectHistory history;
};

void enrichFrom(ClaudeSession& session, std::string_view workingDirectory, ProjectHistory& history,
                TranscriptCache& transcripts) {
    const auto recorded = history.folderRecordedIn(workingDirectory);
    std::optional<ProjectHistory::Match> match;
    if (session.sessionId) {
        match = history.transcriptNamed(*session.sessionId + ".jsonl", recorded);
    }
    if (!match) {
        match = recorded;
    }
    if (!match) {
        return;
    }
    const std::string_view id = sessionIdentifierOf(match->transcript.name);
    if (!session.sessionId) {
        session.sessionId = std::string(id);
    }
    session.sessionModified = match->transcript.modified;
    readLiveTranscript(session, match->folder / match->transcript.name, &transcripts);
    applySessionIndex(session, match->folder / kSessionIndexName, id);
}

// A recent session before its transcript is read whole.
struct FoundRecent {
    RecentSession session;
    std::filesystem::path folder;
    bool fromTranscript;
};

// Adds the recent session of each project folder under `projectsRoot`.
void collectRecent(const std::filesystem::path& projectsRoot, Instant cutoff,
                   const DirectorySet& excluding, std::vector<FoundRecent>& found) {
    const auto folders = listDirectory(projectsRoot, false);
    if (!folders) {
        return;
    }
    for (const DirectoryEntry& entry : *folders) {
        std::filesystem::path folder = projectsRoot / entry.name;
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
}

}  // namespace

void DirectorySet::insert(std::string_view directory) {
    keys_.insert(canonicalForm(directory));
}

bool DirectorySet::contains(std::string_view directory) const {
    return keys_.contains(canonicalForm(directory));
}

SessionScanner::SessionScanner(std::filesystem::path claudeDir, ProcessProbes& probes,
                               const Preferences& preferences, const Clock& clock, Logger& logger)
    : claudeDir_(std::move(claudeDir)),
      probes_(probes),
      preferences_(preferences),
      clock_(clock),
      logger_(logger) {}

std::vector<ClaudeSessionPtr> SessionScanner::scanLiveSessions() const {
    logger_.info("--- Starting scan ---");
    transcripts_.beginCycle();
    const std::vector<std::int32_t> pids = probes_.findClaudePIDs();
    logger_.info("Found %ld claude PIDs", static_cast<long>(pids.size()));

    std::map<std::filesystem::path, ConfigView> views;
    std::vector<ClaudeSessionPtr> sessions;
    sessions.reserve(pids.size());
    for (const std::int32_t pid : pids) {
        ProcessFacts facts = probes_.factsForPID(pid);
        auto session = std::make_shared<ClaudeSession>(pid, std::move(facts.tty),
                                                       std::move(facts.workingDirectory),
                                                       std::move(facts.terminalApp));
        session->processUptime = std::move(facts.uptime);
        const std::filesystem::path directory =
            configDirectoryFor(facts.configDirectory, claudeDir_);
        ConfigView& view = views.try_emplace(directory, directory).first->second;
        session->configDirectory = directory;
        session->model = view.defaultModel;
        if (auto entry = view.registry.entryFor(pid, facts.startTime)) {
            session->sessionId = std::move(entry->sessionId);
            session->status = std::move(entry->status);
            session->waitingFor = std::move(entry->waitingFor);
        }
        if (session->workingDirectory) {
            enrichFrom(*session, *session->workingDirectory, view.history, transcripts_);
        }
        // Only now are the session's own model and usage known.
        session->contextTokensMax = contextWindowFor(session->model, session->contextTokensUsed,
                                                     facts.millionContextDisabled == "1");
        sessions.push_back(std::move(session));
    }
    logger_.info("--- Scan complete: %ld sessions ---", static_cast<long>(sessions.size()));
    return sessions;
}

void SessionScanner::enrichFromProjectHistory(ClaudeSession& session,
                                              std::string_view workingDirectory) const {
    ProjectHistory history(projectsRootOf(claudeDir_));
    enrichFrom(session, workingDirectory, history, transcripts_);
}

std::vector<RecentSession> SessionScanner::recentSessions(
    const DirectorySet& excluding,
    std::span<const std::filesystem::path> otherConfigDirectories) const {
    const Instant cutoff = clock_.now() - kRecentWindow;
    std::vector<std::filesystem::path> directories{claudeDir_};
    for (const std::filesystem::path& directory : otherConfigDirectories) {
        if (std::find(directories.begin(), directories.end(), directory) == directories.end()) {
            directories.push_back(directory);
        }
    }
    std::vector<FoundRecent> found;
    for (const std::filesystem::path& directory : directories) {
        collectRecent(projectsRootOf(directory), cutoff, excluding, found);
    }
    std::stable_sort(found.begin(), found.end(), [](const FoundRecent& a, const FoundRecent& b) {
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
    std::vector<std::filesystem::path> configDirectories;
    for (const ClaudeSessionPtr& session : result.live) {
        if (session->workingDirectory) {
            liveDirectories.insert(*session->workingDirectory);
        }
        if (session->configDirectory) {
            configDirectories.push_back(*session->configDirectory);
        }
    }
    result.recent = scanner.recentSessions(liveDirectories, configDirectories);
    return result;
}

}  // namespace fernbeacon
