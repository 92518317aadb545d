#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "bench/TreeGenerator.h"

namespace fernbeacon::bench {
namespace {

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
