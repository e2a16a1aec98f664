#include "widgets/Gauge.h"

#include "formats/GameError.h"

#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPen>

#include <cmath>
#include <limits>
#include <numbers>

namespace {

// Every picture starts from black: the frame is whatever the picture leaves black around it, and
// exclusive-or with black copies.
constexpr QRgb kBlack = 0xff000000;

// Qt angles are sixteenths of a degree.
constexpr int kFullCircle = 360 * 16;

// Nearest integer, a tie going to the even neighbour (independent of the floating-point mode).
int roundHalfEven(double value)
{
    const double lower = std::floor(value);
    const double fraction = value - lower;
    double result = lower;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(lower, 2.0) != 0.0))
        result = lower + 1.0;
    return static_cast<int>(result);
}

// Fills the rectangle (left, top, right, bottom), right column and bottom row excluded.
void fillArea(QPainter &painter, int left, int top, int right, int bottom, const QColor &color)
{
    if (right > left && bottom > top)
        painter.fillRect(QRect(left, top, right - left, bottom - top), color);
}

// The ellipse bounded by (left, top, right, bottom), right column and bottom row excluded, runs
// through the centres of its outermost pixels. Qt puts a point (x, y) into the pixel whose top left
// corner it is, so an outline through pixel centres never touches a pixel outside the box, and the
// ellipse stays symmetric about the box's centre. Ellipses and sectors are both drawn as paths, so
// a sector and its ellipse share their outline. (QPainter::drawEllipse(QRect) takes an integer
// route of its own for aliased ellipses that covers one pixel more and breaks down on long flat
// ellipses such as 688 × 32.)
QRectF ellipseBox(int left, int top, int right, int bottom)
{
    return QRectF(left + 0.5, top + 0.5, right - left - 1, bottom - top - 1);
}

void drawEllipse(QPainter &painter, const QRectF &box)
{
    QPainterPath path;
    path.addEllipse(box);
    painter.drawPath(path);
}

// The angle (sixteenths of a degree, counter-clockwise from three o'clock) at which the radial from
// the centre of `box` through `point` meets the ellipse, in the parametric form Qt's arcs take.
// Points are pixels, taken at their centres like the box.
int radialAngle(const QRectF &box, QPoint point)
{
    const QPointF centre = box.center();
    const double a = box.width() / 2.0;
    const double b = box.height() / 2.0;
    double dx = point.x() + 0.5 - centre.x();
    double dy = centre.y() - (point.y() + 0.5);
    if (a > 0 && b > 0) {
        dx /= a;
        dy /= b;
    }
    const double degrees = std::atan2(dy, dx) * 180.0 / std::numbers::pi;
    return roundHalfEven(degrees * 16.0);
}

// The sector of the ellipse in `box` whose arc runs counter-clockwise from the radial through
// `from` to the radial through `to`; coinciding radials give the whole ellipse.
void drawSector(QPainter &painter, const QRectF &box, QPoint from, QPoint to)
{
    const int start = radialAngle(box, from);
    int span = (radialAngle(box, to) - start) % kFullCircle;
    if (span <= 0)
        span += kFullCircle;
    if (from == to)
        span = kFullCircle;
    painter.drawPie(box, start, span);
}

// A line from `from` that stops short of `to`: its last pixel is left as it was, so the needle's
// tip at 1 % and 50 % stays off the frame. (Qt's own flat cap drops a pixel at whichever end its
// rasteriser finishes, which depends on the direction.)
void lineTo(QPainter &painter, const QImage &image, QPoint from, QPoint to)
{
    const bool endInside = image.rect().contains(to);
    const QRgb end = endInside ? image.pixel(to) : 0;
    painter.drawLine(from, to);
    if (endInside)
        painter.fillRect(QRect(to, QSize(1, 1)), QColor::fromRgb(end));
}

