// zvStopwatch.h - measures accumulated time on the processor clock.
//
//     zv::stopwatch watch;
//     watch.start();
//     work();
//     watch.stop();
//     watch.start();                 // goes on from where it stopped
//     more();
//     watch.stop();
//     double s = watch.value();      // seconds, millisecond resolution
//     zv::string text = watch.toString();   // "     2.000\tsec.msec"
//
// The processor clock counts wall-clock milliseconds on Windows, as its
// runtime's `clock()` does, and a monotonic millisecond clock elsewhere.
// Ticks are kept in 64 bits, so a stopwatch does not wrap after 24 days.
#pragma once

#include "zvDefs.h"
#include "zvString.h"

namespace zv {

/// Accumulated time on the processor clock; a restarted watch goes on from where it stopped.
class ZV_API stopwatch {
public:
    /// Stopped, at zero.
    stopwatch();

    /// Back to zero; a running stopwatch keeps running from now.
    void reset();
    /// Starts (or goes on) counting; no effect while running.
    void start();
    /// Stops counting and keeps the value; no effect while stopped.
    void stop();
    /// True between start and stop.
    bool isRunning() const { return m_running; }
    /// The accumulated time in seconds.
    double value() const;
    /// The value as "%10.3lf\tsec.msec".
    string toString() const;

private:
    long long m_ticks;
    long long m_start;
    bool m_running;
};

} // namespace zv
