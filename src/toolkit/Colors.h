#pragma once

#include <QColor>

// The named colours that the screens share.
namespace Colors {

inline const QColor kSkyBlue(166, 202, 240);
inline const QColor kMoneyGreen(192, 220, 192);
inline const QColor kMediumGrey(160, 160, 164);
inline const QColor kSilver(192, 192, 192);
inline const QColor kMaroon(128, 0, 0);
inline const QColor kNavy(0, 0, 128);
inline const QColor kGreen(0, 128, 0);
inline const QColor kLime(0, 255, 0);
inline const QColor kYellow(255, 255, 0);
inline const QColor kRed(255, 0, 0);
inline const QColor kBlue(0, 0, 255);
// The system's desktop colour, the ground of the game and score screens and of the about bar.
inline const QColor kDesktop(0, 128, 128);

} // namespace Colors
