#pragma once

#include <simdjson.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Json.h"

// What the fuzz targets share: scratch files, a way to read lines as the readers do, and a way
// to report a broken promise as a crash that libFuzzer keeps.
namespace fernbeacon::fuzz {

[[noreturn]] inline void fail(const char* what) {
    std::fprintf(stderr, "broken promise: %s\n", what);
    std::abort();
}

inline void require(bool holds, const char* what) {
    if (!holds) {
        fail(what);
    }
}

// A directory of this process's own, in memory when /dev/shm exists.
inline const std::filesystem::path& scratchDirectory() {
    static const std::filesystem::path directory = [] {
        std::error_code ignored;
        const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ignored)
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        const std::filesystem::path own = base / ("fernbeacon-fuzz-" + std::to_string(::getpid()));
        std::filesystem::remove_all(own, ignored);
        if (!std::filesystem::create_directory(own, ignored)) {
            fail("cannot make a scratch directory");
        }
        std::atexit([] {
            std::error_code error;
            std::filesystem::remove_all(scratchDirectory(), error);
        });
        return own;
    }();
    return directory;
}

inline void writeFile(const std::filesystem::path& path, std::string_view bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    require(static_cast<bool>(out), "scratch file written");
}

// The pieces of `text` between line feeds, in order, empty ones included.
inline std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) {
            return lines;
        }
        start = end + 1;
    }
}

// Parses one line the way the readers do and hands the record to `use`, when it is one. The
// record lives until the next call: libFuzzer runs one input at a time.
inline void withRecord(std::string_view line, const std::function<void(const json::Object&)>& use) {
    if (line.empty()) {
        return;
    }
    const simdjson::padded_string padded(line);
    static json::Parser parser;
    if (const auto record = parser.parseObject({padded.data(), padded.size()})) {
        use(*record);
    }
}

}  // namespace fernbeacon::fuzz
