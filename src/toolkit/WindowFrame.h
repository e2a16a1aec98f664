#pragma once

#include <QMargins>

class QWidget;

// The frame that the window manager puts around a top-level window, known before the window is
// mapped, so that a window is placed once, as a whole, and never moved in front of the player.
namespace WindowFrame {

// The frame's widths around `window`'s client area as the X11 window manager tells them when
// asked before the window is mapped (_NET_REQUEST_FRAME_EXTENTS); none for a frameless window, on
// other platforms, or under a manager that does not answer. Creates the native window.
QMargins extentsBeforeMap(QWidget *window);

// Puts `window` (at its current size) in the middle of its screen's free area: the window with its
// frame where the window manager tells the frame (see extentsBeforeMap), else its client area.
void centre(QWidget *window);

} // namespace WindowFrame
