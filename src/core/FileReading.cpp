#include "core/FileReading.h"

#include <fcntl.h>
#include <simdjson.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace fernbeacon {
namespace {

constexpr std::size_t kCountChunk = 256 * 1024;

}  // namespace

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

std::optional<std::uint64_t> RegularFile::countLineFeeds() const {
    // Only up to the size at the start: a file that grows as fast as it is read, or a kernel
    // file that reports no size and reads on for ever, cannot keep the count going.
    const auto total = size();
    if (!total) {
        return std::nullopt;
    }
    const auto chunkSize = static_cast<std::size_t>(std::min<std::uint64_t>(*total, kCountChunk));
    const std::unique_ptr<char[]> chunk(new char[std::max<std::size_t>(chunkSize, 1)]);
    std::uint64_t offset = 0;
    std::uint64_t count = 0;
    while (offset < *total) {
        const auto wanted =
            static_cast<std::size_t>(std::min<std::uint64_t>(*total - offset, chunkSize));
        const auto got = readAt(offset, chunk.get(), wanted);
        if (!got) {
            return std::nullopt;
        }
        count += fernbeacon::countLineFeeds({chunk.get(), *got});
        offset += *got;
        if (*got < wanted) {
            break;  // it shrank meanwhile
        }
    }
    return count;
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

std::uint64_t countLineFeeds(std::string_view bytes) {
    const char* p = bytes.data();
    const char* const end = p + bytes.size();
    std::uint64_t count = 0;
#if defined(__SSE2__)
    const __m128i lineFeed = _mm_set1_epi8('\n');
    while (end - p >= 16) {
        // Byte lanes count up to 255 matches before they are summed into the total.
        __m128i lanes = _mm_setzero_si128();
        const std::ptrdiff_t blocks = std::min<std::ptrdiff_t>((end - p) / 16, 255);
        for (std::ptrdiff_t i = 0; i < blocks; ++i, p += 16) {
            const __m128i data = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(data, lineFeed));
        }
        const __m128i sums = _mm_sad_epu8(lanes, _mm_setzero_si128());
        count += static_cast<std::uint64_t>(_mm_cvtsi128_si64(sums)) +
                 static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)));
    }
#endif
    count += static_cast<std::uint64_t>(std::count(p, end, '\n'));
    return count;
}

}  // namespace fernbeacon
