#include "toolkit/EnterKeyRouter.h"

#include <QKeyEvent>
#include <QWidget>

EnterKeyRouter::EnterKeyRouter(QWidgetList screens, QObject *parent)
    : QObject(parent), m_screens(std::move(screens))
{
}

bool EnterKeyRouter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return false;
    if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    const auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget || !m_screens.contains(widget->window()))
        return false;
    // The override is refused so that no widget claims the key; the press itself runs the action.
    if (event->type() == QEvent::KeyPress)
        emit enterPressed();
    return true;
}
