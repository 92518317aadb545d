#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/TreeGenerator.h"
#include "core/FileReading.h"
#include "core/SessionScanner.h"

namespace fernbeacon::bench {
namespace {

class TemporaryDirectory {
public:
    TemporaryDirectory() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "fernbeacon-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        path_ = pattern;
    }
    ~TemporaryDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

class LiveProbes final : public ProcessProbes {
public:
    explicit LiveProbes(std::vector<std::string> directories)
        : directories_(std::move(directories)) {}

    std::vector<std::int32_t> findClaudePIDs() override {
        std::vector<std::int32_t> pids;
        for (std::size_t i = 0; i < directories_.size(); ++i) {
            pids.push_back(static_cast<std::int32_t>(1000 + i));
        }
        return pids;
    }
    std::optional<std::string> ttyForPID(std::int32_t pid) override {
        return "pts/" + std::to_string(pid - 1000);
    }
    std::optional<std::string> workingDirectoryForPID(std::int32_t pid) override {
        return directories_.at(static_cast<std::size_t>(pid - 1000));
    }
    std::optional<std::string> terminalAppForPID(std::int32_t) override { return "kitty"; }
    std::optional<std::string> uptimeForPID(std::int32_t) override { return "5 mins"; }

private:
    std::vector<std::string> directories_;
};

class NoPreferences final : public Preferences {
public:
    std::optional<std::int64_t> integer(std::string_view) const override { return std::nullopt; }
    std::optional<std::string> text(std::string_view) const override { return std::nullopt; }
    bool setInteger(std::string_view, std::int64_t) override { return false; }
    bool setText(std::string_view, std::string_view) override { return false; }
};

struct Fixture {
    TemporaryDirectory directory;
    GeneratedTree tree;
};

const Fixture& fixture(const TreeShape& shape) {
    static std::vector<std::pair<const TreeShape*, std::unique_ptr<Fixture>>> made;
    for (const auto& [key, value] : made) {
        if (key == &shape) {
            return *value;
        }
    }
    auto created = std::make_unique<Fixture>();
    created->tree =
        generateTree(created->directory.path(), shape, std::chrono::system_clock::now());
    made.emplace_back(&shape, std::move(created));
    return *made.back().second;
}

void wholeCycle(benchmark::State& state, const TreeShape& shape) {
    const Fixture& made = fixture(shape);
    LiveProbes probes(made.tree.liveDirectories);
    NoPreferences preferences;
    SystemClock clock;
    NullLogger logger;
    const SessionScanner scanner(made.tree.home / ".claude", probes, preferences, clock, logger);
    std::size_t enriched = 0;
    for (auto _ : state) {
        const ScanResult result = runScanCycle(scanner);
        enriched = 0;
        for (const auto& session : result.live) {
            enriched += session->contextTokensUsed ? 1 : 0;
        }
        benchmark::DoNotOptimize(result);
    }
    if (enriched != made.tree.liveDirectories.size()) {
        state.SkipWithError("a live session was not matched to its transcript");
    }
}

void BM_WholeCycleTypical(benchmark::State& state) {
    wholeCycle(state, kTypicalTree);
}
BENCHMARK(BM_WholeCycleTypical)->Unit(benchmark::kMillisecond);

void BM_WholeCycleLarge(benchmark::State& state) {
    wholeCycle(state, kLargeTree);
}
BENCHMARK(BM_WholeCycleLarge)->Unit(benchmark::kMillisecond);

std::string lines(std::size_t bytes, std::size_t lineLength) {
    std::string text(bytes, 'a');
    for (std::size_t i = lineLength - 1; i < bytes; i += lineLength) {
        text[i] = '\n';
    }
    return text;
}

void BM_CountLineFeedsInMemory(benchmark::State& state) {
    const std::string text = lines(64 << 20, static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(countLineFeeds(text));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_CountLineFeedsInMemory)->Arg(80)->Arg(2000);

void BM_CountLineFeedsInFile(benchmark::State& state) {
    TemporaryDirectory directory;
    const auto path = directory.path() / "transcript.jsonl";
    const std::string text = lines(64 << 20, 2000);
    {
        std::FILE* out = std::fopen(path.c_str(), "wb");
        std::fwrite(text.data(), 1, text.size(), out);
        std::fclose(out);
    }
    const auto file = RegularFile::open(path);
    for (auto _ : state) {
        benchmark::DoNotOptimize(file->countLineFeeds());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_CountLineFeedsInFile);

// Peak resident memory of `fernbeacon list` over the typical tree, as a separate process.
void BM_ListPeakMemory(benchmark::State& state) {
    const Fixture& made = fixture(kTypicalTree);
    const std::string command = "HOME='" + made.tree.home.string() + "' " + FERNBEACON_PEAK_RSS +
                                " " + FERNBEACON_BINARY + " list 2>/dev/null | tail -n 1";
    double peakMiB = 0;
    for (auto _ : state) {
        std::FILE* output = ::popen(command.c_str(), "r");
        long kilobytes = 0;
        if (output == nullptr || std::fscanf(output, "%ld", &kilobytes) != 1) {
            state.SkipWithError("cannot measure fernbeacon list");
        }
        if (output != nullptr) {
            ::pclose(output);
        }
        peakMiB = std::max(peakMiB, static_cast<double>(kilobytes) / 1024.0);
    }
    state.counters["peak_rss_MiB"] = peakMiB;
}
BENCHMARK(BM_ListPeakMemory)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace fernbeacon::bench

BENCHMARK_MAIN();
