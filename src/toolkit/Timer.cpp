#include "toolkit/Timer.h"

#include "toolkit/Guard.h"

#include <algorithm>

Timer::Timer(int intervalMs, bool enabled, QObject *parent)
    : QObject(parent), m_interval(intervalMs), m_enabled(enabled)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &Timer::fire);
    if (m_enabled)
        restart();
}

void Timer::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
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
    m_interval = intervalMs;
    if (m_enabled)
        restart();
}

void Timer::fire()
{
    if (onTimer)
        guarded(onTimer);
}

void Timer::restart()
{
    if (m_interval <= 0) {
        m_timer.stop();
        return;
    }
    m_timer.start(std::max(m_interval, kResolutionMs));
}
