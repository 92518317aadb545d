// Whatever the process tools print: decimals as plain arithmetic reads them, and each parser
// keeps within what it was given. The probes that chain them, and the walk up a parent table,
// run over fixed outputs in the unit tests.
#include <algorithm>

#include "FuzzSupport.h"
#include "core/ProcessOutput.h"

namespace fernbeacon::fuzz {
namespace {

// A decimal with an optional sign and digits only, by plain arithmetic.
template <typename Integer>
std::optional<Integer> referenceDecimal(std::string_view text) {
    const bool negative = text.starts_with('-');
    if (negative || text.starts_with('+')) {
        text.remove_prefix(1);
    }
    __int128 value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9' || (value = value * 10 + (c - '0')) > (__int128{1} << 64)) {
            return std::nullopt;
        }
    }
    value = negative ? -value : value;
    if (text.empty() || value < std::numeric_limits<Integer>::min() ||
        value > std::numeric_limits<Integer>::max()) {
        return std::nullopt;
    }
    return static_cast<Integer>(value);
}

void checkParsers(std::string_view text) {
    require(parseInt32(text) == referenceDecimal<std::int32_t>(text), "32-bit decimal");
    require(parseInt64(text) == referenceDecimal<std::int64_t>(text), "64-bit decimal");
    (void)parsePgrepOutput(text);
    const auto claudes = parseClaudeLinesOfPs(text);
    require(
        claudes.size() <= static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1,
        "at most one process per line");
    for (const auto& [pid, parent] : parseParentTable(text)) {
        require(!parent.command.empty(), "a row has a command");
    }
    for (const std::string_view mark : {"?", "??"}) {
        const auto tty = parseTtyOutput(text, mark);
        require(!tty || (!tty->empty() && *tty != mark), "a terminal is named");
    }
    const auto cwd = parseLsofCwdOutput(text);
    require(!cwd || cwd->starts_with('/'), "a working directory is absolute");
}

}  // namespace
}  // namespace fernbeacon::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace fernbeacon;
    using namespace fernbeacon::fuzz;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    checkParsers(text);
    return 0;
}
