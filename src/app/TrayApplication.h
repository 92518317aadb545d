#pragma once

#include <ostream>

namespace fernbeacon::app {

// Runs the tray application until it quits; returns the exit status. Without a display server
// it says so on `err` and returns 1.
int runTray(std::ostream& err);

}  // namespace fernbeacon::app
