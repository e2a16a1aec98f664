#pragma once

// Folder formats/: the readers of the game's file formats (AVI clips, the music file check, JPEG
// backgrounds, icons and bitmaps, the Windows-1251 code page). Each turns bytes into data or a
// clear error and is fuzzed under its own name (tests/fuzz/fuzz_<Reader>.cpp; the code page through
// the score text's target, fuzz_ScoreText.cpp); its cases are in tests/unit/test_<Reader>.cpp, and
// what the AVI reader and the music file check refuse also in the tests of the stack that shows it
// (test_ClipPlayer.cpp, test_MusicPlayer.cpp). This is the lowest folder: it includes nothing of
// the game's. GameError lives here, not in toolkit/, because readers throw it and toolkit includes
// the code page from here: in toolkit/ it would make the two folders include each other.

#include <QString>
#include <stdexcept>

// The one error type of the game. Toolkit operations that fail (opening a clip, a music command,
// loading a picture, the last score-file fallback) throw it with the exact text the player sees;
// the guard at every event entry point turns it into the error box.
class GameError : public std::runtime_error {
public:
    explicit GameError(const QString &text) : std::runtime_error(text.toStdString()), m_text(text)
    {
    }

    const QString &text() const { return m_text; }

private:
    QString m_text;
};
