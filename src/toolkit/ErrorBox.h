#pragma once

#include <QString>
#include <QStringList>

// The game's error message box: modal, with the error icon, titled with the application title.
// It does not block the caller (timers go on firing while it is open), and a box whose text equals
// that of a box still open is not opened a second time, so an error that repeats on every tick
// cannot bury the game under boxes. Boxes are shown one at a time in the order they were raised:
// the next one appears when the player dismisses the one before it. The box on screen stays in
// front of every screen of the game and keeps the keyboard until it is dismissed, also when a
// screen is shown after it was opened.
namespace ErrorBox {

// The application title, which is also the title of every error box.
inline constexpr char16_t kTitle[] = u"PEMy - ultra reality game!";

// `text` as the box shows it: a full stop is appended when the code of its last character is
// greater than that of "." (after a letter or a digit, not after "!").
QString withFullStop(const QString &text);

// Opens a box for `text` unless one with the same text is open; it waits while an older box is
// shown.
void show(const QString &text);

// Texts of the boxes that are open now (on screen or waiting their turn), oldest first.
QStringList openTexts();

// Closes every open box (tests and shutdown).
void closeAll();

// While one lives, boxes wait unseen; the oldest appears when the last hold ends. The start-up
// holds the boxes of the menu's creation until the menu is shown: a desktop that stacks windows in
// the order they are mapped and ignores raising them (weston) would keep such a box behind the
// menu.
class Hold {
public:
    Hold();
    ~Hold();
    Hold(const Hold &) = delete;
    Hold &operator=(const Hold &) = delete;
};

} // namespace ErrorBox
