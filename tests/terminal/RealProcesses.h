#pragma once

// The real-process helpers under the names the terminal tests know them by.
#include <unistd.h>

#include <algorithm>
#include <thread>

#include "core/ProcessOutput.h"
#include "platform/linux/ProcProbes.h"
#include "platform/linux/ProcTerminalSources.h"
#include "platform/posix/PosixCommandRunner.h"
#include "support/TestProcesses.h"
#include "terminal/ProcessServices.h"

namespace fernbeacon::test {

using ScopedVariable = ScopedEnvironment;

}  // namespace fernbeacon::test
