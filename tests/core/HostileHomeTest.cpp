// Whole refresh cycles over hostile home directories. Each case adds its hostility to a tree of
// healthy sessions and checks that the cycle ends, that the healthy sessions are listed exactly
// as without it, that memory stays bounded and that nothing under ~/.claude changes.
//
// Peak resident growth over a cycle in a debug build (VmHWM less VmRSS before it): the 100 MiB
// line at the tail 0.75 MiB, the racing truncations 0.5 MiB, the sparse gibibyte 0.25 MiB,
// every other case under 0.15 MiB. The bound asserted is 16 MiB; sanitizer builds skip it,
// since their allocators hold on to freed memory on purpose.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <thread>

#include "core/SessionIndex.h"
#include "support/ScannerHarness.h"

namespace fernbeacon {
namespace {

using test::cwdRecord;
using test::daysBeforeNow;
using test::describe;
using test::FakeProcess;
using test::jsonLines;
using test::usageRecord;
using test::userRecord;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kMeasuresMemory = false;
#else
constexpr bool kMeasuresMemory = true;
#endif
constexpr long kMemoryBoundKiB = 16 * 1024;
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

std::string stamp(const timespec& time) {
    return std::to_string(time.tv_sec) + '.' + std::to_string(time.tv_nsec);
}

// Every entry under `root` as text, links not followed: enough to tell any write, replacement
// or removal, since each changes a time. `skip` names a folder left out; the folder that holds
// it is told by its other names instead of its times.
std::map<std::string, std::string> snapshot(const std::filesystem::path& root,
                                            const std::string& skip = {}) {
    std::map<std::string, std::string> states;
    std::error_code ignored;
    for (auto it = std::filesystem::recursive_directory_iterator(root, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        if (!skip.empty() && it->path().filename() == skip) {
            it.disable_recursion_pending();
            continue;
        }
        struct stat status {};
        if (::lstat(it->path().c_str(), &status) != 0) {
            continue;
        }
        std::string state = std::to_string(status.st_mode) + ' ' + std::to_string(status.st_ino);
        if (!skip.empty() && std::filesystem::exists(it->path() / skip, ignored)) {
            std::set<std::string> names;
            for (const auto& entry : std::filesystem::directory_iterator(it->path(), ignored)) {
                names.insert(entry.path().filename().string());
            }
            names.erase(skip);
            for (const std::string& name : names) {
                state += ' ' + name;
            }
        } else {
            state += ' ' + std::to_string(status.st_size) + ' ' + stamp(status.st_mtim) + ' ' +
                     stamp(status.st_ctim);
        }
        states[it->path().string()] = state;
    }
    return states;
}

// A file of `prefix`, `hole` zero bytes that take no space, then `suffix`, dated a day ago.
void writeSparse(const std::filesystem::path& path, std::string_view prefix, off_t hole,
                 std::string_view suffix) {
    std::filesystem::create_directories(path.parent_path());
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, prefix.data(), prefix.size()), static_cast<ssize_t>(prefix.size()));
    ASSERT_EQ(::pwrite(fd, suffix.data(), suffix.size(), static_cast<off_t>(prefix.size()) + hole),
              static_cast<ssize_t>(suffix.size()));
    ::close(fd);
    test::TempTree::setModified(path, daysBeforeNow(1));
}

// Runs `work` on a thread of its own as the user "nobody" when we are root, so that file
// permissions apply to it. Raw system calls change that thread only; the C library's wrappers
// would change every thread of the process.
void runWithoutPrivileges(const std::function<void()>& work) {
    if (::geteuid() != 0) {
        work();
        return;
    }
    std::thread unprivileged([&] {
        constexpr long kNobody = 65534;
        if (::syscall(SYS_setgroups, 0, nullptr) != 0 ||
            ::syscall(SYS_setresgid, kNobody, kNobody, kNobody) != 0 ||
            ::syscall(SYS_setresuid, kNobody, kNobody, kNobody) != 0) {
            ADD_FAILURE() << "cannot drop privileges";
            return;
        }
        work();
    });
    unprivileged.join();
}

using Fifos = std::vector<std::filesystem::path>;

struct HostileCase {
    const char* name;
    // Adds the hostility, and the FIFOs that a blocked reader would wait on.
    std::function<void(test::ScannerHarness&, Fifos& fifos)> build;
    // What the session in kHostile should show; by default nothing beyond its process facts.
    std::function<void(const ClaudeSession&)> expectHostile = nullptr;
    // Changes the tree while cycles run; the folder it names is left out of the snapshot.
    std::function<void(test::ScannerHarness&, const std::atomic<bool>& stop)> race = nullptr;
    const char* racedFolder = "";
    bool withoutPrivileges = false;
    int cycles = 1;
};

void expectUnenriched(const ClaudeSession& session) {
    EXPECT_EQ(session.sessionModified, std::nullopt);
    EXPECT_EQ(session.firstPrompt, std::nullopt);
    EXPECT_EQ(session.messageCount, std::nullopt);
    EXPECT_EQ(session.contextTokensUsed, std::nullopt);
}

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
        h_.project("-home-me-delta", "d1.jsonl",
                   jsonLines({cwdRecord("/home/me/delta", "dev"), userRecord("Delta prompt")}),
                   daysBeforeNow(4));
        h_.addProcess(100, FakeProcess{"pts/1", "/home/me/alpha", "Konsole", "5 mins"});
        h_.addProcess(200, FakeProcess{std::nullopt, "/home/me/beta", std::nullopt, "1 hr"});
        h_.addProcess(300, FakeProcess{"pts/3", std::string(kHostile), std::nullopt, std::nullopt});
        // Let a process without privileges read the healthy tree.
        std::filesystem::permissions(h_.home.root(), std::filesystem::perms::owner_all |
                                                         std::filesystem::perms::group_read |
                                                         std::filesystem::perms::group_exec |
                                                         std::filesystem::perms::others_read |
                                                         std::filesystem::perms::others_exec);
    }

    test::ScannerHarness h_;
};

