// The search for a transcript's first recorded cwd over arbitrary bytes, laid out so that what
// the fuzzer writes lands on either side of a step's edge, checked against a plain reading.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>

#include "FuzzSupport.h"
#include "core/FileReading.h"
#include "core/Transcript.h"

namespace fernbeacon::fuzz {
namespace {

// Visits the pieces of `text` between line feeds, first to last, until `visit` returns true.
template <typename Visitor>
void forEachPiece(std::string_view text, Visitor&& visit) {
    for (std::size_t start = 0;;) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const bool last = end == text.size();
        if (visit(text.substr(start, end - start), last) || last) {
            return;
        }
        start = end + 1;
    }
}

// The cwd of the first complete line within kCwdReach bytes whose record carries one.
std::optional<std::string> firstRecordedCwd(std::string_view bytes) {
    const bool lastIsWhole = bytes.size() <= kCwdReach;
    std::optional<std::string> found;
    forEachPiece(bytes.substr(0, kCwdReach), [&](std::string_view line, bool last) {
        if (last && !lastIsWhole) {
            return true;
        }
        withRecord(line, [&](const json::Object& record) {
            if (const auto cwd = json::string(record, "cwd")) {
                found = std::string(*cwd);
            }
        });
        return found.has_value();
    });
    return found;
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
