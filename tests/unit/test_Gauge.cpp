#include "formats/GameError.h"
#include "widgets/Gauge.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kRed = qRgb(255, 0, 0);
const QRgb kBlue = qRgb(0, 0, 255);
const QColor kMaroon(128, 0, 0);
const QColor kMediumGrey(160, 160, 164);

// A parent in the game's font and a blue background, and a gauge on it drawing red on white with
// no text, so every pixel tells which part of the picture it belongs to.
struct Scene {
    QWidget parent;
    Gauge *gauge;

    Scene(GaugeKind kind, int width, int height)
    {
        QFont font("DejaVu Sans");
        font.setPixelSize(13);
        parent.setFont(font);
        QPalette palette = parent.palette();
        palette.setColor(QPalette::Window, Qt::blue);
        parent.setPalette(palette);
        gauge = new Gauge(&parent);
        gauge->resize(width, height);
        gauge->setKind(kind);
        gauge->setForeColor(Qt::red);
        gauge->setShowText(false);
    }

    QImage at(int percent)
    {
        gauge->setProgress(percent);
        return gauge->renderImage();
    }
};

// The one-pixel ring around the picture; the needle's base line may cover the bottom row.
bool ringIsBlack(const QImage &image, bool withBottomRow = true)
{
    const int w = image.width(), h = image.height();
    for (int x = 0; x < w; ++x)
        if (image.pixel(x, 0) != kBlack || (withBottomRow && image.pixel(x, h - 1) != kBlack))
            return false;
    for (int y = 0; y < (withBottomRow ? h : h - 1); ++y)
        if (image.pixel(0, y) != kBlack || image.pixel(w - 1, y) != kBlack)
            return false;
    return true;
}

// How many pixels of `area` are red (or `colour`).
int redIn(const QImage &image, QRect area, QRgb colour = kRed)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += image.pixel(x, y) == colour;
    return count;
}

// A text-only 100 × 30 gauge showing 42 % over `back`: the colours inside its frame, and where the
// text (every pixel not in `back`) lies.
struct TextPicture {
    QSet<QRgb> colours;
    QRect text;
};

TextPicture textOver(const QColor &back, QSize size = {100, 30})
{
    Scene scene(GaugeKind::Text, size.width(), size.height());
    scene.gauge->setBackColor(back);
    scene.gauge->setShowText(true);
    const QImage image = scene.at(42);
    TextPicture picture;
    for (int y = 1; y < image.height() - 1; ++y)
        for (int x = 1; x < image.width() - 1; ++x) {
            picture.colours.insert(image.pixel(x, y));
            if (image.pixel(x, y) != back.rgb())
                picture.text |= QRect(x, y, 1, 1);
        }
    return picture;
}

// Counts the events of one type that reach `target`.
struct EventCounter : QObject {
    const QEvent::Type type;
    int count = 0;
    EventCounter(QObject *target, QEvent::Type counted) : type(counted)
    {
        target->installEventFilter(this);
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        count += event->type() == type;
        return false;
    }
};

} // namespace

class TestGauge : public QObject {
    Q_OBJECT

private slots:
    // What the screens rely on without setting it: range 0..100 at 0, a horizontal bar with text
    // and a single frame, black on white, the parent's colour and font, 100 × 100.
    void creationValues()
    {
        QWidget parent;
        QFont font("DejaVu Sans");
        font.setPixelSize(17);
        parent.setFont(font);
        Gauge gauge(&parent);
        QCOMPARE(gauge.kind(), GaugeKind::HorizontalBar);
        QCOMPARE(gauge.minValue(), 0);
        QCOMPARE(gauge.maxValue(), 100);
        QCOMPARE(gauge.progress(), 0);
        QVERIFY(gauge.showText());
        QCOMPARE(gauge.borderStyle(), Gauge::BorderStyle::Single);
        QCOMPARE(gauge.foreColor(), QColor(Qt::black));
        QCOMPARE(gauge.backColor(), QColor(Qt::white));
        QCOMPARE(gauge.color(), parent.palette().color(parent.backgroundRole()));
        QCOMPARE(gauge.font().pixelSize(), 17);
        QCOMPARE(gauge.size(), QSize(100, 100));
        QVERIFY(gauge.hasMouseTracking());
    }

