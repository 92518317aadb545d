#include "core/FileReading.h"

#include <fcntl.h>
#include <simdjson.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "core/FileTimes.h"

namespace fernbeacon {
PaddedBuffer::PaddedBuffer(std::size_t capacity)
    : bytes_(new char[capacity + simdjson::SIMDJSON_PADDING]), capacity_(capacity) {
    std::memset(bytes_.get() + capacity, 0, simdjson::SIMDJSON_PADDING);
}

void PaddedBuffer::setSize(std::size_t size) {
    size_ = std::min(size, capacity_);
    // The parser may look past the end; what it sees there must be initialised.
    std::memset(bytes_.get() + size_, 0, std::min(simdjson::SIMDJSON_PADDING, capacity_ - size_));
}

std::optional<RegularFile> RegularFile::open(const std::filesystem::path& path) {
    // Look before opening: opening a FIFO blocks and opening a device may act on it.
    struct stat before {};
    if (::stat(path.c_str(), &before) != 0 || !S_ISREG(before.st_mode)) {
        return std::nullopt;
    }
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (descriptor < 0) {
        return std::nullopt;
    }
    // The name may have been replaced between the look and the open.
    struct stat opened {};
    if (::fstat(descriptor, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        ::close(descriptor);
        return std::nullopt;
    }
    return RegularFile(descriptor);
}

RegularFile::RegularFile(RegularFile&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)) {}

RegularFile& RegularFile::operator=(RegularFile&& other) noexcept {
    if (this != &other) {
        if (descriptor_ >= 0) {
            ::close(descriptor_);
        }
        descriptor_ = std::exchange(other.descriptor_, -1);
    }
    return *this;
}

RegularFile::~RegularFile() {
    if (descriptor_ >= 0) {
        ::close(descriptor_);
    }
}

std::optional<std::uint64_t> RegularFile::size() const {
    struct stat status {};
    if (::fstat(descriptor_, &status) != 0 || status.st_size < 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(status.st_size);
}

std::optional<FileIdentity> RegularFile::identity() const {
    struct stat status {};
    if (::fstat(descriptor_, &status) != 0 || status.st_size < 0) {
        return std::nullopt;
    }
    const timespec modified = modificationTimeOf(status);
    return FileIdentity{static_cast<std::uint64_t>(status.st_dev),
                        static_cast<std::uint64_t>(status.st_ino),
                        static_cast<std::uint64_t>(status.st_size),
                        static_cast<std::int64_t>(modified.tv_sec) * 1000000000 + modified.tv_nsec};
}

std::optional<std::size_t> RegularFile::readAt(std::uint64_t offset, char* into,
                                               std::size_t length) const {
    std::size_t done = 0;
    while (done < length) {
        const ssize_t got =
            ::pread(descriptor_, into + done, length - done, static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return done;
}

std::optional<PaddedBuffer> RegularFile::readWindow(std::uint64_t offset,
                                                    std::size_t length) const {
    PaddedBuffer buffer(length);
    const auto got = readAt(offset, buffer.data(), length);
    if (!got) {
        return std::nullopt;
    }
    buffer.setSize(*got);
    return buffer;
}

std::optional<PaddedBuffer> readWholeFile(const std::filesystem::path& path, std::size_t limit) {
    const auto file = RegularFile::open(path);
    if (!file) {
        return std::nullopt;
    }
    const auto size = file->size();
    if (!size || *size > limit) {
        return std::nullopt;
    }
    // One byte more than the size tells whether the file grew meanwhile.
    const auto capacity = static_cast<std::size_t>(*size) + 1;
    auto buffer = file->readWindow(0, capacity);
    if (!buffer) {
        return std::nullopt;
    }
    if (buffer->size() == capacity) {
        // It grew while we looked; read it again with room to spare, still within the limit.
        buffer = file->readWindow(0, limit + 1);
        if (!buffer || buffer->size() > limit) {
            return std::nullopt;
        }
    }
    return buffer;
}

}  // namespace fernbeacon
