#pragma once

// For the start-up benchmark: with ABM_QUIT_AFTER_SHOW set, the run ends
// once the window's first frame is painted, and prints when that was
// ("FIRST_PAINT <ns of the realtime clock>") so that the time to it leaves
// out the shutdown. abmmaker and the bare window it is measured against
// both use this, so both stop at the same point.

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <ctime>

namespace abm {

inline void quitAfterFirstPaint(QWidget& window)
{
    if (!qEnvironmentVariableIsSet("ABM_QUIT_AFTER_SHOW"))
        return;
    class Probe : public QObject {
    public:
        using QObject::QObject;

    protected:
        bool eventFilter(QObject* watched, QEvent* event) override
        {
            if (event->type() == QEvent::Paint) {
                watched->removeEventFilter(this);
                // Queued: the window's children paint and the frame is
                // flushed before it runs.
                QTimer::singleShot(0, this, [] {
                    timespec now{};
                    clock_gettime(CLOCK_REALTIME, &now);
                    std::printf("FIRST_PAINT %lld\n", static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
                    std::fflush(stdout);
                    QCoreApplication::quit();
                });
            }
            return false;
        }
    };
    window.installEventFilter(new Probe(&window));
}

}  // namespace abm
