#pragma once

#include <QString>

#include <deque>
#include <functional>

// A named step of a screen. Executing it runs its handler at once, inside the caller, and returns to
// the caller afterwards; errors travel to the caller. An action without a handler does nothing.
class Action {
public:
    Action(QString name, std::function<void()> handler)
        : m_name(std::move(name)), m_handler(std::move(handler)) {}

    const QString &name() const { return m_name; }
    void execute() const
    {
        if (m_handler)
            m_handler();
    }

private:
    QString m_name;
    std::function<void()> m_handler;
};
