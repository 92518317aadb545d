// A transcript changed step by step as the fuzzer says (appends, partial lines, truncations,
// replacements, runs long enough to pass the longest parsed line): after every step, the state
// brought up to date from the step before gives exactly what a fresh read of the whole text
// gives.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>

#include "FuzzSupport.h"
#include "core/TranscriptState.h"

namespace fernbeacon::fuzz {
namespace {

class MemoryBytes final : public TranscriptBytes {
public:
    std::string bytes;

    std::optional<std::size_t> readAt(std::uint64_t offset, char* into,
                                      std::size_t length) const override {
        if (offset >= bytes.size()) {
            return 0;
        }
        const std::size_t got = std::min<std::size_t>(length, bytes.size() - offset);
        std::copy_n(bytes.data() + offset, got, into);
        return got;
    }
};

}  // namespace
}  // namespace fernbeacon::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace fernbeacon;
    using namespace fernbeacon::fuzz;
    FuzzedDataProvider input(data, size);
    MemoryBytes file;
    FileIdentity identity{1, 1, 0, 0};
    TranscriptState kept("s");
    while (input.remaining_bytes() > 0) {
        const int step = input.ConsumeIntegralInRange(0, 4);
        const std::string piece = input.ConsumeRandomLengthString(512);
        switch (step) {
            case 0:  // truncated
                file.bytes.resize(input.ConsumeIntegralInRange<std::size_t>(0, file.bytes.size()));
                break;
            case 1:  // replaced by another file
                file.bytes = piece;
                ++identity.inode;
                break;
            case 2:  // a run that passes the longest line held
                for (std::size_t i = 0; i <= kLongestParsedLine / 512 && !piece.empty(); ++i) {
                    file.bytes += piece;
                }
                break;
            default:
                file.bytes += piece;
        }
        identity.size = file.bytes.size();
        ++identity.modifiedNanoseconds;
        TranscriptState fresh("s");
        require(kept.update(file, identity) == fresh.update(file, identity),
                "an updated state agrees with a fresh read");
    }
    return 0;
}
