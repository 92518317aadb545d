#include "app/StopSignals.h"

#include <poll.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cerrno>
#include <csignal>

#include "platform/posix/Pipe.h"

namespace fernbeacon::app {
namespace {

constexpr std::array<int, 3> kStopSignals{SIGINT, SIGTERM, SIGPIPE};

int wakeDescriptor = -1;
volatile std::sig_atomic_t stopRequested = 0;

extern "C" void requestStop(int /*signal*/) {
    const int savedErrno = errno;
    stopRequested = 1;
    const char byte = 0;
    [[maybe_unused]] const auto written = ::write(wakeDescriptor, &byte, 1);
    errno = savedErrno;
}

}  // namespace

StopSignals::StopSignals() {
    // Without the pipe the signals keep their default: they still end the process.
    if (!platform::openPipe(pipe_, true)) {
        pipe_ = {-1, -1};
        return;
    }
    wakeDescriptor = pipe_[1];
    stopRequested = 0;
    notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
        char bytes[16];
        while (::read(pipe_[0], bytes, sizeof bytes) > 0) {
        }
        QCoreApplication::exit(0);
    });
    struct sigaction action {};
    action.sa_handler = requestStop;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (std::size_t index = 0; index < kStopSignals.size(); ++index) {
        ::sigaction(kStopSignals[index], &action, &previous_[index]);
    }
}

StopSignals::~StopSignals() {
    if (!notifier_) {
        return;
    }
    for (std::size_t index = 0; index < kStopSignals.size(); ++index) {
        ::sigaction(kStopSignals[index], &previous_[index], nullptr);
    }
    wakeDescriptor = -1;
    notifier_.reset();
    ::close(pipe_[0]);
    ::close(pipe_[1]);
}

bool StopSignals::received() {
    return stopRequested != 0;
}

bool readerGone(int descriptor) {
    pollfd entry{descriptor, 0, 0};
    return ::poll(&entry, 1, 0) == 1 && (entry.revents & (POLLERR | POLLHUP)) != 0;
}

}  // namespace fernbeacon::app
