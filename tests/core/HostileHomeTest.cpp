// Whole refresh cycles over hostile homes: each case adds one hazard to healthy sessions; the
// cycle must end, list those as without it, stay within bounded memory (peak growth in a debug
// build is under 1 MiB; sanitizer builds keep freed memory) and change nothing under ~/.claude.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <future>
#include <map>
#include <thread>

#include "core/SessionIndex.h"
#include "support/ScannerHarness.h"

namespace fernbeacon {
namespace {

namespace fs = std::filesystem;
using test::cwdRecord;
using test::daysBeforeNow;
using test::jsonLines;
using test::ScannerHarness;
using test::usageRecord;
using test::userRecord;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kMeasuresMemory = false;
#else
constexpr bool kMeasuresMemory = true;
#endif
constexpr std::string_view kHostile = "/home/me/hostile";

long statusKiB(std::string_view field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with(field)) {
            return std::stol(line.substr(field.size() + 1));
        }
    }
    return -1;
}

// Growth of resident memory at its peak while `work` runs, in KiB.
long peakGrowthKiB(const std::function<void()>& work) {
    std::ofstream("/proc/self/clear_refs") << "5";  // resets VmHWM to VmRSS
    const long before = statusKiB("VmRSS:");
    work();
    return statusKiB("VmHWM:") - before;
}

// Runs `work` and ends the program when it runs past `limit`: a reader blocked on a FIFO would
// otherwise hold the whole suite, and its thread uses the caller's objects.
void finishWithin(std::chrono::seconds limit, const std::function<void()>& work) {
    auto done = std::async(std::launch::async, work);
    if (done.wait_for(limit) != std::future_status::ready) {
        std::fputs("a hostile cycle is still running at its time limit\n", stderr);
        std::_Exit(1);
    }
}

// Every entry under `root` with its change time, links not followed: any write, replacement,
// removal or change of mode changes one.
std::map<std::string, std::string> snapshot(const fs::path& root) {
    std::map<std::string, std::string> states;
    std::error_code ignored;
    for (auto it = fs::recursive_directory_iterator(root, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored)) {
        struct stat s {};
        ::lstat(it->path().c_str(), &s);
        states[it->path().string()] =
            std::to_string(s.st_ctim.tv_sec) + '.' + std::to_string(s.st_ctim.tv_nsec);
    }
    return states;
}

// Runs `work` as the user "nobody" on a thread of its own when we are root, so that file
// permissions apply to it. Raw system calls change that thread only; the C library's wrappers
// would change every thread of the process.
void runWithoutPrivileges(const std::function<void()>& work) {
    if (::geteuid() != 0) {
        return work();
    }
    std::thread([&] {
        constexpr long kNobody = 65534;
        if (::syscall(SYS_setgroups, 0, nullptr) != 0 ||
            ::syscall(SYS_setresgid, kNobody, kNobody, kNobody) != 0 ||
            ::syscall(SYS_setresuid, kNobody, kNobody, kNobody) != 0) {
            ADD_FAILURE() << "cannot drop privileges";
            return;
        }
        work();
    }).join();
}

struct HostileCase {
    const char* name;
    std::function<void(ScannerHarness&)> build;
    // What the session in kHostile shows (facts, then time); by default only its process facts.
    const char* hostileFacts = "|-|-|-|-|-|-";
    // Changes the tree while cycles run, so that it cannot be compared after them.
    std::function<void(ScannerHarness&, const std::atomic<bool>& stop)> race = nullptr;
    bool withoutPrivileges = false;
    int cycles = 1;
};

// The hostile session's own transcript, which matches it: a prompt, a branch and a usage.
std::string hostileRecords() {
    return jsonLines({cwdRecord(std::string(kHostile), "wild"), userRecord("Hostile prompt"),
                      usageRecord(40, 0, 0, 2)});
}

