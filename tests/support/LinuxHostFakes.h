#pragma once

#include <string>
#include <vector>

#include "support/Fakes.h"
#include "support/TerminalFakes.h"
#include "terminal/LinuxHosts.h"

namespace fernbeacon::test {

// The Linux terminal hosts wired as the platform wires them, over fakes; tmux, kitty and
// WezTerm are installed. Terminals the hosts open are recorded in `opened`.
struct LinuxHostFakes {
    FakeRunner runner;
    RecordingLogger logger;
    FakeWorkspace workspace;
    FakeEnvironment environment;
    FakeExecutables executables;
    FakeBus bus;
    FakeProcessTable table;
    TtyOwnership ownership{table, Desktop::Linux, logger};
    HostRegistry hosts;
    TmuxControl tmux{runner, executables, environment, logger};
    const LinuxHostServices services{runner, executables, environment, workspace, bus, logger};
    std::vector<std::vector<std::string>> opened;

    LinuxHostFakes() {
        executables.installed = {"tmux", "kitty", "wezterm"};
        addLinuxHosts(hosts, services, tmux, [this](const std::vector<std::string>& command) {
            opened.push_back(command);
            return true;
        });
    }
};

}  // namespace fernbeacon::test
