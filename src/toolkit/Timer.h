#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

// An interval timer with the rules the game's handlers rely on: enabling an enabled timer keeps its
// phase, setting the interval it already has changes nothing, and a new interval on a running timer
// restarts its count. Ticks never come faster than the resolution, one frame of a 60 Hz display.
class Timer : public QObject {
    Q_OBJECT
public:
    // Shortest real period: a shorter interval fires every kResolutionMs.
    static constexpr int kResolutionMs = 16;

    Timer(int intervalMs, bool enabled, QObject *parent = nullptr);

    bool enabled() const { return m_enabled; }
    void setEnabled(bool enabled);

    int interval() const { return m_interval; }
    void setInterval(int intervalMs);

    // Runs the tick handler through the guard, as a real tick does.
    void fire();

    // Milliseconds until the next tick, -1 while disabled.
    int remainingTime() const { return m_timer.remainingTime(); }

    std::function<void()> onTimer;
    int tag = 0;

private:
    void restart();

    QTimer m_timer;
    int m_interval;
    bool m_enabled;
};
