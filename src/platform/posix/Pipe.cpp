#include "platform/posix/Pipe.h"

#include <fcntl.h>
#include <unistd.h>

namespace fernbeacon::platform {

bool openPipe(std::array<int, 2>& ends, bool nonBlocking) {
#if defined(__APPLE__)
    // No pipe2 there: the flags follow, and a child started in between may inherit the ends.
    if (::pipe(ends.data()) != 0) {
        return false;
    }
    for (const int end : ends) {
        if (::fcntl(end, F_SETFD, FD_CLOEXEC) != 0 ||
            (nonBlocking && ::fcntl(end, F_SETFL, ::fcntl(end, F_GETFL) | O_NONBLOCK) != 0)) {
            ::close(ends[0]);
            ::close(ends[1]);
            return false;
        }
    }
    return true;
#else
    return ::pipe2(ends.data(), O_CLOEXEC | (nonBlocking ? O_NONBLOCK : 0)) == 0;
#endif
}

}  // namespace fernbeacon::platform