    // The single frame is a black ring that no kind paints over (the needle only on its bottom
    // row); without a frame the picture reaches the edges.
    void frameRing()
    {
        for (GaugeKind kind : {GaugeKind::Text, GaugeKind::HorizontalBar, GaugeKind::VerticalBar,
                               GaugeKind::Pie, GaugeKind::Needle}) {
            Scene scene(kind, 61, 41);
            for (int percent : {0, 1, 25, 50, 99, 100})
                QVERIFY2(ringIsBlack(scene.at(percent), kind != GaugeKind::Needle),
                         qPrintable(QString("kind %1 at %2 %").arg(int(kind)).arg(percent)));
        }
        Scene bare(GaugeKind::HorizontalBar, 62, 41); // an even count of pixels: the last one too
        bare.gauge->setBorderStyle(Gauge::BorderStyle::None);
        QCOMPARE(bare.at(0).pixel(0, 0), kWhite);
        QCOMPARE(bare.at(100).pixel(61, 40), kRed);
        // The least bar drawn is one column: 2 % of its 63 columns (the right edge counts).
        QCOMPARE(bare.at(1).pixel(0, 20), kWhite);
        QCOMPARE(bare.at(2).pixel(0, 20), kRed);
        QCOMPARE(bare.at(2).pixel(1, 20), kWhite);
        Scene odd(GaugeKind::HorizontalBar, 61, 41); // an odd count: the last pixel alone
        odd.gauge->setBorderStyle(Gauge::BorderStyle::None);
        QCOMPARE(odd.at(100).pixel(60, 40), kRed);
        QCOMPARE(odd.at(98).pixel(60, 40), kWhite);
    }

    // The bar's end column (of the game's 129 × 28 copying gauge) and end row (of its 105 × 65
    // clock gauge) for each percentage; -1 when nothing is filled.
    void barFill_data()
    {
        QTest::addColumn<int>("percent");
        QTest::addColumn<int>("lastColumn");
        QTest::addColumn<int>("firstRow");
        QTest::newRow("0") << 0 << -1 << -1;
        QTest::newRow("1") << 1 << -1 << -1;
        QTest::newRow("25") << 25 << 31 << 48;
        QTest::newRow("50") << 50 << 63 << 32;
        QTest::newRow("99") << 99 << 125 << 1;
        QTest::newRow("100") << 100 << 127 << 1;
    }

    void barFill()
    {
        QFETCH(int, percent);
        QFETCH(int, lastColumn);
        QFETCH(int, firstRow);

        Scene horizontal(GaugeKind::HorizontalBar, 129, 28);
        const QImage bar = horizontal.at(percent);
        for (int x = 1; x <= 127; ++x)
            for (int y : {1, 14, 26})
                QCOMPARE(bar.pixel(x, y), x <= lastColumn ? kRed : kWhite);

        Scene vertical(GaugeKind::VerticalBar, 105, 65);
        const QImage column = vertical.at(percent);
        for (int y = 1; y <= 63; ++y)
            for (int x : {1, 52, 103})
                QCOMPARE(column.pixel(x, y), firstRow > 0 && y >= firstRow ? kRed : kWhite);
    }

