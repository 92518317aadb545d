#include "app/QtDispatcher.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

namespace fernbeacon::app {
namespace {

constexpr int kMaximumWorkers = 8;

}  // namespace

QtDispatcher::QtDispatcher() {
    mainContext_.moveToThread(QCoreApplication::instance() != nullptr
                                  ? QCoreApplication::instance()->thread()
                                  : QThread::currentThread());
    pool_.setMaxThreadCount(kMaximumWorkers);
}

QtDispatcher::~QtDispatcher() {
    pool_.waitForDone();
}

void QtDispatcher::toMain(std::function<void()> work) {
    QMetaObject::invokeMethod(&mainContext_, std::move(work), Qt::QueuedConnection);
}

void QtDispatcher::toBackground(WorkClass workClass, std::function<void()> work) {
    const QThread::Priority priority =
        workClass == WorkClass::Utility ? QThread::LowPriority : QThread::NormalPriority;
    pool_.start(
        [priority, work = std::move(work)] {
            QThread::currentThread()->setPriority(priority);
            work();
        },
        workClass == WorkClass::Utility ? 0 : 1);
}

void QtDispatcher::waitForBackground() {
    pool_.waitForDone();
}

}  // namespace fernbeacon::app
