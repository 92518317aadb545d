// What the system says about other processes: an environment block from /proc and the process
// list with its terminal column. Each reads whatever bytes arrive, keeps only what it can name,
// and what it keeps prints back to itself.
#include <algorithm>

#include "FuzzSupport.h"
#include "core/Text.h"
#include "terminal/ProcessServices.h"
#include "terminal/TtyOwnership.h"

namespace fernbeacon::fuzz {
namespace {

void checkEnvironment(std::string_view block) {
    const Environment environment = parseEnvironBlock(block);
    std::string printed;
    for (const auto& [key, value] : environment) {
        require(!key.empty() && key.find('=') == std::string::npos &&
                    key.find('\0') == std::string::npos && value.find('\0') == std::string::npos,
                "a name has no '=' and neither part a NUL");
        printed += key + '=' + value + '\0';
    }
    require(parseEnvironBlock(printed) == environment, "an environment prints back to itself");
}

void checkPsTable(std::string_view output, std::size_t lines) {
    const auto rows = parsePsTtyTable(output);
    require(rows.size() <= lines, "at most one row per line");
    std::string printed;
    for (const ProcessRow& row : rows) {
        const std::string tty = row.tty.value_or("?");
        const std::string& command = row.command;
        require(!tty.empty() && tty != "??" && tty.find_first_of(" \n") == std::string::npos,
                "a terminal column is one field, and absent when it marks none");
        require(!command.empty() && command.find('\n') == std::string::npos &&
                    trimSpacesAndTabs(command) == command,
                "a command is the rest of its line, without the padding");
        printed += std::to_string(row.pid) + ' ' + std::to_string(row.ppid) + ' ' + tty + ' ' +
                   command + '\n';
    }
    const auto again = parsePsTtyTable(printed);
    require(std::equal(rows.begin(), rows.end(), again.begin(), again.end(),
                       [](const ProcessRow& a, const ProcessRow& b) {
                           return a.pid == b.pid && a.ppid == b.ppid && a.tty == b.tty &&
                                  a.command == b.command;
                       }),
            "rows print back to themselves");
}

}  // namespace
}  // namespace fernbeacon::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace fernbeacon::fuzz;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    checkEnvironment(text);
    checkPsTable(text, static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
    return 0;
}
