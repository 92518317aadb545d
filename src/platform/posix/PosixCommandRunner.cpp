#include "platform/posix/PosixCommandRunner.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/posix/Pipe.h"
#include "platform/posix/Spawn.h"

namespace fernbeacon::platform {
namespace {

using Clock = std::chrono::steady_clock;

// Output beyond this is read and dropped, so that a runaway tool neither stalls on a full pipe
// nor fills our memory; such a result is treated as unusable.
constexpr std::size_t kOutputLimit = 32 * 1024 * 1024;

class Descriptor {
public:
    Descriptor() = default;
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { reset(); }

    int get() const { return fd_; }
    void reset() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = -1;
    }
    int* receive() { return &fd_; }

private:
    int fd_ = -1;
};

struct Pipe {
    Descriptor read;
    Descriptor write;

    bool open() {
        std::array<int, 2> ends{};
        if (!openPipe(ends)) {
            return false;
        }
        *read.receive() = ends[0];
        *write.receive() = ends[1];
        return true;
    }
};

// Appends what is available on `fd`; false once it reached its end or failed.
bool drain(int fd, std::string& into, bool& overflowed) {
    std::array<char, 65536> chunk;
    const ssize_t got = ::read(fd, chunk.data(), chunk.size());
    if (got < 0) {
        return errno == EINTR || errno == EAGAIN;
    }
    if (got == 0) {
        return false;
    }
    const auto size = static_cast<std::size_t>(got);
    if (into.size() + size > kOutputLimit) {
        overflowed = true;
    } else {
        into.append(chunk.data(), size);
    }
    return true;
}

int millisecondsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

}  // namespace

CommandResult PosixCommandRunner::run(const CommandRequest& request) {
    CommandResult result;
    if (request.arguments.empty()) {
        result.startError = "no program given";
        return result;
    }
    Pipe output;
    Pipe error;
    if (!output.open() || !error.open()) {
        result.startError = std::strerror(errno);
        return result;
    }
    pid_t child = -1;
    const int spawnError = spawnProcess({request.arguments, request.environment, std::nullopt,
                                         output.write.get(), error.write.get()},
                                        child);
    output.write.reset();
    error.write.reset();
    if (spawnError != 0) {
        result.startError = std::strerror(spawnError);
        return result;
    }
    result.started = true;

    const auto deadline = Clock::now() + request.timeLimit;
    bool overflowed = false;
    std::array<pollfd, 2> watched{{{output.read.get(), POLLIN, 0}, {error.read.get(), POLLIN, 0}}};
    std::array<std::string*, 2> sinks{&result.standardOutput, &result.standardError};
    int open = 2;
    while (open > 0) {
        // Checked here too: poll never times out while a child keeps its pipes full.
        if (Clock::now() >= deadline) {
            result.timedOut = true;
            break;
        }
        const int ready = ::poll(watched.data(), watched.size(), millisecondsUntil(deadline));
        if (ready < 0 && errno != EINTR) {
            break;
        }
        if (ready == 0) {
            result.timedOut = true;
            break;
        }
        for (std::size_t i = 0; i < watched.size(); ++i) {
            if (watched[i].fd >= 0 && watched[i].revents != 0 &&
                !drain(watched[i].fd, *sinks[i], overflowed)) {
                watched[i].fd = -1;  // poll ignores negative descriptors
                --open;
            }
        }
    }

    // The outputs have ended; the child itself may linger, so its wait has the same limit.
    int status = 0;
    auto pause = std::chrono::microseconds(100);
    while (!result.timedOut) {
        const pid_t waited = ::waitpid(child, &status, WNOHANG);
        if (waited == child || (waited < 0 && errno != EINTR)) {
            break;
        }
        if (Clock::now() >= deadline) {
            result.timedOut = true;
            break;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::microseconds(10000));
    }
    if (result.timedOut) {
        ::kill(-child, SIGKILL);
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        result.standardOutput.clear();
        result.standardError.clear();
        return result;
    }
    if (WIFEXITED(status)) {
        result.exitStatus = WEXITSTATUS(status);
    }
    if (overflowed) {
        result.standardOutput.clear();
        result.standardError.clear();
    }
    return result;
}

}  // namespace fernbeacon::platform
