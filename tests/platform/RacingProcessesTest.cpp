// Real claude processes that end between the listing and the probes, or while the probes read,
// and IDs that a new process takes over within one cycle: a listed session may lose facts,
// but never shows another process's.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <map>
#include <random>
#include <thread>

#include "core/SessionScanner.h"
#include "platform/linux/ProcProbes.h"
#include "support/Fakes.h"
#include "support/TempTree.h"
#include "support/TestProcesses.h"

extern char** environ;

namespace fernbeacon::platform {
namespace {

using test::TempTree;
using test::TestProcess;

// The /proc probes, listing only the processes a test started, with a hook that runs between
// the listing and the facts.
class OwnProcesses final : public ProcessProbes {
public:
    explicit OwnProcesses(ProcProbes& probes) : probes_(probes) {}

    std::vector<std::int32_t> findClaudePIDs() override {
        std::vector<std::int32_t> own;
        for (const std::int32_t pid : probes_.findClaudePIDs()) {
            if (std::find(started.begin(), started.end(), pid) != started.end()) {
                own.push_back(pid);
            }
        }
        if (afterListing) {
            afterListing();
        }
        return own;
    }
    std::optional<std::string> ttyForPID(std::int32_t pid) override {
        return probes_.ttyForPID(pid);
    }
    std::optional<std::string> workingDirectoryForPID(std::int32_t pid) override {
        return probes_.workingDirectoryForPID(pid);
    }
    std::optional<std::string> terminalAppForPID(std::int32_t pid) override {
        return probes_.terminalAppForPID(pid);
    }
    std::optional<std::string> uptimeForPID(std::int32_t pid) override {
        return probes_.uptimeForPID(pid);
    }
    ProcessFacts factsForPID(std::int32_t pid) override { return probes_.factsForPID(pid); }

    std::vector<std::int32_t> started;
    std::function<void()> afterListing;

private:
    ProcProbes& probes_;
};

// Starts `program` as exactly process `pid`, which must be free; absent when the kernel does
// not let us choose (it takes CAP_SYS_ADMIN or CAP_CHECKPOINT_RESTORE).
std::optional<pid_t> startAsPid(pid_t pid, const std::filesystem::path& program,
                                const std::filesystem::path& directory) {
    const std::string path = program.string();
    const std::string name = program.filename().string();
    const std::string folder = directory.string();
    char seconds[] = "1000";
    char* const argv[] = {const_cast<char*>(name.c_str()), seconds, nullptr};
    clone_args arguments{};
    arguments.exit_signal = SIGCHLD;
    arguments.set_tid = reinterpret_cast<std::uint64_t>(&pid);
    arguments.set_tid_size = 1;
    const long child = ::syscall(SYS_clone3, &arguments, sizeof arguments);
    if (child == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::chdir(folder.c_str()) == 0) {
            ::execv(path.c_str(), argv);
        }
        ::_exit(127);
    }
    if (child < 0) {
        return std::nullopt;
    }
    // Running the program once its name is the program's.
    test::waitUntil([&] { return test::commandNameOf(pid) == name; }, std::chrono::seconds(5));
    return static_cast<pid_t>(child);
}

// Processes running `program` in the given folders, started together without waiting for each
// (posix_spawn does not copy this large process), killed and reaped when the object goes.
class ProcessBatch {
public:
    ProcessBatch(const std::filesystem::path& program,
                 const std::vector<std::filesystem::path>& directories) {
        const std::string name = program.filename().string();
        for (const auto& directory : directories) {
            posix_spawn_file_actions_t actions;
            ::posix_spawn_file_actions_init(&actions);
            ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
            ::posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
            char seconds[] = "1000";
            char* const argv[] = {const_cast<char*>(name.c_str()), seconds, nullptr};
            pid_t pid = -1;
            if (::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ) == 0) {
                pids_.push_back(pid);
            }
            ::posix_spawn_file_actions_destroy(&actions);
        }
        // Each is listed as claude only once it runs the program.
        for (const pid_t pid : pids_) {
            test::waitUntil([&] { return test::commandNameOf(pid) == name; },
                            std::chrono::seconds(5));
        }
    }
    ~ProcessBatch() {
        for (const pid_t pid : pids_) {
            test::killAndReap(pid);
        }
    }
    ProcessBatch(const ProcessBatch&) = delete;
    ProcessBatch& operator=(const ProcessBatch&) = delete;

    const std::vector<pid_t>& pids() const { return pids_; }

private:
    std::vector<pid_t> pids_;
};

// Every fact is either absent or the one that the session's own process has.
void expectOwnFactsOrNone(const ClaudeSession& session, const std::string& directory,
                          const std::optional<std::string>& terminal) {
    EXPECT_TRUE(session.workingDirectory == std::nullopt || session.workingDirectory == directory);
    EXPECT_EQ(session.tty, std::nullopt);
    EXPECT_TRUE(session.terminalApp == std::nullopt || session.terminalApp == terminal);
    EXPECT_TRUE(session.processUptime == std::nullopt || session.processUptime == "<1 min");
}

