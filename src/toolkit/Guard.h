#pragma once

#include "formats/GameError.h"
#include "toolkit/ErrorBox.h"

#include <exception>
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
