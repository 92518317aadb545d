// What every platform answers alike: Linux is one POSIX system among others.
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "core/ConfigDirectory.h"
#include "platform/Platform.h"
#include "platform/posix/PosixCommandRunner.h"

namespace fernbeacon::platform {

std::filesystem::path homeDirectory() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') {
        return home;
    }
    const long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr) {
        return found->pw_dir;
    }
    return "/";
}

std::filesystem::path claudeDirectory() {
    return ownConfigDirectory(homeDirectory());
}

std::unique_ptr<CommandRunner> makeCommandRunner() {
    return std::make_unique<PosixCommandRunner>();
}

}  // namespace fernbeacon::platform
