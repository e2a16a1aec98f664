#pragma once

#include <QFont>
#include <QRect>

// Layouts are written in pixels for a screen of 120 dots per inch. When a screen is created, every
// position, size and font height is scaled by the screen's logical DPI / 120. Offsets that code adds
// at run time are plain pixels and are not scaled.
namespace Scaling {

// Logical DPI / 120 of the primary screen, unless a test fixed it with setFactor().
double factor();
void setFactor(double factor);
void resetFactor();

// A design length in pixels at the current factor, rounded to the nearest pixel.
int px(int designPixels);
QRect rect(int left, int top, int width, int height);

// Puts `widget` at a design rectangle and returns it, so that a layout reads one line a widget.
template <class W>
W *place(W *widget, int left, int top, int width, int height)
{
    widget->setGeometry(rect(left, top, width, height));
    return widget;
}

// The game's stand-in for "MS Sans Serif": a narrow sans-serif font with Cyrillic, `designPixels` high.
QFont font(int designPixels, bool bold = false);

// Font size in points as the layouts count them (40 px at 120 dpi is 24 points).
int pointsOf(const QFont &font);
void setPoints(QFont &font, int points);

} // namespace Scaling
