// Elapsed times: whatever ps prints is shown without failing, and every time ps can print is
// shown in its coarsest unit.
#include <fuzzer/FuzzedDataProvider.h>

#include "FuzzSupport.h"
#include "core/ProcessOutput.h"
#include "core/Text.h"

namespace fernbeacon::fuzz {
namespace {

std::string expectedDisplay(std::uint64_t seconds) {
    const auto count = [](std::uint64_t n, const char* one, const char* many) {
        return n == 1 ? std::string("1 ") + one : std::to_string(n) + " " + many;
    };
    if (seconds >= 86400) {
        return count(seconds / 86400, "day", "days");
    }
    if (seconds >= 3600) {
        return count(seconds / 3600, "hr", "hrs");
    }
    return seconds < 60 ? std::string("<1 min") : count(seconds / 60, "min", "mins");
}

}  // namespace
}  // namespace fernbeacon::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace fernbeacon;
    FuzzedDataProvider input(data, size);
    // Days as a signed 64-bit count, as formatElapsedTime reads them.
    const auto seconds = input.ConsumeIntegralInRange<std::uint64_t>(0, 9'000'000'000'000'000'000);
    fuzz::require(formatElapsedTime(elapsedTimeText(seconds)) == fuzz::expectedDisplay(seconds),
                  "ps's own form is shown in its coarsest unit");
    const std::string text = input.ConsumeRemainingBytesAsString();
    const std::string shown = formatElapsedTime(text);
    fuzz::require(shown.size() <= text.size() + 32, "no longer than the input and a unit");
    return 0;
}
