#include <gtest/gtest.h>

#include <algorithm>

#include "core/FileReading.h"

namespace fernbeacon {
namespace {

// The vector count adds up byte-wide lanes after at most 255 blocks of 16 bytes; a lane full of
// line feeds past that limit would wrap.
TEST(CountLineFeeds, AgreesWithAPlainCountPastTheLaneLimit) {
    for (const std::size_t size : {15, 16 * 255, 16 * 256 + 7, 16 * 600 + 3}) {
        EXPECT_EQ(countLineFeeds(std::string(size, '\n')), size) << size;
    }
    std::string mixed;
    for (int i = 0; i < 9000; ++i) {
        mixed += i % 3 == 0 ? '\n' : 'x';
    }
    const std::string_view unaligned = std::string_view(mixed).substr(1);
    EXPECT_EQ(countLineFeeds(unaligned),
              static_cast<std::uint64_t>(std::count(unaligned.begin(), unaligned.end(), '\n')));
}

}  // namespace
}  // namespace fernbeacon