// Combines `source` into `target` by bitwise exclusive or, pixel by pixel, keeping them opaque.
// Both are RGB32 images of one size, whose rows follow each other without padding; two pixels are
// combined at a time.
void xorInto(QImage &target, const QImage &source)
{
    const qsizetype pixels = qsizetype(target.width()) * target.height();
    auto *t = reinterpret_cast<quint64 *>(target.bits());
    const auto *s = reinterpret_cast<const quint64 *>(source.constBits());
    constexpr quint64 opaque = (quint64(kBlack) << 32) | kBlack;
    for (qsizetype i = 0; i < pixels / 2; ++i)
        t[i] = (t[i] ^ s[i]) | opaque;
    if (pixels % 2) {
        QRgb &last = reinterpret_cast<QRgb *>(target.bits())[pixels - 1];
        last = (last ^ reinterpret_cast<const QRgb *>(source.constBits())[pixels - 1]) | kBlack;
    }
}

QImage blackImage(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(kBlack);
    return image;
}

} // namespace

Gauge::Gauge(QWidget *parent) : Control<QWidget>(parent)
{
    // The gauge covers its whole rectangle: nothing of the parent needs to be drawn beneath it.
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(100, 100);
}

void Gauge::setKind(GaugeKind kind)
{
    if (kind == m_kind)
        return;
    m_kind = kind;
    changed();
}

void Gauge::setMinValue(int value)
{
    if (value > m_max)
        throw GameError(QString("Value must be between %1 and %2")
                            .arg(std::numeric_limits<int>::min())
                            .arg(m_max));
    m_min = value;
    if (m_progress < m_min)
        m_progress = m_min;
    changed();
}

void Gauge::setMaxValue(int value)
{
    if (value < m_min)
        throw GameError(QString("Value must be between %1 and %2")
                            .arg(m_min)
                            .arg(std::numeric_limits<int>::max()));
    m_max = value;
    if (m_progress > m_max)
        m_progress = m_max;
    changed();
}

void Gauge::setProgress(int value)
{
    if (value < m_min)
        value = m_min;
    if (value > m_max)
        value = m_max;
    if (value == m_progress)
        return;
    const int before = percentDone();
    m_progress = value;
    // The game sets its gauges on every clock tick; most ticks do not move the shown percentage.
    if (percentDone() != before)
        changed();
}

int Gauge::percentDone() const
{
    // In double: the differences of two 32-bit ends may not fit an int.
    const double range = double(m_max) - double(m_min);
    if (range == 0)
        return 0;
    return static_cast<int>(std::trunc((double(m_progress) - double(m_min)) * 100.0 / range));
}

void Gauge::setShowText(bool show)
{
    if (show == m_showText)
        return;
    m_showText = show;
    changed();
}

void Gauge::setBorderStyle(BorderStyle style)
{
    if (style == m_borderStyle)
        return;
    m_borderStyle = style;
    changed();
}

void Gauge::setForeColor(const QColor &color)
{
    if (color == m_foreColor)
        return;
    m_foreColor = color;
    changed();
}

void Gauge::setBackColor(const QColor &color)
{
    if (color == m_backColor)
        return;
    m_backColor = color;
    changed();
}

QColor Gauge::color() const
{
    if (m_colorSet)
        return m_color;
    if (const QWidget *parent = parentWidget())
        return parent->palette().color(parent->backgroundRole());
    return palette().color(QPalette::Window);
}

void Gauge::setColor(const QColor &color)
{
    if (color == this->color())
        return;
    m_color = color;
    m_colorSet = true;
    changed();
}

void Gauge::changed()
{
    repaint();
}

QImage Gauge::renderImage() const
{
    const QSize size = this->size();
    if (size.isEmpty())
        return {};

    QImage result = blackImage(size);
    QRect paintRect = rect();
    if (m_borderStyle == BorderStyle::Single)
        paintRect.adjust(1, 1, -1, -1);

    QImage picture = blackImage(size);
    drawKind(picture, paintRect);
    xorInto(result, picture);

    if (m_showText) {
        QImage text = blackImage(size);
        drawText(text, paintRect);
        xorInto(result, text);
    }
    return result;
}

