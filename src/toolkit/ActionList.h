#pragma once

#include "toolkit/Action.h"

#include <deque>
#include <stdexcept>

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

    // The action called `name`. The screens name their steps by constants of their own code, never
    // by anything a player supplies, so a name without an action is a fault in the code: it throws
    // std::logic_error rather than skip the step in silence. Screens resolve their step names when
    // they are built, so such a fault stops the start of the program and every test that builds them.
    const Action &at(const QString &name) const
    {
        if (const Action *action = find(name))
            return *action;
        throw std::logic_error("no action named \"" + name.toStdString() + "\"");
    }

    const std::deque<Action> &actions() const { return m_actions; }

private:
    std::deque<Action> m_actions;
};
