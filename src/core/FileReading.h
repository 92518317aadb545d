#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>

// Bounded reads of the assistant's files. Only regular files are ever opened, and only for
// reading: a FIFO, device or directory under a file's name is passed over like an unreadable
// file instead of blocking the scan.
namespace fernbeacon {

// Bytes followed by zeroed padding, so that JSON can be parsed in place (see json::Parser).
class PaddedBuffer {
public:
    PaddedBuffer() = default;
    explicit PaddedBuffer(std::size_t capacity);

    char* data() { return bytes_.get(); }
    const char* data() const { return bytes_.get(); }
    std::size_t size() const { return size_; }
    std::size_t capacity() const { return capacity_; }
    void setSize(std::size_t size);  // at most capacity()
    std::string_view view() const { return {bytes_.get(), size_}; }

private:
    std::unique_ptr<char[]> bytes_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

// What tells a grown file from another one: a change of device or inode, a shrink, or a change
// at the same size means its bytes are not those read before.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modifiedNanoseconds = 0;

    bool operator==(const FileIdentity&) const = default;
};

class RegularFile {
public:
    // Absent when the path (links followed) is not a regular file or cannot be opened.
    static std::optional<RegularFile> open(const std::filesystem::path& path);

    RegularFile(RegularFile&& other) noexcept;
    RegularFile& operator=(RegularFile&& other) noexcept;
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;
    ~RegularFile();

    // The size at this moment; absent when it cannot be read.
    std::optional<std::uint64_t> size() const;
    std::optional<FileIdentity> identity() const;
    // Reads up to `length` bytes at `offset` (fewer at the end of the file); absent on error.
    std::optional<std::size_t> readAt(std::uint64_t offset, char* into, std::size_t length) const;
    // Reads the window [offset, offset + length) into a new buffer, shorter at the end of the
    // file; absent on error.
    std::optional<PaddedBuffer> readWindow(std::uint64_t offset, std::size_t length) const;

private:
    explicit RegularFile(int descriptor) : descriptor_(descriptor) {}
    int descriptor_ = -1;
};

// The whole file, when it is a regular file of at most `limit` bytes.
std::optional<PaddedBuffer> readWholeFile(const std::filesystem::path& path, std::size_t limit);

}  // namespace fernbeacon
