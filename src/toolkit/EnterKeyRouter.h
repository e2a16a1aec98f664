#pragma once

#include <QObject>
#include <QWidgetList>

// Routes the Enter key, from whichever screen has the keyboard focus, to one application-wide
// action (enterPressed()) before any focused widget sees it: Enter never reaches a widget as an
// ordinary key, not even an editable text box. Keys inside other windows (an error box, a popup
// menu) are left alone.
class EnterKeyRouter : public QObject {
    Q_OBJECT
public:
    explicit EnterKeyRouter(QWidgetList screens, QObject *parent = nullptr);

    // The screens whose keys are routed, when more of them exist than at construction.
    void setScreens(QWidgetList screens) { m_screens = std::move(screens); }

signals:
    // Enter (or the keypad's Enter), unmodified, on one of the screens.
    void enterPressed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidgetList m_screens;
};
