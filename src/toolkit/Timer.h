#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

// An interval timer with the rules the game's handlers rely on: enabling an enabled timer keeps its
// phase, setting the interval it already has changes nothing, and a new interval on a running timer
// restarts its count. Ticks never come faster than the resolution, one frame of a 60 Hz display.
//
// A screen may put an enabled timer to sleep while its ticks could change nothing on the screen
// (dormant): it then does not wake the program, counts the ticks that fall due instead of running
// them, and keeps its phase, so that once awake it ticks exactly where it would have ticked.
// Being dormant changes nothing that the handlers see: enabled and interval stay as they are.
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

    bool dormant() const { return m_dormant; }
    void setDormant(bool dormant);
    // The ticks that fell due while the timer was enabled and dormant, since the last call.
    int takeMissedTicks();

    // Emits timeout() at once, as a real tick does.
    void fire();

    // Milliseconds until the next tick; -1 while the timer does not wake the program (disabled or
    // dormant).
    int remainingTime() const { return m_timer.remainingTime(); }

signals:
    // A tick. Screens connect it with connectGuarded(), so that an error ends that tick's slot.
    void timeout();

private:
    // The real period: the interval, but no shorter than the resolution; 0 for a timer that never
    // fires.
    int period() const;
    // Ticks due since the count started.
    qint64 ticksDue() const;
    // Starts the count afresh, as enabling or a new interval does.
    void restart();
    // Adds the ticks missed while dormant up to now to m_missed.
    void countMissed();
    void onTimerTimeout();

    QTimer m_timer;
    // Time since the count started: ticks fall due at every whole period of it.
    QElapsedTimer m_count;
    int m_interval;
    bool m_enabled;
    bool m_dormant = false;
    // ticksDue() when the missed ticks were last counted.
    qint64 m_countedUpTo = 0;
    int m_missed = 0;
};
