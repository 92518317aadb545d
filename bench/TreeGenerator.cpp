#include "bench/TreeGenerator.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <fstream>
#include <stdexcept>

namespace fernbeacon::bench {
namespace {

std::string transcript(const std::string& cwd, std::size_t bytes, int seed) {
    std::string text = R"({"type":"progress","cwd":")" + cwd + R"(","gitBranch":"main"})" + "\n";
    text += R"({"type":"user","cwd":")" + cwd +
            R"(","message":{"role":"user","content":"Refactor the parser of project )" +
            std::to_string(seed) + R"( and keep the tests green"}})" + "\n";
    const std::string filler(400, 'x');
    for (int turn = 0; text.size() < bytes; ++turn) {
        text +=
            R"({"type":"assistant","cwd":")" + cwd +
            R"(","message":{"role":"assistant","content":[{"type":"text","text":")" + filler +
            R"("}],"usage":{"input_tokens":)" + std::to_string(1000 + turn) +
            R"(,"cache_read_input_tokens":20000,"cache_creation_input_tokens":300,"output_tokens":150}}})" +
            "\n";
        text +=
            R"({"type":"user","message":{"role":"user","content":[{"type":"tool_result","content":")" +
            filler + R"("}]}})" + "\n";
    }
    return text;
}

std::string index(const std::string& projectPath, int entries, double newestMilliseconds) {
    std::string text = R"({"version":1,"entries":[)";
    for (int i = 0; i < entries; ++i) {
        text += (i ? "," : "");
        text +=
            R"({"sessionId":"session-)" + std::to_string(i) + R"(","fileMtime":)" +
            std::to_string(static_cast<long long>(newestMilliseconds) - i * 60000LL) +
            R"(,"firstPrompt":"Add a command for the report","summary":"Report command and its tests","messageCount":)" +
            std::to_string(10 + i) +
            R"(,"modified":"2026-01-01T10:00:00.000Z","gitBranch":"main","projectPath":")" +
            projectPath + R"(","isSidechain":false})";
    }
    return text + R"(],"originalPath":")" + projectPath + R"("})";
}

void writeFile(const std::filesystem::path& path, const std::string& contents, Instant modified) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
    out.close();
    const double seconds = secondsSince1970(modified);
    timespec times[2];
    times[0].tv_sec = static_cast<time_t>(seconds);
    times[0].tv_nsec = 0;
    times[1] = times[0];
    if (!out || ::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

}  // namespace

GeneratedTree generateTree(const std::filesystem::path& root, const TreeShape& shape, Instant now) {
    GeneratedTree tree{root, {}};
    const auto projects = root / ".claude" / "projects";
    std::filesystem::create_directories(projects);
    writeFile(root / ".claude" / "settings.json", R"({"model":"opus"})", now);
    for (int folderNumber = 0; folderNumber < shape.projectFolders; ++folderNumber) {
        const std::string projectPath = "/home/user/project-" + std::to_string(folderNumber);
        const auto folder = projects / ("-home-user-project-" + std::to_string(folderNumber));
        std::filesystem::create_directories(folder);
        for (int i = 0; i < shape.transcriptsPerFolder; ++i) {
            writeFile(folder / ("old-" + std::to_string(i) + ".jsonl"),
                      transcript(projectPath, shape.transcriptBytes, i),
                      now - std::chrono::hours(2 + i));
        }
        if (folderNumber < shape.liveSessions) {
            const std::string live = "/home/user/live-" + std::to_string(folderNumber);
            tree.liveDirectories.push_back(live);
            writeFile(folder / "live.jsonl", transcript(live, shape.liveTranscriptBytes, 99),
                      now - std::chrono::minutes(1));
        }
        if (shape.indexEntries > 0) {
            const double newest = (secondsSince1970(now) - 3600.0 * folderNumber) * 1000.0;
            writeFile(folder / "sessions-index.json",
                      index(projectPath, shape.indexEntries, newest), now);
        }
    }
    return tree;
}

}  // namespace fernbeacon::bench