class HostileHomeTest : public ::testing::TestWithParam<HostileCase> {
protected:
    void SetUp() override {
        h_.project("-home-me-alpha", "a1.jsonl",
                   jsonLines({cwdRecord("/home/me/alpha", "main"), userRecord("Alpha prompt"),
                              usageRecord(1000, 200, 30, 4)}),
                   daysBeforeNow(1));
        h_.home.writeProjectFile("-home-me-alpha", std::string(kSessionIndexName),
                                 R"({"entries":[{"sessionId":"a1","summary":"Alpha summary",
                                     "messageCount":12}]})");
        h_.project("-home-me-beta", "b1.jsonl",
                   jsonLines({cwdRecord("/home/me/beta"), userRecord("Beta prompt")}),
                   daysBeforeNow(2));
        h_.project("-home-me-gamma", "g1.jsonl", jsonLines({cwdRecord("/home/me/gamma")}),
                   daysBeforeNow(3));
        h_.home.writeProjectFile(
            "-home-me-gamma", std::string(kSessionIndexName),
            R"({"entries":[{"sessionId":"g1","summary":"Gamma","projectPath":"/home/me/gamma",
                "modified":"2025-06-12T08:00:00Z"}]})");
        h_.addProcess(100, {"pts/1", "/home/me/alpha", "Konsole", "5 mins"});
        h_.addProcess(200, {std::nullopt, "/home/me/beta", std::nullopt, "1 hr"});
        h_.addProcess(300, {"pts/3", std::string(kHostile), std::nullopt, std::nullopt});
        // Let a process without privileges read the healthy tree.
        fs::permissions(h_.home.root(),
                        fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read |
                            fs::perms::others_exec,
                        fs::perm_options::add);
    }

    ScannerHarness h_;
};

// Whatever moment a reader catches, it shows what the file held, or nothing.
void expectWhatTheFileHeldOrNothing(const ClaudeSession& session) {
    EXPECT_TRUE(session.firstPrompt == std::nullopt || session.firstPrompt == "Hostile prompt");
    EXPECT_TRUE(session.gitBranch == std::nullopt || session.gitBranch == "wild");
    EXPECT_TRUE(session.contextTokensUsed == std::nullopt || session.contextTokensUsed == 42);
    EXPECT_LE(session.messageCount.value_or(0), 3);
}

// The healthy part of a result: the first two live sessions and the recent ones.
std::string healthyPart(const ScanResult& result) {
    return test::describe({{result.live[0], result.live[1]}, result.recent});
}

TEST_P(HostileHomeTest, TheCycleEndsListsTheHealthySessionsAndWritesNothing) {
    const HostileCase& hostile = GetParam();
    const ScanResult healthy = runScanCycle(h_.scanner);
    ASSERT_EQ(healthy.live.size(), 3u);
    ASSERT_EQ(healthy.recent.size(), 1u);

    hostile.build(h_);
    const auto before = snapshot(h_.home.claudeDir());
    std::atomic<bool> stop{false};
    std::thread racer;
    if (hostile.race) {
        racer = std::thread([&] { hostile.race(h_, stop); });
    }
    std::vector<ScanResult> results;
    long peakKiB = 0;
    finishWithin(std::chrono::seconds(60), [&] {
        const auto cycles = [&] {
            for (int i = 0; i < hostile.cycles; ++i) {
                results.push_back(runScanCycle(h_.scanner));
            }
        };
        peakKiB = peakGrowthKiB(
            [&] { hostile.withoutPrivileges ? runWithoutPrivileges(cycles) : cycles(); });
    });
    stop = true;
    if (racer.joinable()) {
        racer.join();
    }
    ASSERT_EQ(results.size(), static_cast<std::size_t>(hostile.cycles));
    for (const ScanResult& result : results) {
        ASSERT_EQ(result.live.size(), 3u);
        EXPECT_EQ(healthyPart(result), healthyPart(healthy));
        const ClaudeSession& session = *result.live[2];
        if (hostile.race) {
            expectWhatTheFileHeldOrNothing(session);
        } else {
            EXPECT_EQ(test::facts(session) + test::joined(session.sessionModified),
                      hostile.hostileFacts);
        }
    }
    if (kMeasuresMemory) {
        EXPECT_LT(peakKiB, 16 * 1024);
    }
    if (!hostile.race) {
        EXPECT_TRUE(snapshot(h_.home.claudeDir()) == before);
    }
}

// The hostile session's transcript alone, for the cases that change it while cycles run.
void hostileTranscript(ScannerHarness& h) {
    h.project("-hostile", "t.jsonl", hostileRecords(), daysBeforeNow(1));
}

