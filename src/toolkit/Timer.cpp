#include "toolkit/Timer.h"

#include <algorithm>
#include <limits>
#include <utility>

Timer::Timer(int intervalMs, bool enabled, QObject *parent)
    : QObject(parent), m_interval(intervalMs), m_enabled(enabled)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &Timer::onTimerTimeout);
    if (m_enabled)
        restart();
}

void Timer::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    if (!enabled && m_dormant)
        countMissed();
    m_enabled = enabled;
    if (m_enabled)
        restart();
    else
        m_timer.stop();
}

void Timer::setInterval(int intervalMs)
{
    if (intervalMs == m_interval)
        return;
    if (m_enabled && m_dormant)
        countMissed();
    m_interval = intervalMs;
    if (m_enabled)
        restart();
}

void Timer::setDormant(bool dormant)
{
    if (dormant == m_dormant)
        return;
    m_dormant = dormant;
    if (!m_enabled || period() == 0)
        return;
    if (m_dormant) {
        m_timer.stop();
        m_countedUpTo = ticksDue();
        return;
    }
    countMissed();
    // The next tick falls on the same grid as if the timer had never slept.
    const qint64 elapsed = m_count.elapsed();
    const qint64 next = (elapsed / period() + 1) * period();
    m_timer.start(int(next - elapsed));
}

int Timer::takeMissedTicks()
{
    if (m_enabled && m_dormant)
        countMissed();
    return std::exchange(m_missed, 0);
}

void Timer::fire()
{
    emit timeout();
}

int Timer::period() const
{
    return m_interval <= 0 ? 0 : std::max(m_interval, kResolutionMs);
}

qint64 Timer::ticksDue() const
{
    return period() == 0 ? 0 : m_count.elapsed() / period();
}

void Timer::restart()
{
    m_count.start();
    m_countedUpTo = 0;
    if (period() == 0 || m_dormant) {
        m_timer.stop();
        return;
    }
    m_timer.start(period());
}

void Timer::countMissed()
{
    const qint64 due = ticksDue();
    const qint64 missed =
        std::min<qint64>(due - m_countedUpTo, std::numeric_limits<int>::max() - m_missed);
    m_missed += int(std::max<qint64>(missed, 0));
    m_countedUpTo = due;
}

void Timer::onTimerTimeout()
{
    // After waking, the first tick came after the rest of a period; the following ones come at the
    // full period.
    if (m_timer.interval() != period())
        m_timer.start(period());
    fire();
}
