#pragma once
// Waiting in tests, always with an end: a condition that never comes true fails the test
// with a message that says what was awaited, instead of hanging it.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <QTimer>

#include <functional>
#include <string>
#include <utility>

#include <gtest/gtest.h>

namespace testsupport {

// How long any wait may take before the test gives up on it.
inline constexpr int kWaitLimitMs = 60'000;

// Runs `act` once `ready` answers true, checked from the event loop every few
// milliseconds (from inside a modal loop too). Gives up after kWaitLimitMs: the test
// fails naming `what`, and `giveUp` runs to end whatever loop is waiting.
inline void whenReady(std::function<bool()> ready, std::function<void()> act, std::string what,
                      std::function<void()> giveUp = {}) {
    auto* poll = new QTimer;
    const QDeadlineTimer deadline(kWaitLimitMs);
    QObject::connect(poll, &QTimer::timeout,
                     [poll, deadline, ready = std::move(ready), act = std::move(act),
                      what = std::move(what), giveUp = std::move(giveUp)] {
                         const bool isReady = ready();
                         if (!isReady && !deadline.hasExpired()) return;
                         poll->stop();
                         poll->deleteLater();
                         if (isReady) {
                             act();
                             return;
                         }
                         ADD_FAILURE() << "gave up after " << kWaitLimitMs / 1000
                                       << " s waiting for " << what;
                         if (giveUp) giveUp();
                     });
    poll->start(5);
}

// Handles events until `done` answers true; false (and a failure naming `what`) when it
// does not within kWaitLimitMs.
inline bool waitUntil(const std::function<bool()>& done, const std::string& what) {
    const QDeadlineTimer deadline(kWaitLimitMs);
    while (!done()) {
        if (deadline.hasExpired()) {
            ADD_FAILURE() << "gave up after " << kWaitLimitMs / 1000 << " s waiting for " << what;
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

}  // namespace testsupport
