#include "support/TempTree.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace fernbeacon::test {

TempTree::TempTree() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "fernbeacon-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    root_ = pattern;
}

TempTree::~TempTree() {
    std::error_code ignored;
    // Make everything writable again first, in case a test took permissions away.
    for (auto it = std::filesystem::recursive_directory_iterator(
             root_, std::filesystem::directory_options::skip_permission_denied, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ignored);
        }
    }
    std::filesystem::remove_all(root_, ignored);
}

std::filesystem::path TempTree::write(std::string_view relative, std::string_view contents) const {
    const std::filesystem::path file = root_ / relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + file.string());
    }
    return file;
}

std::string TempTree::read(std::string_view relative) const {
    std::ifstream in(root_ / relative, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::filesystem::path TempTree::makeDirectory(std::string_view relative) const {
    const std::filesystem::path directory = root_ / relative;
    std::filesystem::create_directories(directory);
    return directory;
}

void TempTree::setModified(const std::filesystem::path& path, Instant when) {
    const auto exact = std::chrono::round<std::chrono::system_clock::duration>(when);
    std::filesystem::last_write_time(path, std::chrono::file_clock::from_sys(exact));
}

ScopedEnvironment::ScopedEnvironment(std::string name, const std::string& value)
    : name_(std::move(name)) {
    if (const char* previous = std::getenv(name_.c_str())) {
        previous_ = previous;
    }
    ::setenv(name_.c_str(), value.c_str(), 1);
}

ScopedEnvironment::~ScopedEnvironment() {
    if (previous_) {
        ::setenv(name_.c_str(), previous_->c_str(), 1);
    } else {
        ::unsetenv(name_.c_str());
    }
}

std::filesystem::path TempHome::writeProjectFile(std::string_view folder, std::string_view name,
                                                 std::string_view contents) const {
    return write(".claude/projects/" + std::string(folder) + "/" + std::string(name), contents);
}

static std::string jsonQuoted(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += {'\\', c};
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string userRecord(std::string_view text, std::string_view cwd, std::string_view gitBranch) {
    std::string record = R"({"type":"user")";
    if (!cwd.empty()) {
        record += R"(,"cwd":)" + jsonQuoted(cwd);
    }
    if (!gitBranch.empty()) {
        record += R"(,"gitBranch":)" + jsonQuoted(gitBranch);
    }
    return record + R"(,"message":{"role":"user","content":)" + jsonQuoted(text) + "}}";
}

std::string usageRecord(long long input, long long cacheRead, long long cacheCreation,
                        long long output) {
    return R"({"type":"assistant","message":{"role":"assistant","usage":{"input_tokens":)" +
           std::to_string(input) + R"(,"cache_read_input_tokens":)" + std::to_string(cacheRead) +
           R"(,"cache_creation_input_tokens":)" + std::to_string(cacheCreation) +
           R"(,"output_tokens":)" + std::to_string(output) + "}}}";
}

std::string cwdRecord(std::string_view cwd, std::string_view gitBranch) {
    std::string record = R"({"type":"system","cwd":)" + jsonQuoted(cwd);
    if (!gitBranch.empty()) {
        record += R"(,"gitBranch":)" + jsonQuoted(gitBranch);
    }
    return record + "}";
}

}  // namespace fernbeacon::test
