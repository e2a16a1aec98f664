#include "toolkit/ScaledStyle.h"

#include "toolkit/Scaling.h"

#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QScreen>
#include <QStyleOption>

#include <algorithm>

namespace {

// The DPI at which Qt's styles draw their sizes as written, and the layouts' DPI.
constexpr double kStyleBaseDpi = 96.0;
constexpr double kDesignDpi = 120.0;
// A push button with a caption is at least this wide at 120 dpi.
constexpr int kButtonLeastWidth = 80;

// The DPI by which the base style scaled the sizes it gave for `option`.
double styleDpi(const QStyleOption *option)
{
    if (option)
        return option->fontMetrics.fontDpi();
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInch() : kStyleBaseDpi;
}

// A length that the base style scaled by `dpi` / 96 and cut to whole pixels, as it gives it at
// 120 dpi. Lengths it draws at a fixed number of pixels come out the same or a pixel shorter, never
// as nothing.
int designLength(int pixels, double dpi)
{
    constexpr double kRoundingSlack = 1e-6;
    return std::max(1, int(pixels * kDesignDpi / dpi + kRoundingSlack));
}

// The application's font as the platform gave it, before install() set its size.
const QFont &platformFont()
{
    static const QFont font = QApplication::font();
    return font;
}

} // namespace

void ScaledStyle::install()
{
    QFont font = platformFont();
    if (font.pointSize() > 0)
        Scaling::setPoints(font, font.pointSize());
    QApplication::setFont(font);
    // Asking the application for its style would make the default one only to replace it.
    static bool installed = false;
    if (!installed)
        QApplication::setStyle(new ScaledStyle);
    installed = true;
}

int ScaledStyle::pixelMetric(PixelMetric metric, const QStyleOption *option,
                             const QWidget *widget) const
{
    if (m_nested > 0)
        return QProxyStyle::pixelMetric(metric, option, widget);
    ++m_nested;
    const int pixels = QProxyStyle::pixelMetric(metric, option, widget);
    --m_nested;
    return pixels > 0 ? Scaling::px(designLength(pixels, styleDpi(option))) : pixels;
}

QSize ScaledStyle::sizeFromContents(ContentsType type, const QStyleOption *option,
                                    const QSize &size, const QWidget *widget) const
{
    if (type == CT_PushButton) {
        // The base style's least width is in pixels at any DPI: asked without the caption it
        // gives the size of the contents alone, and the least width is the design's, scaled.
        const auto *button = qstyleoption_cast<const QStyleOptionButton *>(option);
        if (button && !button->text.isEmpty()) {
            QStyleOptionButton uncaptioned = *button;
            uncaptioned.text.clear();
            QSize result = QProxyStyle::sizeFromContents(type, &uncaptioned, size, widget);
            result.setWidth(std::max(result.width(), Scaling::px(kButtonLeastWidth)));
            return result;
        }
    }
    QSize result = QProxyStyle::sizeFromContents(type, option, size, widget);
    if (type == CT_MenuItem) {
        // A row is its text's height and a padding that the base style gives in plain pixels, a
        // divider a line in plain pixels: both scale by the factor. Beside the text the base
        // style scaled the row by its own DPI.
        const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
        const int text = item && !item->text.isEmpty() ? item->fontMetrics.height() : 0;
        result.setHeight(text + Scaling::px(result.height() - text));
        const int padding = result.width() - size.width();
        result.setWidth(size.width() + Scaling::px(designLength(padding, styleDpi(option))));
    }
    return result;
}

QIcon ScaledStyle::standardIcon(StandardPixmap icon, const QStyleOption *option,
                                const QWidget *widget) const
{
    // The base style's pictures are drawn at a few sizes; each is scaled by the factor, so that
    // the icon drawn at any size is the 120-dpi one scaled.
    QIcon base = QProxyStyle::standardIcon(icon, option, widget);
    const double factor = Scaling::factor();
    if (factor == 1.0 || base.isNull())
        return base;
    QIcon scaled;
    for (const QSize &size : base.availableSizes()) {
        const QPixmap pixmap = base.pixmap(size);
        scaled.addPixmap(pixmap.scaled(Scaling::size(pixmap.size()), Qt::IgnoreAspectRatio,
                                       Qt::SmoothTransformation));
    }
    return scaled.isNull() ? base : scaled;
}
