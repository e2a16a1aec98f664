#include "toolkit/Scaling.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>
#include <optional>

namespace {

// The dots per inch at which the layouts are written.
constexpr double kDesignDpi = 120.0;
// Points per inch.
constexpr double kPointsPerInch = 72.0;

std::optional<double> &fixedFactor()
{
    static std::optional<double> value;
    return value;
}

} // namespace

namespace Scaling {

double factor()
{
    if (fixedFactor())
        return *fixedFactor();
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInch() / kDesignDpi : 1.0;
}

void setFactor(double value) { fixedFactor() = value; }
void resetFactor() { fixedFactor().reset(); }

int px(int designPixels)
{
    return int(std::lround(designPixels * factor()));
}

QRect rect(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}

QFont font(int designPixels, bool bold)
{
    // Liberation Sans has the narrow metrics the layouts were measured with; DejaVu Sans stands in
    // where it is missing.
    QFont f;
    f.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(std::max(1, px(designPixels)));
    f.setBold(bold);
    return f;
}

int pointsOf(const QFont &font)
{
    return int(std::lround(font.pixelSize() * kPointsPerInch / (kDesignDpi * factor())));
}

void setPoints(QFont &font, int points)
{
    font.setPixelSize(std::max(1, int(std::lround(points * kDesignDpi * factor() / kPointsPerInch))));
}

} // namespace Scaling
