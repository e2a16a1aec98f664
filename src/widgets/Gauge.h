#pragma once

// Folder widgets/: the game's own widgets beyond the toolkit's controls (the gauge). Includes from
// toolkit/ and formats/ only.

#include "toolkit/Control.h"

#include <QColor>
#include <QImage>
#include <QMenu>
#include <QPointer>
#include <QWidget>

class QPainter;

// What a gauge draws; the order is part of the contract.
enum class GaugeKind { Text, HorizontalBar, VerticalBar, Pie, Needle };

// A progress indicator: a whole-number percentage of a value within a range, shown as a bar, a pie,
// a needle or text only, with the percentage written over it in a colour that inverts whatever lies
// beneath. It covers its whole rectangle and repaints only when what it shows changes.
//
// The picture is composed off screen (renderImage) and copied onto the widget in one piece, so the
// gauge never flickers.
//
// Pointer: like every control it takes all pointer moves and presses over it (hovered() for each
// move). The right button opens the menu given to setPopupMenu; without one, the
// context-menu event goes on to the parent.
class Gauge : public Control<QWidget> {
    Q_OBJECT
public:
    enum class BorderStyle { None, Single };

    // 100 × 100, horizontal bar, range 0..100 at 0, text shown, single frame, black on white, the
    // parent's colour and font.
    explicit Gauge(QWidget *parent = nullptr);

    GaugeKind kind() const { return m_kind; }
    void setKind(GaugeKind kind);

    int minValue() const { return m_min; }
    // Raises progress to the new lower end if it lies below it; always repaints. A lower end above
    // the upper end is refused with GameError "Value must be between <lowest int> and <upper end>".
    void setMinValue(int value);

    int maxValue() const { return m_max; }
    // Lowers progress to the new upper end if it lies above it; always repaints. An upper end below
    // the lower end is refused with GameError "Value must be between <lower end> and <highest
    // int>".
    void setMaxValue(int value);

    int progress() const { return m_progress; }
    // Clamps into minValue..maxValue. An unchanged value does nothing; a changed one is stored and
    // repaints only if percentDone changed with it.
    void setProgress(int value);

    // (progress − min) × 100 / (max − min) truncated toward zero; 0 for an empty range.
    int percentDone() const;

    bool showText() const { return m_showText; }
    void setShowText(bool show);

    BorderStyle borderStyle() const { return m_borderStyle; }
    void setBorderStyle(BorderStyle style);

    // Bar, pie sector, needle and outlines.
    QColor foreColor() const { return m_foreColor; }
    void setForeColor(const QColor &color);

    // Empty part of a bar, inside of the ellipse.
    QColor backColor() const { return m_backColor; }
    void setBackColor(const QColor &color);

    // Corners around the pie and the needle's half-disc. Follows the parent's background colour
    // until set to a different colour.
    QColor color() const;
    void setColor(const QColor &color);

    // The menu the right button opens; not owned.
    void setPopupMenu(QMenu *menu) { m_popupMenu = menu; }
    QMenu *popupMenu() const { return m_popupMenu; }

    // The whole picture as it is copied onto the widget: width() × height(), Format_RGB32.
    QImage renderImage() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void changed();
    void drawKind(QImage &image, const QRect &paintRect) const;
    void drawPie(QPainter &painter, int left, int top, int right, int bottom) const;
    void drawNeedle(QPainter &painter, const QImage &image, int left, int top, int right,
                    int bottom) const;
    void drawText(QImage &image, const QRect &paintRect) const;

    GaugeKind m_kind = GaugeKind::HorizontalBar;
    int m_min = 0;
    int m_max = 100;
    int m_progress = 0;
    bool m_showText = true;
    BorderStyle m_borderStyle = BorderStyle::Single;
    QColor m_foreColor = Qt::black;
    QColor m_backColor = Qt::white;
    QColor m_color;
    bool m_colorSet = false;
    QPointer<QMenu> m_popupMenu;
};
