// The search for a transcript's first recorded cwd over arbitrary bytes, laid out so that what
// the fuzzer writes lands on either side of a step's edge, checked against a plain reading.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>

#include "FuzzSupport.h"
#include "core/FileReading.h"
#include "core/Json.h"
#include "core/Transcript.h"

namespace fernbeacon::fuzz {
namespace {

// The cwd of the first complete line within kCwdReach bytes whose record carries one.
std::optional<std::string> firstRecordedCwd(std::string_view bytes) {
    static json::Parser parser;
    for (std::size_t start = 0; start <= std::min(bytes.size(), kCwdReach);) {
        const std::size_t end = bytes.substr(0, kCwdReach).find('\n', start);
        // What follows the last line feed is a line only when the file ends within the reach.
        if (end == std::string_view::npos && bytes.size() > kCwdReach) {
            return std::nullopt;
        }
        const simdjson::padded_string line(bytes.substr(start, end - start));
        const auto record = parser.parseObject({line.data(), line.size()});
        if (const auto cwd = record ? json::string(*record, "cwd") : std::nullopt) {
            return std::string(*cwd);
        }
        start = end == std::string_view::npos ? end : end + 1;
    }
    return std::nullopt;
}

// Two runs of fuzzer bytes with a gap between them that puts the start of the second run at an
// edge (counted from the start of the file) or the end of the first run at one (from the end).
std::string layOut(FuzzedDataProvider& input) {
    static constexpr std::array<std::size_t, 4> kEdges{0, kCwdStep, kCwdStep * 3, kCwdReach};
    const std::size_t edge = input.PickValueInArray(kEdges);
    const int shift = input.ConsumeIntegralInRange<int>(-40, 40);
    const bool fromEnd = input.ConsumeBool();
    const char fill = input.PickValueInArray({'\n', ' ', 'x'});
    std::string first = input.ConsumeRandomLengthString();
    const std::string second = input.ConsumeRemainingBytesAsString();
    const auto target =
        static_cast<std::size_t>(std::max<long long>(0, static_cast<long long>(edge) + shift));
    const std::size_t before = fromEnd ? second.size() : first.size();
    const std::size_t gap = target > before ? target - before : 0;
    first.append(gap, fill);
    return first + second;
}

}  // namespace
}  // namespace fernbeacon::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace fernbeacon;
    using namespace fernbeacon::fuzz;
    FuzzedDataProvider input(data, size);
    const std::string bytes = layOut(input);
    const auto transcript = scratchDirectory() / "t.jsonl";
    writeFile(transcript, bytes);

    require(firstRecordedCwdInTranscript(transcript) == firstRecordedCwd(bytes), "first cwd");
    return 0;
}
