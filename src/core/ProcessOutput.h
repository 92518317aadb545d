#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/ProcessRow.h"

// Parsers of the process tools' output. Pure functions: any input gives a result, never a
// failure; what does not parse is skipped.
namespace fernbeacon {

// A 32-bit signed decimal: an optional "+" or "-", then digits only, without overflow.
std::optional<std::int32_t> parseInt32(std::string_view text);
std::optional<std::int64_t> parseInt64(std::string_view text);

// "ps -eo pid,ppid,tty,comm", in the order it lists the processes; "?" and "??" mark no terminal.
std::vector<ProcessRow> parsePsTtyTable(std::string_view output);

// pgrep: one ID per line.
std::vector<std::int32_t> parsePgrepOutput(std::string_view output);

// "ps -eo pid,comm": the IDs of lines whose command is claude or ends with "/claude".
std::vector<std::int32_t> parseClaudeLinesOfPs(std::string_view output);

// "ps -eo pid,ppid,comm": process ID to its row, without a terminal; a later row replaces an
// earlier one.
std::unordered_map<std::int32_t, ProcessRow> parseParentTable(std::string_view output);

// "ps -o tty= -p N": the terminal name, absent when empty or the no-terminal mark.
std::optional<std::string> parseTtyOutput(std::string_view output, std::string_view noTerminalMark);

// lsof's field output filtered to its name line ("n/path"): the path.
std::optional<std::string> parseLsofCwdOutput(std::string_view output);

// ps's elapsed time [[days-]hours:]minutes:seconds as display text in its coarsest unit.
std::string formatElapsedTime(std::string_view elapsed);

// Seconds as ps prints elapsed time: [[DD-]hh:]mm:ss.
std::string elapsedTimeText(std::uint64_t seconds);

}  // namespace fernbeacon
