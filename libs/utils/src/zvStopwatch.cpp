#include "zvStopwatch.h"

#include "os/zvOs.h"

namespace zv {

stopwatch::stopwatch() : m_ticks(0), m_start(0), m_running(false) {}

void stopwatch::reset() {
    m_ticks = 0;
    m_start = m_running ? os::processClockMs() : 0;
}

void stopwatch::start() {
    if (m_running)
        return;
    m_running = true;
    m_start = os::processClockMs() - m_start;
}

void stopwatch::stop() {
    if (!m_running)
        return;
    m_running = false;
    m_ticks += os::processClockMs() - m_start;
    m_start = 0;
}

double stopwatch::value() const {
    if (!m_running)
        return static_cast<double>(m_ticks) / 1000.0;
    return static_cast<double>(os::processClockMs() + m_ticks - m_start) / 1000.0;
}

string stopwatch::toString() const {
    return string::sformat(L"%10.3lf\tsec.msec", value());
}

} // namespace zv