    // The pie starts at twelve o'clock and grows clockwise; outside the ellipse is Color.
    void pieSectors()
    {
        Scene scene(GaugeKind::Pie, 101, 101);
        const QPoint upperRight(75, 25), lowerRight(75, 75), lowerLeft(25, 75), upperLeft(25, 25);
        const auto colours = [&](int percent) {
            const QImage image = scene.at(percent);
            return QList<QRgb>{image.pixel(upperRight), image.pixel(lowerRight),
                               image.pixel(lowerLeft), image.pixel(upperLeft), image.pixel(3, 3)};
        };
        QCOMPARE(colours(0), (QList<QRgb>{kWhite, kWhite, kWhite, kWhite, kBlue}));
        QCOMPARE(scene.at(0).pixel(99, 50), kRed); // the outline's right end, on the box's edge
        QCOMPARE(colours(1), (QList<QRgb>{kWhite, kWhite, kWhite, kWhite, kBlue}));
        QCOMPARE(colours(25), (QList<QRgb>{kRed, kWhite, kWhite, kWhite, kBlue}));
        QCOMPARE(colours(50), (QList<QRgb>{kRed, kRed, kWhite, kWhite, kBlue}));
        QCOMPARE(colours(99), (QList<QRgb>{kRed, kRed, kRed, kRed, kBlue}));
        // Without a frame the outline reaches the edges, its top run centred on the middle column.
        Scene bare(GaugeKind::Pie, 101, 101);
        bare.gauge->setBorderStyle(Gauge::BorderStyle::None);
        const QImage frameless = bare.at(0);
        QCOMPARE(QList<QRgb>({frameless.pixel(43, 0), frameless.pixel(44, 0),
                              frameless.pixel(56, 0), frameless.pixel(57, 0)}),
                 QList<QRgb>({kBlue, kRed, kRed, kBlue}));
        // At 1 % a sliver right of twelve o'clock.
        QCOMPARE(redIn(scene.at(0), QRect(51, 5, 10, 40)), 0);
        QVERIFY(redIn(scene.at(1), QRect(51, 5, 10, 40)) > 0);

        // Its straight edges run along the axes through the centre, pixel centres as Qt takes them:
        // at 50 % one column from twelve to six o'clock, at 25 % one row to three o'clock.
        const auto edge = [](const QImage &image, QPoint from, QPoint step) {
            while (image.pixel(from) != kRed)
                from += step;
            return from;
        };
        const QImage half = scene.at(50), upperRightQuarter = scene.at(25);
        for (int i = 20; i <= 80; ++i) {
            QCOMPARE(edge(half, {25, i}, {1, 0}).x(), 50);
            if (i > 55)
                QCOMPARE(edge(upperRightQuarter, {i, 75}, {0, -1}).y(), 50);
        }

        // Past three quarters the sector still ends at twelve o'clock, to the degree.
        Scene large(GaugeKind::Pie, 401, 401);
        QCOMPARE(large.at(80).pixel(198, 40), kWhite);
        QCOMPARE(large.at(80).pixel(202, 40), kRed);

        // Each percentage is that share of the ellipse, whatever its shape (the menu's loading
        // gauge is long and flat): the red beyond the outline, to within the sector's edges. At
        // 100 % the radials coincide and the whole ellipse is ForeColor.
        for (const QSize size : {QSize(401, 401), QSize(688, 32)}) {
            Scene shaped(GaugeKind::Pie, size.width(), size.height());
            const QImage empty = shaped.at(0);
            const int outline = redIn(empty, empty.rect());
            const int inside = outline + redIn(empty, empty.rect(), kWhite);
            for (int percent = 1; percent <= 100; ++percent) {
                const double share = (redIn(shaped.at(percent), empty.rect()) - outline) * 100.0
                    / (inside - outline);
                QVERIFY2(qAbs(share - percent) < 3, qPrintable(QString::number(share)));
            }
        }

        // The long flat loading gauge of the menu: a quarter is still the upper right quarter.
        Scene loading(GaugeKind::Pie, 688, 32);
        const QImage quarter = loading.at(25);
        QCOMPARE(quarter.pixel(500, 8), kRed);
        QCOMPARE(quarter.pixel(500, 24), kWhite);
        QCOMPARE(quarter.pixel(180, 8), kWhite);
        QCOMPARE(quarter.pixel(180, 24), kWhite);
        QVERIFY(ringIsBlack(quarter));
    }

    // The needle is anchored at the middle of the bottom: left at low values, up at 50 %, right
    // at high ones; at 0 % there is none.
    void needleDirection()
    {
        Scene scene(GaugeKind::Needle, 201, 101);
        const QRect left(20, 90, 70, 9), middle(95, 20, 11, 60), right(111, 90, 70, 9);

        const QImage none = scene.at(0);
        QCOMPARE(redIn(none, left) + redIn(none, middle) + redIn(none, right), 0);
        QVERIFY(redIn(scene.at(1), left) > 0);
        QCOMPARE(none.pixel(100, 60), kWhite);
        QCOMPARE(none.pixel(2, 2), kBlue);    // a corner outside the half-disc
        QCOMPARE(none.pixel(20, 50), kWhite); // round: at half its height nearly as wide
        // Its outline: the top run centred, the sides down to the chord along the inside's bottom
        // row; the base line along the frame's bottom row.
        QCOMPARE(QList<QRgb>({none.pixel(90, 1), none.pixel(91, 1), none.pixel(110, 1),
                              none.pixel(111, 1), none.pixel(1, 90), none.pixel(1, 91)}),
                 QList<QRgb>({kBlue, kRed, kRed, kBlue, kBlue, kRed}));
        QCOMPARE(redIn(none, QRect(1, 99, 199, 1)), 199);
        QCOMPARE(redIn(none, QRect(0, 100, 201, 1)), 200);
        Scene bare(GaugeKind::Needle, 201, 101); // without a frame the outline takes the top row
        bare.gauge->setBorderStyle(Gauge::BorderStyle::None);
        const QImage frameless = bare.at(0);
        QCOMPARE(redIn(frameless, QRect(0, 0, 201, 1)), 19);
        QCOMPARE(QList<QRgb>({frameless.pixel(90, 0), frameless.pixel(91, 0)}),
                 QList<QRgb>({kBlue, kRed}));

        const QImage up = scene.at(50);
        QCOMPARE(redIn(up, middle), 60);
        QCOMPARE(redIn(up, left) + redIn(up, right), 0);
        QVERIFY(ringIsBlack(up, false)); // the tip stops short of the frame

        QCOMPARE(scene.at(7).pixel(3, 77), kRed); // next to its tip

        const QImage low = scene.at(3);
        QVERIFY(redIn(low, left) > 0);
        QCOMPARE(
            QList<QRgb>({low.pixel(1, 89), low.pixel(1, 90), low.pixel(11, 90), low.pixel(11, 91)}),
            QList<QRgb>({kBlue, kRed, kWhite, kRed}));
        QCOMPARE(redIn(low, middle) + redIn(low, right), 0);

        const QImage high = scene.at(97);
        QVERIFY(redIn(high, right) > 0);
        QCOMPARE(redIn(high, middle) + redIn(high, left), 0);

        // It runs from (100, 99) to the pixel nearest the circle's point, at 25 % (29.3, 29.0):
        // (31, 31), not (31, 30), lies on it, and so does (64, 63), not (64, 64).
        const QImage quarter = scene.at(25);
        QCOMPARE(QList<QRgb>({quarter.pixel(31, 31), quarter.pixel(31, 30), quarter.pixel(64, 63),
                              quarter.pixel(64, 64)}),
                 QList<QRgb>({kRed, kWhite, kRed, kWhite}));
    }

