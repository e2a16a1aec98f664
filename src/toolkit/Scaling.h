#pragma once

#include <QFont>
#include <QRect>

// Layouts are written in pixels for a screen of 120 dots per inch, and so are the pictures, the
// clip frames and the offsets that code adds at run time (the examiner's walk, the about screen's
// motion). On a screen of another DPI the whole screen scales by the screen's logical DPI / 120:
// positions, sizes and font heights when a screen is created, pictures and frames when they are
// drawn (smoothly resampled), and moves through the design point they stand for. At 120 dpi the
// factor is 1 and every pixel is drawn as it is.
namespace Scaling {

// Lets the game scale its screens itself: Qt's own scaling of windows by the display's DPI / 96 is
// turned off (unless the player's environment sets it either way), so that Qt's logical DPI is the
// display's (Xft.dpi on X11) and one window pixel is one display pixel. Must run before the
// application object exists. Qt's scaling cannot stand in for the game's: its painter ignores
// device pixel ratios below 1, so a window in 120-dpi pixels would not shrink to a 96-dpi screen.
void useDisplayDpi();

// Logical DPI / 120 of the primary screen, unless a test fixed it with setFactor().
double factor();
void setFactor(double value);
void resetFactor();

// A design length in pixels at the current factor, rounded to the nearest pixel.
int px(int designPixels);
QRect rect(int left, int top, int width, int height);
QSize size(QSize design);
QPoint point(QPoint design);

// The design point that a widget standing at `pixels` shows: `remembered` when it is drawn there
// (a move by the game's own steps keeps its design place exactly), else the nearest design point.
QPoint designPoint(QPoint pixels, QPoint remembered);
// The nearest design rectangle to `pixels`.
QRect designRect(QRect pixels);

// Puts `widget` at a design rectangle and returns it, so that a layout reads one line a widget.
template <class W>
W *place(W *widget, int left, int top, int width, int height)
{
    widget->setGeometry(rect(left, top, width, height));
    return widget;
}

// The game's stand-in for "MS Sans Serif": a narrow sans-serif font with Cyrillic, `designPixels`
// high.
QFont font(int designPixels, bool bold = false);

// Font size in points as the layouts count them (40 px at 120 dpi is 24 points).
int pointsOf(const QFont &font);
void setPoints(QFont &font, int points);

} // namespace Scaling
