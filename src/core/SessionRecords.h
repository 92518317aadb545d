#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "core/Instant.h"

namespace fernbeacon {

inline constexpr std::int64_t kDefaultContextLimit = 200000;

// A live session: one running `claude` process. Built and filled by one scan on its worker
// thread, then handed on as ClaudeSessionPtr and never changed again.
struct ClaudeSession {
    ClaudeSession(std::int32_t pid, std::optional<std::string> tty,
                  std::optional<std::string> workingDirectory,
                  std::optional<std::string> terminalApp);

    const std::int32_t pid;
    const std::optional<std::string> tty;  // as the process table prints it, without "/dev/"
    const std::optional<std::string> workingDirectory;
    const std::optional<std::string> terminalApp;
    std::optional<std::string> summary;
    std::optional<std::string> firstPrompt;
    std::optional<std::string> customTitle;  // given by the user; outranks every other title
    std::optional<std::string> aiTitle;      // the assistant's own, ranked below the summary
    std::optional<std::int64_t> messageCount;
    std::optional<std::string> gitBranch;
    std::optional<Instant> sessionCreated;  // nothing fills it yet
    std::optional<Instant> sessionModified;
    std::optional<std::string> model;  // the session's own, else the settings' default
    std::optional<std::int64_t> contextTokensUsed;
    std::optional<std::int64_t> contextTokensMax;
    std::optional<std::string> processUptime;
    // From the assistant's registry of live processes, or the matched transcript's name.
    std::optional<std::string> sessionId;
    std::optional<std::string> status;      // as the registry writes it: "busy", "waiting", ...
    std::optional<std::string> waitingFor;  // only while waiting: "permission prompt", ...
    // Where the session's files live: its CLAUDE_CONFIG_DIR, else the scanner's directory.
    std::optional<std::filesystem::path> configDirectory;

    // One-line title of at most 45 characters; see displayTitleFor.
    std::optional<std::string> displayTitle() const;
    // "45k / 200k tokens (22%)"; absent without a token count.
    std::optional<std::string> contextLabel() const;
    // Terminal, branch, model and uptime joined by " · "; empty when none is known.
    std::string detailLine() const;
    // "busy", or "waiting: permission prompt" with the reason; absent when unknown.
    std::optional<std::string> statusText() const;
};

using ClaudeSessionPtr = std::shared_ptr<const ClaudeSession>;

// A stored session that is not running.
struct RecentSession {
    std::optional<std::string> summary;
    std::optional<std::string> firstPrompt;
    std::string projectPath;
    Instant modified;
    std::optional<std::int64_t> messageCount;
    std::optional<std::string> gitBranch;
    std::optional<std::string> sessionId = std::nullopt;
    std::optional<std::string> customTitle = std::nullopt;
    std::optional<std::string> aiTitle = std::nullopt;

    std::optional<std::string> displayTitle() const;
};

// The shared title rule of both records: the first candidate that is left with text after
// clean-up, in this order, shortened to at most 45 characters.
std::optional<std::string> displayTitleFor(const std::optional<std::string>& customTitle,
                                           const std::optional<std::string>& summary,
                                           const std::optional<std::string>& aiTitle,
                                           const std::optional<std::string>& firstPrompt);

}  // namespace fernbeacon
