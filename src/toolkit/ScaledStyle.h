#pragma once

#include <QProxyStyle>

// Qt's own widgets (the error box, the popup menu, the score list's scroll bar) drawn like the
// rest of the game: at every DPI they are their 120-dpi selves scaled by the screen's factor.
// Qt's style scales some of its sizes by the DPI / 96 itself, draws others (icons, separators, a
// menu row's padding, a button's least width) at a fixed number of pixels, and takes the text's
// height from a font in points; this style turns every one of them into a length of the 120-dpi
// design and scales it by Scaling::factor(). At 120 dpi it changes nothing.
class ScaledStyle : public QProxyStyle {
public:
    // Makes the application draw with a ScaledStyle over its default style, and gives the
    // application's font (in Qt's own widgets) its 120-dpi size scaled by the factor. Again after
    // the factor changed (tests).
    static void install();

    int pixelMetric(PixelMetric metric, const QStyleOption *option = nullptr,
                    const QWidget *widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                           const QWidget *widget) const override;
    QIcon standardIcon(StandardPixmap icon, const QStyleOption *option = nullptr,
                       const QWidget *widget = nullptr) const override;

private:
    // Above zero while the base style works out a metric: the metrics it asks for on the way are
    // its own, and only the one asked for from outside is scaled.
    mutable int m_nested = 0;
};
