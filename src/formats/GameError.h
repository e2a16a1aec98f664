#pragma once

#include <QString>
#include <stdexcept>

// The one error type of the game. Toolkit operations that fail (opening a clip, a music command,
// loading a picture, the last score-file fallback) throw it with the exact text the player sees;
// the guard at every event entry point turns it into the error box.
class GameError : public std::runtime_error {
public:
    explicit GameError(const QString &text)
        : std::runtime_error(text.toStdString()), m_text(text) {}

    const QString &text() const { return m_text; }

private:
    QString m_text;
};