const HostileCase kCases[] = {
    // A FIFO would block its reader; a folder cannot be read as a file.
    {.name = "FifosAndFoldersNamedLikeTranscriptsIndexAndSettings",
     .build =
         [](ScannerHarness& h) {
             h.project("-hostile", "older.jsonl", hostileRecords(), daysBeforeNow(5));
             const auto fifo = h.folder("-hostile") / "fifo.jsonl";
             for (const auto& path : {fifo, h.folder("-hostile") / kSessionIndexName,
                                      h.home.claudeDir() / "settings.json"}) {
                 ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0) << path;
             }
             test::TempTree::setModified(fifo, daysBeforeNow(1));
             h.project("-folder", "older.jsonl", hostileRecords(), daysBeforeNow(5));
             h.home.makeDirectory(".claude/projects/-folder/sessions-index.json");
             test::TempTree::setModified(h.home.makeDirectory(".claude/projects/-folder/x.jsonl"),
                                         daysBeforeNow(1));
         }},
    // /proc/self/pagemap reports no size and reads on for hundreds of gibibytes.
    {.name = "LinksThatLoopOrLeadToAFileWithoutEnd",
     .build =
         [](ScannerHarness& h) {
             fs::create_directory_symlink("loop-b", h.folder("loop-a"));
             fs::create_directory_symlink("loop-a", h.folder("loop-b"));
             h.home.makeDirectory(".claude/projects/-hostile");
             fs::create_symlink("t.jsonl", h.folder("-hostile") / "t.jsonl");
             fs::create_directories(h.folder("-to-pagemap"));
             fs::create_symlink("/proc/self/pagemap", h.folder("-to-pagemap") / "t.jsonl");
             fs::create_symlink("/proc/self/pagemap", h.folder("-to-pagemap") / kSessionIndexName);
         }},
    // Its hole, which takes no space, is one line of a gibibyte between the prompt and the usage.
    {.name = "SparseGibibyteTranscript",
     .build =
         [](ScannerHarness& h) {
             const auto file =
                 h.project("-hostile", "big.jsonl",
                           jsonLines({cwdRecord(std::string(kHostile), "wild"), userRecord("Big")}),
                           daysBeforeNow(1));
             fs::resize_file(file, fs::file_size(file) + (std::uintmax_t{1} << 30));
             std::ofstream(file, std::ios::app) << "\n" + usageRecord(7, 0, 0, 0) + "\n";
             test::TempTree::setModified(file, daysBeforeNow(1));
         },
     .hostileFacts = "|-|Big|wild|7|4|1749902400.000000"},
    {.name = "UnreadableFilesAndFolders",
     .build =
         [](ScannerHarness& h) {
             fs::permissions(
                 h.project("-hostile", "locked.jsonl", hostileRecords(), daysBeforeNow(1)),
                 fs::perms::none);
             h.project("-hostile-shut", "s.jsonl", hostileRecords(), daysBeforeNow(1));
             fs::permissions(h.folder("-hostile-shut"), fs::perms::none);
         },
     .withoutPrivileges = true},
    {.name = "TranscriptOrItsFolderReplacedOrDeletedWhileRead",
     .build = hostileTranscript,
     .race =
         [](ScannerHarness& h, const std::atomic<bool>& stop) {
             const auto file = h.folder("-hostile") / "t.jsonl";
             for (int round = 0; !stop; ++round) {
                 std::error_code ignored;
                 if (round % 4 == 0) {
                     fs::resize_file(file, 10, ignored);
                 } else if (round % 4 == 1) {
                     fs::rename(h.home.writeProjectFile("-hostile", "t.new", hostileRecords()),
                                file, ignored);
                 } else {
                     fs::remove_all(round % 4 == 2 ? file : h.folder("-hostile"), ignored);
                 }
                 hostileTranscript(h);
             }
         },
     .cycles = 200},
};

INSTANTIATE_TEST_SUITE_P(Cases, HostileHomeTest, ::testing::ValuesIn(kCases),
                         [](const auto& parameter) { return std::string(parameter.param.name); });

}  // namespace
}  // namespace fernbeacon