    // The percentage inverts what lies beneath it, pixel for pixel, and stays inside the frame.
    void textInvertsTheBackground()
    {
        const QList<std::pair<QColor, QRgb>> inversions = {
            {kMaroon, qRgb(127, 255, 255)}, {kMediumGrey, qRgb(95, 95, 91)}, {Qt::white, kBlack}};
        for (const auto &[back, inverted] : inversions) {
            const TextPicture picture = textOver(back);
            QCOMPARE(picture.colours, (QSet<QRgb>{back.rgb(), inverted}));
            QCOMPARE(picture.text, QRect(36, 10, 26, 9)); // centred in the frame's inside
        }
        // A pixel wider and higher, it stays: the spare pixel goes to the right and the bottom.
        QCOMPARE(textOver(Qt::white, {101, 31}).text, QRect(36, 10, 26, 9));

        // Over a half-filled bar the text is split: white over black, black over white.
        Scene bar(GaugeKind::HorizontalBar, 61, 30);
        bar.gauge->setForeColor(Qt::black);
        bar.gauge->setShowText(true);
        const QImage split = bar.at(50);
        QSet<QRgb> colours;
        for (int y = 1; y < 29; ++y)
            for (int x = 1; x < 60; ++x)
                colours.insert(split.pixel(x, y));
        QCOMPARE(colours, (QSet<QRgb>{kBlack, kWhite}));

        // "100%" is wider than a 20-pixel gauge: it is cut, and the frame stays whole.
        Scene narrow(GaugeKind::Text, 20, 12);
        narrow.gauge->setShowText(true);
        QVERIFY(ringIsBlack(narrow.at(100)));
    }

    // What renderImage composes is exactly what the widget shows.
    void widgetShowsTheComposedImage()
    {
        Scene scene(GaugeKind::Pie, 120, 40);
        scene.gauge->setShowText(true);
        scene.at(37);
        QCOMPARE(scene.gauge->grab().toImage().convertToFormat(QImage::Format_RGB32),
                 scene.gauge->renderImage());
    }

