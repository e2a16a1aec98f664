#include "toolkit/Scaling.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>

#include <cmath>
#include <optional>

namespace {

// The dots per inch at which the layouts are written.
constexpr double kDesignDpi = 120.0;
// Points per inch.
constexpr double kPointsPerInch = 72.0;

// The design length nearest to `pixels` at the current factor.
int designOf(int pixels)
{
    return int(std::lround(pixels / Scaling::factor()));
}

std::optional<double> &fixedFactor()
{
    static std::optional<double> value;
    return value;
}

// Liberation Sans has the narrow metrics the layouts were measured with; DejaVu Sans stands in
// where it is missing. The font names the one that is installed, not both: for a font of two
// families the toolkit asks the system for its list of fallback fonts as each font is first used,
// a sorting of every installed font that cost the start-up about 2 ms, while for a font of one
// family it asks only when a character is missing from it: none of Windows-1251's, in which every
// text of the game is written.
QStringList standInFamilies()
{
    static const QStringList families = [] {
        QStringList preferred{QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")};
        const QStringList installed = QFontDatabase::families();
        for (const QString &family : std::as_const(preferred)) {
            if (installed.contains(family))
                return QStringList{family};
        }
        return preferred;
    }();
    return families;
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

void useDisplayDpi()
{
    if (!qEnvironmentVariableIsSet("QT_ENABLE_HIGHDPI_SCALING"))
        qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
}

void setFactor(double value)
{
    fixedFactor() = value;
}
void resetFactor()
{
    fixedFactor().reset();
}

int px(int designPixels)
{
    return int(std::lround(designPixels * factor()));
}

QRect rect(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}

QSize size(QSize design)
{
    return QSize(px(design.width()), px(design.height()));
}

QPoint point(QPoint design)
{
    return QPoint(px(design.x()), px(design.y()));
}

QPoint designPoint(QPoint pixels, QPoint remembered)
{
    return point(remembered) == pixels ? remembered
                                       : QPoint(designOf(pixels.x()), designOf(pixels.y()));
}

QRect designRect(QRect pixels)
{
    return QRect(designOf(pixels.x()), designOf(pixels.y()), designOf(pixels.width()),
                 designOf(pixels.height()));
}

QFont font(int designPixels, bool bold)
{
    QFont f;
    f.setFamilies(standInFamilies());
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
    font.setPixelSize(
        std::max(1, int(std::lround(points * kDesignDpi * factor() / kPointsPerInch))));
}

} // namespace Scaling