class RacingProcessesTest : public ::testing::Test {
protected:
    TempTree tree_;
    std::filesystem::path claude_ = test::copyProgram("/bin/sleep", tree_.root(), "claude");
    std::filesystem::path other_ = test::copyProgram("/bin/sleep", tree_.root(), "other");
    test::RecordingLogger logger_;
    ProcProbes proc_{logger_};
    OwnProcesses probes_{proc_};
    test::MemoryPreferences preferences_;
    SystemClock clock_;
    SessionScanner scanner_{tree_.path(".claude"), probes_, preferences_, clock_, logger_};
};

TEST_F(RacingProcessesTest, ProcessesEndingAroundTheProbesNeverLendOrBorrowFacts) {
    // Our processes run under this test, and so in its terminal, if any.
    const auto terminal = proc_.terminalAppForPID(::getpid());
    constexpr int kRounds = 100;
    constexpr int kEach = 20;
    std::vector<std::filesystem::path> directories;
    for (int i = 0; i < kEach; ++i) {
        directories.push_back(tree_.makeDirectory("run-" + std::to_string(i)));
    }
    std::mt19937 random(11);
    int listedWithFacts = 0;
    for (int round = 0; round < kRounds; ++round) {
        const ProcessBatch batch(claude_, directories);
        ASSERT_EQ(batch.pids().size(), static_cast<std::size_t>(kEach));
        probes_.started = batch.pids();
        std::map<std::int32_t, std::string> directoryOf;
        std::vector<pid_t> endBeforeProbes;
        std::vector<pid_t> endDuringProbes;
        for (int i = 0; i < kEach; ++i) {
            const pid_t pid = batch.pids()[static_cast<std::size_t>(i)];
            directoryOf[pid] = directories[static_cast<std::size_t>(i)].string();
            // A third end before their facts are asked, a third while they are read.
            if ((i + round) % 3 == 0) {
                endBeforeProbes.push_back(pid);
            } else if ((i + round) % 3 == 1) {
                endDuringProbes.push_back(pid);
            }
        }
        std::thread killer;
        probes_.afterListing = [&] {
            for (const pid_t pid : endBeforeProbes) {
                ::kill(pid, SIGKILL);
            }
            const auto delay = std::chrono::microseconds(random() % 2000);
            killer = std::thread([&endDuringProbes, delay] {
                std::this_thread::sleep_for(delay);
                for (const pid_t pid : endDuringProbes) {
                    ::kill(pid, SIGKILL);
                }
            });
        };
        const auto sessions = scanner_.scanLiveSessions();
        killer.join();
        ASSERT_EQ(sessions.size(), static_cast<std::size_t>(kEach));
        for (const ClaudeSessionPtr& session : sessions) {
            expectOwnFactsOrNone(*session, directoryOf.at(session->pid), terminal);
            listedWithFacts += session->workingDirectory.has_value();
        }
    }
    // The processes that did not end during their scan kept all their facts.
    EXPECT_GE(listedWithFacts, kRounds * kEach / 3);
}

TEST_F(RacingProcessesTest, AnIdTakenOverWithinTheCycleGivesOnlyTheNewClaudesFacts) {
    const auto first = tree_.makeDirectory("first");
    const auto second = tree_.makeDirectory("second");
    for (const auto& [successor, directory] :
         {std::pair{other_, second}, std::pair{claude_, second}}) {
        SCOPED_TRACE(successor.filename().string());
        auto original = TestProcess::start({claude_, {"1000"}, first, false, std::nullopt});
        ASSERT_TRUE(original);
        const pid_t pid = original->pid();
        probes_.started = {pid};
        std::optional<pid_t> takeover;
        probes_.afterListing = [&] {
            original.reset();  // killed and reaped: the ID is free
            takeover = startAsPid(pid, successor, directory);
        };
        const auto sessions = scanner_.scanLiveSessions();
        if (!takeover) {
            GTEST_SKIP() << "this kernel does not let us choose a process ID";
        }
        ASSERT_EQ(sessions.size(), 1u);
        const ClaudeSession& session = *sessions[0];
        EXPECT_EQ(session.pid, pid);
        if (successor == other_) {
            EXPECT_EQ(session.workingDirectory, std::nullopt);
            EXPECT_EQ(session.processUptime, std::nullopt);
        } else {
            // A claude again, under the same ID: its own facts, never the first one's.
            EXPECT_EQ(session.workingDirectory, directory.string());
        }
        test::killAndReap(*takeover);
    }
}

}  // namespace
}  // namespace fernbeacon::platform
