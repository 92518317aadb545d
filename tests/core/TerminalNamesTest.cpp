#include "core/TerminalNames.h"

#include <gtest/gtest.h>

#include <map>

#include "support/Fakes.h"

namespace fernbeacon {
namespace {

using test::RecordingLogger;

TEST(TerminalNameForProcess, AppliesTheRowsInOrderToTheLowerCasedName) {
    const struct {
        std::string_view processName;
        std::optional<std::string> expected;
    } cases[] = {
        {"Code Helper (Renderer)", "VS Code"},
        {"/System/Applications/Utilities/Terminal.app/Contents/MacOS/Terminal", "Terminal"},
        // Earlier rows win; tests are plain substrings, without word boundaries.
        {"Code Helper for iTerm kitty", "VS Code"},
        // Linux names are the kernel's 15-byte comm.
        {"gnome-terminal-", "GNOME Terminal"},
        {"xterm-256color", std::nullopt},
        {"tmux: server", "tmux"},
        {"SCREEN", "screen"},
        {"screenshot", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(terminalNameForProcess(c.processName), c.expected) << c.processName;
    }
}

struct Parent {
    std::int32_t ppid;
    std::string command;
};

// Walks a parent table given by the test; `asked` tells which IDs were looked up.
std::optional<std::string> walk(const std::map<std::int32_t, Parent>& table, std::int32_t pid,
                                RecordingLogger& logger,
                                std::vector<std::int32_t>* asked = nullptr) {
    return terminalAppFromParentChain(
        pid,
        [&](std::int32_t current) -> std::optional<ProcessRow> {
            if (asked) {
                asked->push_back(current);
            }
            const auto found = table.find(current);
            if (found == table.end()) {
                return std::nullopt;
            }
            return ProcessRow{current, found->second.ppid, std::nullopt, found->second.command};
        },
        logger);
}

TEST(ParentChain, NamesTheNearestKnownAncestorBelowProcessOneAndEndsAtALoop) {
    RecordingLogger logger;
    std::vector<std::int32_t> asked;
    // A farther ancestor that matches an earlier row does not win.
    const std::map<std::int32_t, Parent> table{
        {900, {800, "claude"}},        {800, {700, "-zsh"}},   {700, {600, "tmux: server"}},
        {600, {1, "gnome-terminal-"}}, {901, {801, "claude"}}, {801, {1, "bash"}},
        {1, {0, "Terminal"}},          {910, {911, "claude"}}, {911, {910, "sh"}}};
    EXPECT_EQ(walk(table, 900, logger, &asked), "tmux");
    EXPECT_EQ(asked, (std::vector<std::int32_t>{900, 800, 700}));
    asked.clear();
    EXPECT_EQ(walk(table, 901, logger, &asked), std::nullopt);
    EXPECT_EQ(asked, (std::vector<std::int32_t>{901, 801}));
    for (const std::int32_t pid : {910, 42}) {  // a loop; a process that has gone
        EXPECT_EQ(walk(table, pid, logger), std::nullopt) << pid;
    }
}

}  // namespace
}  // namespace fernbeacon
