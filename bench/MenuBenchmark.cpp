// The menu rebuild that follows every refresh: the model, then the menu with one widget row per
// session, laid out as the tray shows it. Off screen; the target is 10 ms for 20 + 30 rows.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <memory>

#include "app/MenuBuilder.h"
#include "core/MenuModel.h"

namespace fernbeacon::bench {
namespace {

std::vector<ClaudeSessionPtr> liveSessions(int count) {
    std::vector<ClaudeSessionPtr> sessions;
    for (int i = 0; i < count; ++i) {
        auto session = std::make_shared<ClaudeSession>(1000 + i, "pts/" + std::to_string(i),
                                                       "/home/me/src/project-" + std::to_string(i),
                                                       i % 3 == 0 ? "VS Code" : "kitty");
        session->summary = "Refactor the scanner so that session " + std::to_string(i) + " loads";
        session->gitBranch = "feature/" + std::to_string(i);
        session->model = "sonnet";
        session->contextTokensUsed = 20000 + 6000 * i;
        session->contextTokensMax = 200000;
        session->processUptime = std::to_string(i + 1) + " hrs";
        sessions.push_back(std::move(session));
    }
    return sessions;
}

std::vector<RecentSession> recentSessions(int count) {
    std::vector<RecentSession> sessions;
    for (int i = 0; i < count; ++i) {
        sessions.push_back(
            RecentSession{std::nullopt, "Write the migration notes for " + std::to_string(i),
                          "/home/me/old/repository-" + std::to_string(i), Instant{}, 12, "main"});
    }
    return sessions;
}

void MenuRebuild(benchmark::State& state) {
    const auto live = liveSessions(static_cast<int>(state.range(0)));
    const auto recent = recentSessions(static_cast<int>(state.range(1)));
    std::unique_ptr<QMenu> menu;
    for (auto _ : state) {
        // The previous menu goes as the new one comes, as in the tray.
        menu = app::buildMenu(buildMenuModel(live, recent), {}, nullptr);
        benchmark::DoNotOptimize(menu->sizeHint());
    }
    state.counters["rows"] = static_cast<double>(live.size() + recent.size());
}
BENCHMARK(MenuRebuild)->Args({5, 15})->Args({20, 30})->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace fernbeacon::bench

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
