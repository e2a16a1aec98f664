#pragma once

#include "toolkit/Action.h"

#include <deque>

// An ordered list of actions; actions keep their addresses for the life of the list.
class ActionList {
public:
    Action &add(const QString &name, std::function<void()> handler = {})
    {
        return m_actions.emplace_back(name, std::move(handler));
    }

    // The action called `name`, or nullptr.
    const Action *find(const QString &name) const
    {
        for (const Action &action : m_actions)
            if (action.name() == name)
                return &action;
        return nullptr;
    }

    const std::deque<Action> &actions() const { return m_actions; }

private:
    std::deque<Action> m_actions;
};
