#pragma once

#include <QObject>

// What the pointer does over a control or over a bare screen: the one place these signals are
// declared. Each control and each screen owns one (pointer()) and emits through it, so a new
// control declares nothing.
class Pointer : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

signals:
    // The pointer moved over the owner; every move.
    void hovered();
    // A left press and release over the owner.
    void clicked();
};
