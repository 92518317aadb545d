// The running tray's steady state: six live sessions whose transcripts are 256 MiB each and
// grow by a record a second, refreshed every 5 s. Counts what a cycle reads (the process's
// rchar, which includes one small read of /proc/self/io) and its CPU time; the share of one
// core is that time over the 5 s between cycles. Also times a fresh read of a 256 MiB
// transcript, as `fernbeacon list` does.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <fstream>

#include "bench/BenchSupport.h"
#include "core/TranscriptState.h"

namespace fernbeacon::bench {
namespace {

constexpr std::uint64_t kTranscriptBytes = 256ull << 20;
constexpr int kSessions = 6;
constexpr int kRecordsPerCycle = 5;
constexpr double kCycleSeconds = 5.0;

std::string assistantRecord(int turn) {
    return R"({"parentUuid":"p","isSidechain":false,"type":"assistant","message":{"model":"claude-opus-4-6","role":"assistant","content":[{"type":"text","text":")" +
           std::string(1200, 'w') + R"("}],"usage":{"input_tokens":)" + std::to_string(turn) +
           R"(,"cache_read_input_tokens":90000,"cache_creation_input_tokens":0,"output_tokens":400}}})" +
           "\n";
}

std::string toolResultRecord() {
    return R"({"parentUuid":"p","isSidechain":false,"type":"user","message":{"role":"user","content":[{"tool_use_id":"t","type":"tool_result","content":")" +
           std::string(3000, 'c') + R"("}]}})" + "\n";
}

std::uint64_t bytesReadSoFar() {
    std::ifstream io("/proc/self/io");
    std::string key;
    std::uint64_t value = 0;
    while (io >> key >> value) {
        if (key == "rchar:") {
            return value;
        }
    }
    return 0;
}

double cpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

void append(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::app) << bytes;
}

// Each transcript starts with its cwd and prompt, then a hole up to 256 MiB, so that the disk
// holds little more than the records.
struct SparseSessions {
    TemporaryDirectory directory;
    std::vector<std::string> liveDirectories;
    std::vector<std::filesystem::path> transcripts;

    SparseSessions() {
        for (int i = 0; i < kSessions; ++i) {
            const std::string cwd = "/home/me/project-" + std::to_string(i);
            const auto folder =
                directory.path() / ".claude/projects" / ("-home-me-project-" + std::to_string(i));
            std::filesystem::create_directories(folder);
            const auto file = folder / "0f0e6d2c-session.jsonl";
            append(
                file,
                R"({"type":"user","cwd":")" + cwd +
                    R"(","gitBranch":"main","message":{"role":"user","content":"Port the parser"}})" +
                    "\n");
            std::filesystem::resize_file(file, kTranscriptBytes);
            append(file, "\n" + assistantRecord(1));
            liveDirectories.push_back(cwd);
            transcripts.push_back(file);
        }
    }
};

void BM_SteadyRefreshOfSixGrowing256MiBTranscripts(benchmark::State& state) {
    SparseSessions sessions;
    LiveProbes probes(sessions.liveDirectories);
    NoPreferences preferences;
    SystemClock clock;
    NullLogger logger;
    const SessionScanner scanner(sessions.directory.path() / ".claude", probes, preferences, clock,
                                 logger);
    const double firstStarted = cpuSeconds();
    runScanCycle(scanner);  // the first cycle reads every transcript whole
    const double firstCycle = cpuSeconds() - firstStarted;

    std::uint64_t read = 0;
    std::uint64_t appended = 0;
    double cpu = 0;
    int turn = 1;
    for (auto _ : state) {
        state.PauseTiming();
        std::string records;
        for (int i = 0; i < kRecordsPerCycle; ++i) {
            records += (i % 2 ? toolResultRecord() : assistantRecord(++turn));
        }
        for (const auto& transcript : sessions.transcripts) {
            append(transcript, records);
            appended += records.size();
        }
        const std::uint64_t readBefore = bytesReadSoFar();
        const double cpuBefore = cpuSeconds();
        state.ResumeTiming();

        const ScanResult result = runScanCycle(scanner);

        state.PauseTiming();
        cpu += cpuSeconds() - cpuBefore;
        read += bytesReadSoFar() - readBefore;
        if (result.live.size() != kSessions ||
            result.live[0]->contextTokensUsed != 90000 + turn + 400) {
            state.SkipWithError("a session did not see its latest usage");
            break;
        }
        state.ResumeTiming();
    }
    const auto cycles = static_cast<double>(state.iterations());
    state.counters["read_bytes_per_cycle"] = static_cast<double>(read) / cycles;
    state.counters["appended_bytes_per_cycle"] = static_cast<double>(appended) / cycles;
    state.counters["cpu_percent_at_5s"] = 100.0 * cpu / cycles / kCycleSeconds;
    state.counters["first_cycle_cpu_s"] = firstCycle;
}
BENCHMARK(BM_SteadyRefreshOfSixGrowing256MiBTranscripts)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(50);

// A transcript of real-sized records, 256 MiB of them, read whole with nothing known.
void BM_FreshReadOf256MiB(benchmark::State& state) {
    TemporaryDirectory directory;
    const auto file = directory.path() / "s.jsonl";
    std::string block = R"({"type":"user","cwd":"/p","message":{"content":"Go"}})"
                        "\n";
    for (int turn = 0; block.size() < (1u << 20); ++turn) {
        block += assistantRecord(turn) + toolResultRecord() + toolResultRecord();
    }
    {
        std::ofstream out(file, std::ios::binary);
        for (std::uint64_t written = 0; written < kTranscriptBytes; written += block.size()) {
            out << block;
        }
    }
    for (auto _ : state) {
        const auto facts = readTranscriptFacts(file);
        if (!facts || !facts->contextTokensUsed) {
            state.SkipWithError("the transcript gave no usage");
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(std::filesystem::file_size(file)));
}
BENCHMARK(BM_FreshReadOf256MiB)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace fernbeacon::bench
