#pragma once

#include "formats/GameError.h"
#include "toolkit/ErrorBox.h"

#include <QObject>

#include <exception>
#include <type_traits>
#include <utility>

// Runs one event handler: a click, a pointer move, a key, a timer tick or a music notification.
// An error ends the handler where it was raised and is shown in the error box; the program goes on.
// Exceptions never cross Qt's own frames, so every entry point comes through here.
template <class Handler>
void guarded(Handler &&handler)
{
    try {
        std::forward<Handler>(handler)();
    } catch (const GameError &error) {
        ErrorBox::show(error.text());
    } catch (const std::exception &error) {
        ErrorBox::show(QString::fromLocal8Bit(error.what()));
    }
}

// Connects `signal` to `slot` as an event entry point of its own: the slot runs through the guard,
// so an error ends that slot only (other slots of the signal still run) and is shown, and no
// exception crosses Qt's frames. Pointers to members at both ends, as every connect; the signal's
// arguments, if any, are not passed on.
template <class Sender, class Signal, class Receiver, class Object>
QMetaObject::Connection connectGuarded(const Sender *sender, Signal signal, Receiver *receiver,
                                       void (Object::*slot)())
{
    return QObject::connect(sender, signal, receiver, [receiver, slot] {
        guarded([receiver, slot] { (receiver->*slot)(); });
    });
}

// The same for a slot that takes one value, given here: one slot serves a row of like controls.
template <class Sender, class Signal, class Receiver, class Object, class Value>
QMetaObject::Connection connectGuarded(const Sender *sender, Signal signal, Receiver *receiver,
                                       void (Object::*slot)(Value),
                                       std::type_identity_t<Value> value)
{
    return QObject::connect(sender, signal, receiver, [receiver, slot, value] {
        guarded([receiver, slot, &value] { (receiver->*slot)(value); });
    });
}
