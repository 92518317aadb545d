#include "core/TerminalNames.h"

#include <gtest/gtest.h>

#include <map>

#include "support/Fakes.h"

namespace fernbeacon {
namespace {

using test::LoggedMessage;
using test::RecordingLogger;

TEST(TerminalNameForProcess, AppliesTheRowsInOrderToTheLowerCasedName) {
    const struct {
        std::string_view processName;
        std::optional<std::string> expected;
    } cases[] = {
        {"Code Helper (Renderer)", "VS Code"},
        {"/System/Applications/Utilities/Terminal.app/Contents/MacOS/Terminal", "Terminal"},
        {"Apple Terminal", "Terminal"},
        {"WEZTERM-GUI", "WezTerm"},
        // Earlier rows win; tests are plain substrings, without word boundaries.
        {"Code Helper for iTerm kitty", "VS Code"},
        {"hypervisor", "Hyper"},
        {"myterminal", std::nullopt},
        // Linux names are the kernel's 15-byte comm.
        {"gnome-terminal-", "GNOME Terminal"},
        {"football", std::nullopt},
        {"xterm-256color", std::nullopt},
        {"tmux: server", "tmux"},
        {"SCREEN", "screen"},
        {"screenshot", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(terminalNameForProcess(c.processName), c.expected) << c.processName;
    }
}

// A parent table given by the test.
class ParentChain : public testing::Test {
protected:
    void add(std::int32_t pid, std::int32_t ppid, std::string name) {
        table_[pid] = ProcessRow{pid, ppid, std::nullopt, std::move(name)};
    }

    std::optional<std::string> walkFrom(std::int32_t pid) {
        const ParentLookup lookup = [this](std::int32_t current) -> std::optional<ProcessRow> {
            asked_.push_back(current);
            const auto found = table_.find(current);
            return found == table_.end() ? std::nullopt : std::optional(found->second);
        };
        return terminalAppFromParentChain(pid, lookup, logger_);
    }

    std::vector<LoggedMessage> messages() const { return logger_.messages(); }
    const std::vector<std::int32_t>& asked() const { return asked_; }

private:
    std::map<std::int32_t, ProcessRow> table_;
    std::vector<std::int32_t> asked_;
    RecordingLogger logger_;
};

TEST_F(ParentChain, NamesTheNearestKnownAncestorEvenWhenAFartherOneMatchesAnEarlierRow) {
    add(900, 800, "claude");
    add(800, 700, "-zsh");
    add(700, 600, "tmux: server");
    add(600, 1, "gnome-terminal-");
    EXPECT_EQ(walkFrom(900), "tmux");
    EXPECT_EQ(asked(), (std::vector<std::int32_t>{900, 800, 700}));
    EXPECT_TRUE(messages().empty());

    add(50, 1, "kitty");
    EXPECT_EQ(walkFrom(50), "kitty");
}

TEST_F(ParentChain, NeverTestsProcessOneOrBelowAndLogsOnceWhenNothingMatches) {
    add(900, 800, "claude");
    add(800, 1, "bash");
    add(1, 0, "Terminal");
    EXPECT_EQ(walkFrom(900), std::nullopt);
    EXPECT_EQ(asked(), (std::vector<std::int32_t>{900, 800}));
    EXPECT_EQ(
        messages(),
        (std::vector<LoggedMessage>{{LogLevel::Info,
                                     "Could not determine terminal for PID 900 by walking parent "
                                     "chain"}}));
}

TEST_F(ParentChain, EndsAtALoopOrWhereTheTableEnds) {
    add(900, 800, "claude");
    add(800, 700, "bash");
    add(700, 800, "sh");
    EXPECT_EQ(walkFrom(900), std::nullopt);
    EXPECT_EQ(asked(), (std::vector<std::int32_t>{900, 800, 700}));

    add(42, 42, "claude");
    EXPECT_EQ(walkFrom(42), std::nullopt);
    add(910, 920, "claude");
    EXPECT_EQ(walkFrom(910), std::nullopt);
    EXPECT_EQ(walkFrom(-5), std::nullopt);
    EXPECT_EQ(messages().size(), 4u);
    EXPECT_EQ(messages().back().text,
              "Could not determine terminal for PID -5 by walking parent chain");
}

}  // namespace
}  // namespace fernbeacon
