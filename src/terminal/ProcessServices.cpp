#include "terminal/ProcessServices.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace fernbeacon {

Environment parseEnvironBlock(std::string_view block) {
    Environment environment;
    std::size_t start = 0;
    while (start < block.size()) {
        const std::size_t end = std::min(block.find('\0', start), block.size());
        const std::string_view entry = block.substr(start, end - start);
        start = end + 1;
        const std::size_t equals = entry.find('=');
        if (equals == std::string_view::npos || equals == 0) {
            continue;
        }
        environment.insert_or_assign(std::string(entry.substr(0, equals)),
                                     std::string(entry.substr(equals + 1)));
    }
    return environment;
}

std::optional<std::string> environmentValue(const Environment& environment, std::string_view key) {
    const auto found = environment.find(key);
    if (found == environment.end() || found->second.empty()) {
        return std::nullopt;
    }
    return found->second;
}

SearchPath::SearchPath() {
    const char* path = std::getenv("PATH");
    directories_ = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
}

std::optional<std::string> SearchPath::find(std::string_view program) const {
    std::string_view rest = directories_;
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        const std::string_view directory = rest.substr(0, colon);
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        if (directory.empty() || directory.front() != '/') {
            continue;
        }
        std::string candidate = std::string(directory) + "/" + std::string(program);
        struct stat file {};
        // A folder passes the execute test too.
        if (::stat(candidate.c_str(), &file) == 0 && S_ISREG(file.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return std::nullopt;
}

std::vector<std::string> claudeInShellCommand(const std::string& userShell) {
    // An interactive shell reads the user's start-up files, which often put claude on PATH.
    return {"/bin/sh", "-c", "\"$0\" -ic claude; exec \"$0\"", userShell};
}

}  // namespace fernbeacon