TEST_P(HostileHomeTest, TheCycleEndsListsTheHealthySessionsAndWritesNothing) {
    const HostileCase& hostile = GetParam();
    const ScanResult healthy = runScanCycle(h_.scanner);
    ASSERT_EQ(healthy.live.size(), 3u);
    ASSERT_EQ(healthy.live[0]->summary, "Alpha summary");
    ASSERT_EQ(healthy.live[1]->firstPrompt, "Beta prompt");
    ASSERT_EQ(healthy.recent.size(), 2u);

    Fifos fifos;
    hostile.build(h_, fifos);
    const auto before = snapshot(h_.home.claudeDir(), hostile.racedFolder);
    std::atomic<bool> stop{false};
    std::thread racer;
    if (hostile.race) {
        racer = std::thread([&] { hostile.race(h_, stop); });
    }
    std::vector<ScanResult> results;
    long peakKiB = 0;
    const bool ended = test::finishesWithin(std::chrono::seconds(20), fifos, [&] {
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
    ASSERT_TRUE(ended) << hostile.name;
    ASSERT_EQ(results.size(), static_cast<std::size_t>(hostile.cycles));
    for (const ScanResult& result : results) {
        ASSERT_EQ(result.live.size(), 3u);
        EXPECT_EQ(describe(*result.live[0]), describe(*healthy.live[0]));
        EXPECT_EQ(describe(*result.live[1]), describe(*healthy.live[1]));
        EXPECT_EQ(result.live[2]->tty, "pts/3");
        if (hostile.expectHostile) {
            hostile.expectHostile(*result.live[2]);
        } else {
            expectUnenriched(*result.live[2]);
        }
        EXPECT_EQ(describe({{}, result.recent}), describe({{}, healthy.recent}));
    }
    if (kMeasuresMemory) {
        EXPECT_LT(peakKiB, kMemoryBoundKiB) << hostile.name;
    }
    EXPECT_TRUE(snapshot(h_.home.claudeDir(), hostile.racedFolder) == before) << hostile.name;
}

std::filesystem::path projects(const test::ScannerHarness& h) {
    return h.home.claudeDir() / "projects";
}

// The hostile session's transcript alone, for the cases that change it while cycles run.
void hostileTranscript(test::ScannerHarness& h, Fifos&) {
    h.project("-hostile", "t.jsonl", hostileRecords(), daysBeforeNow(1));
}

// Whatever moment a reader catches, it shows what the file held, or nothing.
void expectWhatTheFileHeldOrNothing(const ClaudeSession& session) {
    EXPECT_TRUE(session.firstPrompt == std::nullopt || session.firstPrompt == "Hostile prompt");
    EXPECT_TRUE(session.gitBranch == std::nullopt || session.gitBranch == "wild");
    EXPECT_TRUE(session.contextTokensUsed == std::nullopt || session.contextTokensUsed == 42);
    EXPECT_LE(session.messageCount.value_or(0), 3);
}

// A matching transcript, dated before the hostile entries so that they count as newest.
void olderHostileTranscript(test::ScannerHarness& h, std::string_view folder) {
    h.project(folder, "older.jsonl", hostileRecords(), daysBeforeNow(5));
}

const HostileCase kCases[] = {
    {.name = "FifosNamedLikeTranscriptIndexFolderAndSettings",
     .build =
         [](test::ScannerHarness& h, Fifos& fifos) {
             olderHostileTranscript(h, "-hostile");
             const auto transcript = h.folder("-hostile") / "newest.jsonl";
             const auto index = h.folder("-hostile") / kSessionIndexName;
             const auto folder = projects(h) / "-fifo-folder";
             fifos = {transcript, index, folder, h.home.claudeDir() / "settings.json"};
             for (const auto& fifo : fifos) {
                 test::makeFifo(fifo);
             }
             test::TempTree::setModified(transcript, daysBeforeNow(1));
         }},
    {.name = "DirectoriesNamedLikeTranscriptIndexAndSettings",
     .build =
         [](test::ScannerHarness& h, Fifos&) {
             olderHostileTranscript(h, "-hostile");
             h.home.makeDirectory(".claude/settings.json");
             h.home.makeDirectory(".claude/projects/-hostile/x.jsonl");
             h.home.makeDirectory(".claude/projects/-hostile/sessions-index.json");
             test::TempTree::setModified(h.folder("-hostile") / "x.jsonl", daysBeforeNow(1));
         }},
    {.name = "SymbolicLinkLoops",
     .build =
         [](test::ScannerHarness& h, Fifos&) {
             std::filesystem::create_directory_symlink("loop-b", projects(h) / "loop-a");
             std::filesystem::create_directory_symlink("loop-a", projects(h) / "loop-b");
             std::filesystem::create_directory_symlink(".", projects(h) / "itself");
             h.home.makeDirectory(".claude/projects/-hostile");
             std::filesystem::create_symlink("t.jsonl", h.folder("-hostile") / "t.jsonl");
             std::filesystem::create_symlink(kSessionIndexName,
                                             h.folder("-hostile") / kSessionIndexName);
         }},
    {.name = "LinksToADeviceAFifoAndAFileWithoutEnd",
     .build =
         [](test::ScannerHarness& h, Fifos& fifos) {
             const auto fifo = h.home.path("outside.fifo");
             test::makeFifo(fifo);
             h.home.makeDirectory(".claude/projects/-to-zero");
             std::filesystem::create_symlink("/dev/zero", h.folder("-to-zero") / "z.jsonl");
             std::filesystem::create_symlink("/dev/zero", h.folder("-to-zero") / kSessionIndexName);
             h.home.makeDirectory(".claude/projects/-to-fifo");
             std::filesystem::create_symlink(fifo, h.folder("-to-fifo") / "f.jsonl");
             std::filesystem::create_symlink(fifo, h.folder("-to-fifo") / kSessionIndexName);
             // A regular file that reports no size and reads on for hundreds of gibibytes.
             h.home.makeDirectory(".claude/projects/-to-pagemap");
             std::filesystem::create_symlink("/proc/self/pagemap",
                                             h.folder("-to-pagemap") / "p.jsonl");
             fifos = {fifo};
         }},
    {.name = "SparseGibibyteTranscript",
     .build =
         [](test::ScannerHarness& h, Fifos&) {
             const auto file = h.folder("-hostile") / "big.jsonl";
             writeSparse(file,
                         jsonLines({cwdRecord(std::string(kHostile), "wild"), userRecord("Big")}),
                         off_t{1} << 30, "\n" + usageRecord(7, 0, 0, 0) + "\n");
         },
     .expectHostile =
         [](const ClaudeSession& session) {
             EXPECT_EQ(session.firstPrompt, "Big");
             EXPECT_EQ(session.gitBranch, "wild");
             EXPECT_EQ(session.contextTokensUsed, 7);
             EXPECT_EQ(session.messageCount, 4);
         }},
    {.name = "HundredMebibyteLineAtTheHead",
     .build =
         [](test::ScannerHarness& h, Fifos&) {
             const auto file = h.folder("-hostile") / "head.jsonl";
             writeSparse(file, R"({"type":"user","message":{"content":")", off_t{100} << 20,
                         "\"}}\n" + hostileRecords());
         }},
    {.name = "HundredMebibyteLineWithoutLineFeedAtTheTail",
     .build =
         [](test::ScannerHarness& h, Fifos&) {
             const auto file = h.folder("-hostile") / "tail.jsonl";
             writeSparse(file, hostileRecords() + R"({"type":"assistant","pad":")",
                         off_t{100} << 20, "x");
         },
     .expectHostile =
         [](const ClaudeSession& session) {
             EXPECT_EQ(session.firstPrompt, "Hostile prompt");
             EXPECT_EQ(session.gitBranch, "wild");
             EXPECT_EQ(session.contextTokensUsed, 42);  // the last usage, before the long line
             EXPECT_EQ(session.messageCount, 3);
         }},
    {.name = "BinaryGarbageAndInvalidUtf8",
     .build =
         [](test::ScannerHarness& h, Fifos&) {
             std::mt19937 random(5);
             std::string garbage(256 * 1024, '\0');
             for (char& c : garbage) {
                 c = static_cast<char>(random());
             }
             const std::string invalid = R"({"type":"user","gitBranch":"caf)"
                                         "\xff"
                                         R"(","message":{"content":"caf)"
                                         "\xc3"
                                         R"("}})";
             h.project("-hostile", "g.jsonl",
                       cwdRecord(std::string(kHostile)) + "\n" + garbage + "\n" + invalid + "\n" +
                           garbage,
                       daysBeforeNow(1));
             h.home.writeProjectFile("-hostile", std::string(kSessionIndexName), garbage);
             h.project("-\xff\xfe", "\xff.jsonl", invalid + "\n" + garbage, daysBeforeNow(1));
         },
     .expectHostile =
         [](const ClaudeSession& session) {
             EXPECT_EQ(session.sessionModified, daysBeforeNow(1));
             EXPECT_EQ(session.firstPrompt, std::nullopt);
             EXPECT_EQ(session.gitBranch, std::nullopt);
             EXPECT_GT(session.messageCount.value_or(0), 3);
         }},
    {.name = "TwoThousandEmptyProjectFolders",
     .build =
         [](test::ScannerHarness& h, Fifos&) {
             for (int i = 0; i < 2000; ++i) {
                 std::filesystem::create_directory(projects(h) / ("-empty-" + std::to_string(i)));
             }
         }},
    {.name = "UnreadableFilesAndFolders",
     .build =
         [](test::ScannerHarness& h, Fifos&) {
             const auto locked =
                 h.project("-hostile", "locked.jsonl", hostileRecords(), daysBeforeNow(1));
             const auto index = h.home.writeProjectFile("-hostile", std::string(kSessionIndexName),
                                                        "{\"entries\":[]}");
             std::filesystem::permissions(locked, std::filesystem::perms::none);
             std::filesystem::permissions(index, std::filesystem::perms::none);
             h.project("-hostile-unlisted", "u.jsonl", hostileRecords(), daysBeforeNow(1));
             std::filesystem::permissions(
                 h.folder("-hostile-unlisted"),
                 std::filesystem::perms::owner_exec | std::filesystem::perms::others_exec);
             h.project("-hostile-shut", "s.jsonl", hostileRecords(), daysBeforeNow(1));
             std::filesystem::permissions(h.folder("-hostile-shut"), std::filesystem::perms::none);
         },
     .withoutPrivileges = true},
    {.name = "TranscriptTruncatedReplacedOrDeletedWhileRead",
     .build = hostileTranscript,
     .expectHostile = expectWhatTheFileHeldOrNothing,
     .race =
         [](test::ScannerHarness& h, const std::atomic<bool>& stop) {
             const auto file = h.folder("-hostile") / "t.jsonl";
             const auto spare = h.folder("-hostile") / "t.jsonl.new";
             for (int round = 0; !stop; ++round) {
                 std::error_code ignored;
                 switch (round % 3) {
                     case 0:
                         std::filesystem::resize_file(file, 10, ignored);
                         break;
                     case 1:
                         h.home.write(spare.lexically_relative(h.home.root()).string(),
                                      hostileRecords());
                         std::filesystem::rename(spare, file, ignored);
                         break;
                     default:
                         std::filesystem::remove(file, ignored);
                 }
                 if (!std::filesystem::exists(file)) {
                     h.home.write(file.lexically_relative(h.home.root()).string(),
                                  hostileRecords());
                 }
                 test::TempTree::setModified(file, daysBeforeNow(1));
             }
         },
     .racedFolder = "-hostile",
     .cycles = 200},
    {.name = "ProjectFolderRemovedDuringTheScan",
     .build = hostileTranscript,
     .expectHostile = expectWhatTheFileHeldOrNothing,
     .race =
         [](test::ScannerHarness& h, const std::atomic<bool>& stop) {
             while (!stop) {
                 std::error_code ignored;
                 std::filesystem::remove_all(h.folder("-hostile"), ignored);
                 h.project("-hostile", "t.jsonl", hostileRecords(), daysBeforeNow(1));
             }
         },
     .racedFolder = "-hostile",
     .cycles = 200},
};

INSTANTIATE_TEST_SUITE_P(Cases, HostileHomeTest, ::testing::ValuesIn(kCases),
                         [](const auto& parameter) { return std::string(parameter.param.name); });

}  // namespace
}  // namespace fernbeacon
