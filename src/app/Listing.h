#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/SessionScanner.h"

// What `fernbeacon list` prints: the menu's content as text, or as one JSON object.
namespace fernbeacon::app {

// The lines printed for one row, without their indentation; the first is the row's name.
std::vector<std::string> sessionListingLines(const ClaudeSession& session);
std::vector<std::string> recentListingLines(const RecentSession& session);

std::string formatListingText(const ScanResult& scan);

// {"statusTitle": ..., "live": [...], "recent": [...]}: every field of the records in declaration
// order, then their display texts; absent values are null, instants are seconds since 1970.
std::string formatListingJson(const ScanResult& scan);

}  // namespace fernbeacon::app