void Gauge::drawKind(QImage &image, const QRect &paintRect) const
{
    // Rectangles below are left, top, right, bottom with the right column and bottom row excluded.
    // Where w, h or a fill size stands as a right or bottom edge, it is that coordinate itself,
    // not an extent added to left or top.
    const int left = paintRect.x();
    const int top = paintRect.y();
    const int right = paintRect.x() + paintRect.width();
    const int bottom = paintRect.y() + paintRect.height();
    const int percent = percentDone();

    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(m_foreColor, 1));

    switch (m_kind) {
    case GaugeKind::Text:
        fillArea(painter, left, top, right, bottom, m_backColor);
        break;

    case GaugeKind::HorizontalBar: {
        const int w = right - left + 1;
        const int h = bottom - top + 1;
        fillArea(painter, left, top, right, bottom, m_backColor);
        int fill = static_cast<int>(w * (percent * 0.01));
        if (fill > w)
            fill = w;
        if (fill >= 1)
            fillArea(painter, left, top, fill, h, m_foreColor);
        break;
    }

    case GaugeKind::VerticalBar: {
        const int w = right - left + 1;
        const int h = bottom - top + 1;
        fillArea(painter, left, top, right, bottom, m_backColor);
        int fill = static_cast<int>(h * (percent * 0.01));
        if (fill >= h)
            fill = h - 1;
        fillArea(painter, left, h - fill, w, h, m_foreColor);
        break;
    }

    case GaugeKind::Pie:
        drawPie(painter, left, top, right, bottom);
        break;

    case GaugeKind::Needle:
        drawNeedle(painter, image, left, top, right, bottom);
        break;
    }
}

// The edges are drawKind()'s: right and bottom excluded.
void Gauge::drawPie(QPainter &painter, int left, int top, int right, int bottom) const
{
    const int percent = percentDone();
    const int frame = m_borderStyle == BorderStyle::Single ? 1 : 0;
    const int w = right - left + frame;
    const int h = bottom - top + frame;
    fillArea(painter, left, top, right, bottom, color());
    const QRectF box = ellipseBox(left, top, w, h);
    painter.setBrush(m_backColor);
    drawEllipse(painter, box);
    if (percent > 0) {
        const int middleX = w / 2;
        const int middleY = h / 2;
        const double angle = std::numbers::pi * (percent / 50.0 + 0.5);
        const QPoint from(roundHalfEven(middleX * (1 - std::cos(angle))),
                          roundHalfEven(middleY * (1 - std::sin(angle))));
        painter.setBrush(m_foreColor);
        drawSector(painter, box, from, QPoint(middleX, 0));
    }
}

void Gauge::drawNeedle(QPainter &painter, const QImage &image, int left, int top, int right,
                       int bottom) const
{
    const int percent = percentDone();
    const int frame = m_borderStyle == BorderStyle::Single ? 1 : 0;
    const int w = right - left + frame;
    const int h = bottom - top + frame;
    fillArea(painter, left, top, right, bottom, color());
    painter.setBrush(m_backColor);
    drawSector(painter, ellipseBox(left, top, w, 2 * h - 1), QPoint(left + w, bottom - 1),
               QPoint(left, bottom - 1));
    lineTo(painter, image, QPoint(left, bottom), QPoint(left + w, bottom));
    if (percent > 0) {
        const int middleX = width() / 2;
        const double angle = std::numbers::pi * percent / 100.0;
        lineTo(painter, image, QPoint(middleX, bottom - 1),
               QPoint(roundHalfEven(middleX * (1 - std::cos(angle))),
                      roundHalfEven((bottom - 1) * (1 - std::sin(angle)))));
    }
}

void Gauge::drawText(QImage &image, const QRect &paintRect) const
{
    const int left = paintRect.x();
    const int top = paintRect.y();
    const int right = paintRect.x() + paintRect.width();
    const int bottom = paintRect.y() + paintRect.height();

    // Only pure white pixels invert exactly under exclusive-or; a smoothed edge would leave
    // off-colour fringes.
    QFont textFont = font();
    textFont.setStyleStrategy(QFont::NoAntialias);

    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setFont(textFont);
    painter.setPen(Qt::white);
    painter.setClipRect(paintRect);
    const QFontMetrics metrics = painter.fontMetrics();
    const QString text = QString("%1%").arg(percentDone());
    const int x = (right - left + 1 - metrics.horizontalAdvance(text)) / 2;
    const int y = (bottom - top + 1 - metrics.height()) / 2;
    painter.drawText(x, y + metrics.ascent(), text);
}

void Gauge::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawImage(0, 0, renderImage());
}

void Gauge::contextMenuEvent(QContextMenuEvent *event)
{
    if (!m_popupMenu) {
        event->ignore();
        return;
    }
    event->accept();
    m_popupMenu->popup(event->globalPos());
}