    // Every write is clamped into the range; an unchanged value or an unchanged percentage
    // repaints nothing, and every other change repaints the shown gauge once, at once.
    void progressAndRepaints()
    {
        QWidget window;
        Gauge &gauge = *new Gauge(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const EventCounter paints(&gauge, QEvent::Paint);
        gauge.setProgress(-5);
        QCOMPARE(gauge.progress(), 0);
        gauge.setProgress(250);
        QCOMPARE(gauge.progress(), 100);

        int repaints = paints.count;
        gauge.setProgress(100);
        QCOMPARE(paints.count, repaints);
        gauge.setForeColor(Qt::black);
        gauge.setKind(GaugeKind::HorizontalBar);
        gauge.setShowText(true);
        gauge.setBorderStyle(Gauge::BorderStyle::Single);
        QCOMPARE(paints.count, repaints);
        gauge.setForeColor(Qt::green);
        QCOMPARE(paints.count, repaints + 1);
        // Every other change of what it shows repaints it once.
        const std::function<void()> changes[] = {[&] { gauge.setKind(GaugeKind::Pie); },
                                                 [&] { gauge.setBackColor(Qt::red); },
                                                 [&] { gauge.setShowText(false); },
                                                 [&] { gauge.setBorderStyle(Gauge::BorderStyle::None); },
                                                 [&] { gauge.setColor(Qt::red); },
                                                 [&] { gauge.setMaxValue(1000); },
                                                 [&] { gauge.setMinValue(-100); }};
        for (const auto &change : changes) {
            change();
            QCOMPARE(paints.count, ++repaints + 1);
        }

        gauge.setMinValue(0);
        QCOMPARE(gauge.percentDone(), 10);
        repaints = paints.count;
        gauge.setProgress(109);
        QCOMPARE(gauge.progress(), 109);
        QCOMPARE(paints.count, repaints);
        gauge.setProgress(110);
        QCOMPARE(gauge.percentDone(), 11);
        QCOMPARE(paints.count, repaints + 1);
    }

    // Moving an end drags progress along; an empty range shows 0 %; a crossed range is refused
    // with the toolkit's message and changes nothing.
    void rangeEnds()
    {
        Gauge gauge;
        gauge.setProgress(20);
        gauge.setMinValue(50);
        QCOMPARE(gauge.progress(), 50);
        gauge.setMaxValue(50);
        QCOMPARE(gauge.percentDone(), 0);
        gauge.setMinValue(-2147483647 - 1);
        gauge.setMaxValue(2147483647);
        QCOMPARE(gauge.percentDone(), 50);

        Gauge narrow;
        narrow.setProgress(60);
        narrow.setMaxValue(30);
        QCOMPARE(narrow.progress(), 30);
        try {
            narrow.setMinValue(31);
            QFAIL("a lower end above the upper end was taken");
        } catch (const GameError &error) {
            QCOMPARE(error.text(), QString("Value must be between -2147483648 and 30"));
        }
        try {
            narrow.setMaxValue(-1);
            QFAIL("an upper end below the lower end was taken");
        } catch (const GameError &error) {
            QCOMPARE(error.text(), QString("Value must be between 0 and 2147483647"));
        }
        QCOMPARE(narrow.minValue(), 0);
        QCOMPARE(narrow.maxValue(), 30);
        narrow.setMinValue(30); // an empty range is a range
        QCOMPARE(narrow.minValue(), 30);
    }

    // Colour follows the parent's, and the gauge repaints in it, until a different one is set.
    void colourFollowsTheParent()
    {
        Scene scene(GaugeKind::Pie, 50, 50);
        scene.parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&scene.parent));
        const EventCounter paints(scene.gauge, QEvent::Paint);
        QCOMPARE(scene.gauge->color(), QColor(Qt::blue));
        QPalette palette = scene.parent.palette();
        palette.setColor(QPalette::Window, Qt::yellow);
        scene.parent.setPalette(palette);
        QCOMPARE(scene.gauge->color(), QColor(Qt::yellow));
        QTRY_VERIFY(paints.count > 0); // shown in it
        scene.gauge->setColor(Qt::black);
        palette.setColor(QPalette::Window, Qt::blue);
        scene.parent.setPalette(palette);
        QCOMPARE(scene.gauge->color(), QColor(Qt::black));
    }

    // Pointer moves over a gauge are its own and never reach the parent; the right button opens
    // its popup menu.
    void pointer()
    {
        Scene scene(GaugeKind::VerticalBar, 60, 40);
        int gaugeMoves = 0;
        scene.parent.setMouseTracking(true);
        QObject::connect(scene.gauge->pointer(), &Pointer::hovered, [&] { ++gaugeMoves; });
        const EventCounter parentMoves(&scene.parent, QEvent::MouseMove);
        scene.parent.resize(200, 200);
        scene.parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&scene.parent));
        QTest::mouseMove(scene.gauge, QPoint(30, 20));
        QTRY_COMPARE(gaugeMoves, 1);
        QCOMPARE(parentMoves.count, 0);

        QContextMenuEvent noMenu(QContextMenuEvent::Mouse, QPoint(5, 5), QPoint(5, 5));
        QApplication::sendEvent(scene.gauge, &noMenu);
        QVERIFY(!noMenu.isAccepted()); // without a menu, on to the parent
        QMenu menu;
        menu.addAction("x");
        scene.gauge->setPopupMenu(&menu);
        QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(5, 5),
                                     scene.gauge->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(scene.gauge, &rightClick);
        QVERIFY(rightClick.isAccepted());
        QTRY_VERIFY(menu.isVisible());
        menu.close();
    }
};

QTEST_MAIN(TestGauge)
#include "test_Gauge.moc"
