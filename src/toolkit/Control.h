#pragma once

// Folder toolkit/: what every screen is built from on top of plain Qt: the controls (panel, bevel,
// label, image, edit, memo, flat button), timers, the guard and error box, scaling, asset paths and
// the screen base. It includes only from formats/ (the code page, GameError).

#include "toolkit/Pointer.h"

#include <QColor>
#include <QEvent>
#include <QMouseEvent>
#include <QPalette>

#include <type_traits>
#include <utility>

// What every control of the game's screens shares, on top of a Qt widget:
// - its Pointer (pointer()), whose hovered() says the pointer moved over it and clicked() that a
//   left press and release happened over it. A control takes every pointer event over it, whether
//   or not anything is connected, so the pointer never reaches what lies beneath it. Screens
//   connect them with connectGuarded(), so that an error in a slot ends that slot only;
// - a disabled control lets the pointer through to whatever lies beneath it (a sibling or its
//   parent), as the screens expect of their disabled read-out buttons;
// - a font colour.
template <class Base>
class Control : public Base {
public:
    template <class... Args>
    requires std::is_constructible_v<Base, Args...>
    explicit Control(Args &&...args) : Base(std::forward<Args>(args)...)
    {
        this->setMouseTracking(true);
    }

    Pointer *pointer() const { return m_pointer; }

    QColor fontColor() const { return m_fontColor; }
    void setFontColor(const QColor &color)
    {
        if (color == m_fontColor)
            return;
        m_fontColor = color;
        QPalette palette = this->palette();
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
            for (QPalette::ColorRole role :
                 {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
                palette.setColor(group, role, color);
        this->setPalette(palette);
    }

protected:
    void mouseMoveEvent(QMouseEvent *event) override
    {
        Base::mouseMoveEvent(event);
        event->accept();
        emit m_pointer->hovered();
    }

    void mousePressEvent(QMouseEvent *event) override
    {
        Base::mousePressEvent(event);
        event->accept();
        m_leftPressed = event->button() == Qt::LeftButton;
    }

    void mouseReleaseEvent(QMouseEvent *event) override
    {
        Base::mouseReleaseEvent(event);
        event->accept();
        const bool click = m_leftPressed && event->button() == Qt::LeftButton
            && this->rect().contains(event->position().toPoint());
        m_leftPressed = false;
        if (click)
            emit m_pointer->clicked();
    }

    void changeEvent(QEvent *event) override
    {
        if (event->type() == QEvent::EnabledChange)
            this->setAttribute(Qt::WA_TransparentForMouseEvents, !this->isEnabled());
        Base::changeEvent(event);
    }

private:
    Pointer *const m_pointer = new Pointer(this);
    QColor m_fontColor = Qt::black;
    bool m_leftPressed = false;
};
