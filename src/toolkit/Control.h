#pragma once

// Folder toolkit/: what every screen is built from on top of plain Qt: the controls (panel, bevel,
// label, image, edit, memo, flat button), timers, the guard and error box, scaling, asset paths and
// the screen base. It includes only from formats/ (the code page, GameError).

#include "toolkit/Guard.h"

#include <QColor>
#include <QEvent>
#include <QMouseEvent>
#include <QPalette>

#include <functional>
#include <utility>

// What every control of the game's screens shares, on top of a Qt widget:
// - pointer-move and click handlers, run through the guard. A control takes every pointer event
//   over it, whether or not it has a handler, so the pointer never reaches what lies beneath it;
// - a disabled control lets the pointer through to whatever lies beneath it (a sibling or its
//   parent), as the screens expect of their disabled read-out buttons;
// - a font colour.
template <class Base>
class Control : public Base {
public:
    template <class... Args>
    explicit Control(Args &&...args) : Base(std::forward<Args>(args)...)
    {
        this->setMouseTracking(true);
    }

    std::function<void()> onMouseMove;
    std::function<void()> onClick;

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
        if (onMouseMove)
            guarded(onMouseMove);
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
        if (click && onClick)
            guarded(onClick);
    }

    void changeEvent(QEvent *event) override
    {
        if (event->type() == QEvent::EnabledChange)
            this->setAttribute(Qt::WA_TransparentForMouseEvents, !this->isEnabled());
        Base::changeEvent(event);
    }

private:
    QColor m_fontColor = Qt::black;
    bool m_leftPressed = false;
};
