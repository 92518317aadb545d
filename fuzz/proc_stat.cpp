// /proc/<pid>/stat lines: arbitrary bytes never fail, and a line the kernel could write, with any
// name it allows, reads back the fields it was made from.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>

#include "FuzzSupport.h"
#include "platform/linux/ProcProbes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace fernbeacon;
    using namespace fernbeacon::platform;
    FuzzedDataProvider input(data, size);
    const auto pid = input.ConsumeIntegral<std::int32_t>();
    const auto ppid = input.ConsumeIntegral<std::int32_t>();
    const auto tty = input.ConsumeIntegral<std::int32_t>();
    const auto start = input.ConsumeIntegral<std::uint64_t>();
    // The kernel keeps 15 bytes of name and no NUL.
    std::string comm = input.ConsumeBytesAsString(input.ConsumeIntegralInRange<std::size_t>(0, 15));
    std::replace(comm.begin(), comm.end(), '\0', '.');
    const std::string line = std::to_string(pid) + " (" + comm + ") R " + std::to_string(ppid) +
                             " 1 1 " + std::to_string(tty) +
                             " -1 4194304 100 0 0 0 0 0 0 0 20 0 1 0 " + std::to_string(start) +
                             " 3133440 409 18446744073709551615 1 1 0 0 0 0 0 0 0 0 0 0 17 1\n";
    const auto parsed = parseProcStat(line);
    fuzz::require(parsed && parsed->row.pid == pid && parsed->row.command == comm &&
                      parsed->row.ppid == ppid &&
                      parsed->ttyNumber == static_cast<std::uint32_t>(tty) &&
                      parsed->startTicks == start,
                  "a kernel line reads back");

    (void)parseProcStat(input.ConsumeRemainingBytesAsString());
    return 0;
}
