#pragma once

#include <QObject>
#include <QWidgetList>

#include <functional>

// Routes the Enter key, from whichever screen has the keyboard focus, to one application-wide
// action before any focused widget sees it: Enter never reaches a widget as an ordinary key, not
// even an editable text box. Keys inside other windows (an error box, a popup menu) are left alone.
class EnterKeyRouter : public QObject {
public:
    EnterKeyRouter(QWidgetList screens, std::function<void()> action, QObject *parent = nullptr);

    // The screens whose keys are routed, when more of them exist than at construction.
    void setScreens(QWidgetList screens) { m_screens = std::move(screens); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidgetList m_screens;
    std::function<void()> m_action;
};
