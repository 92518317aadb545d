#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

// What the fuzz targets share: scratch files, and a way to report a broken promise as a crash
// that libFuzzer keeps.
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

}  // namespace fernbeacon::fuzz
