// The look of the four screens as created, with the game's own pictures and clips: every widget's
// place, size, font and colours, one row a widget, against the layout tables (pixels at 120 dpi).
// A changed colour, size or place of any one widget fails its own row. And each screen drawn for a
// screen of another DPI is its 120-dpi picture scaled as a whole.

#include "ScreenFixture.h"

#include "about/AboutScreen.h"
#include "clip/ClipPlayer.h"
#include "game/GameScreen.h"
#include "menu/MenuScreen.h"
#include "music/MusicPlayer.h"
#include "score/ScoreScreen.h"
#include "toolkit/Bevel.h"
#include "toolkit/Colors.h"
#include "toolkit/ErrorBox.h"
#include "toolkit/FlatButton.h"
#include "toolkit/Label.h"
#include "toolkit/LineEdit.h"
#include "toolkit/MultiLineEdit.h"
#include "toolkit/Panel.h"
#include "toolkit/PictureBox.h"
#include "toolkit/Scaling.h"
#include "toolkit/Timer.h"
#include "widgets/Gauge.h"

#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QTextBlock>
#include <QTextLayout>

#include <cmath>

namespace {

using namespace Colors;

// A coordinate that the row does not fix: a label as wide as its caption, a screen placed by the
// desktop, a label docked to its panel's right edge.
constexpr int kAny = -1;
// "No fill": the widget is drawn on its parent's surface.
const QColor kNone(Qt::transparent);
const QColor kWhite(Qt::white);
const QColor kBlack(Qt::black);
const QColor kLabelBack(218, 206, 97);
const QColor kRoomGreen(210, 238, 154);
const QColor kCopybookBack(193, 180, 89);

// The colour a widget writes its text in (for a gauge: its bar).
QColor foreOf(QWidget *w)
{
    if (auto *label = dynamic_cast<Control<QLabel> *>(w))
        return label->fontColor();
    if (auto *edit = dynamic_cast<LineEdit *>(w))
        return edit->fontColor();
    if (auto *memo = dynamic_cast<MultiLineEdit *>(w))
        return memo->fontColor();
    if (auto *gauge = dynamic_cast<Gauge *>(w))
        return gauge->foreColor();
    if (auto *screen = dynamic_cast<Screen *>(w))
        return screen->palette().color(QPalette::WindowText);
    return {};
}

// The colour a widget fills its rectangle with, kNone when it fills nothing.
QColor backOf(QWidget *w)
{
    if (auto *panel = dynamic_cast<Panel *>(w))
        return panel->background();
    if (auto *clip = dynamic_cast<ClipPlayer *>(w))
        return clip->color();
    if (auto *gauge = dynamic_cast<Gauge *>(w))
        return gauge->backColor();
    if (dynamic_cast<LineEdit *>(w) || dynamic_cast<MultiLineEdit *>(w))
        return w->palette().color(QPalette::Base);
    return w->autoFillBackground() ? w->palette().color(QPalette::Window) : kNone;
}

QString captionOf(QWidget *w)
{
    auto *label = dynamic_cast<QLabel *>(w);
    return label ? label->text() : QString();
}

// One widget's row. `place` holds kAny where the layout leaves a coordinate open; `fontPx` 0
// leaves the font unchecked; an invalid colour is not checked. `traits` are words:
//   hidden      hidden at creation          bevel / flat   panel with or without a raised edge
//   pie / hbar / vbar   the gauge's kind    centred / uncentred   where a clip shows its frames
//   full        gauge at 100 %
//   fixed       clip keeps its size         hand / help    pointer shape
//   disabled    greyed, lets the pointer through   readonly   list that cannot be typed into
//   noframe     edit field without border   middle         caption centred on each line
//   right       flush with its parent's right edge
//   picture     shows a picture as wide as itself    blank    shows no picture
//   keyed       its picture's lower left corner is transparent
//   tab<N>      N-th of its parent's controls that Tab steps through
//   focus       holds its screen's keyboard focus      rim3   popup menu 3 px clear of its frame at
//   both ends
void row(const char *name, QWidget *widget, QRect place, int fontPx, bool bold, QColor fore,
         QColor back, const char *traits = "")
{
    QTest::newRow(name) << widget << place << fontPx << bold << fore << back
                        << QString::fromLatin1(traits).split(u' ', Qt::SkipEmptyParts);
}

void columns()
{
    QTest::addColumn<QWidget *>("widget");
    QTest::addColumn<QRect>("place");
    QTest::addColumn<int>("fontPx");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<QColor>("fore");
    QTest::addColumn<QColor>("back");
    QTest::addColumn<QStringList>("traits");
}

QRect r(int left, int top, int width, int height)
{
    return {left, top, width, height};
}

// The four screens, then Qt's own windows: the error box with a short and with a long text (which
// wraps), and the time gauge's menu.
const char *const kScreenNames[] = {"menu", "game",     "score",     "about",
                                    "box",  "long box", "clock menu"};
constexpr int kScoreScreen = 2;
constexpr int kErrorBox = 4;
constexpr int kLongErrorBox = 5;
constexpr int kClockMenu = 6;
// The client areas of the layouts.
const QSize kScreenSizes[] = {{688, 440}, {688, 463}, {694, 440}, {613, 235}};
// Qt's windows at 120 dpi with the game's fonts, as Qt's own style draws them there; a box as wide
// as a title bar needs for the whole title in a 13-point bold font (Qt's own would be 281, which
// cuts it), which also gives the long text room for fewer lines.
const QSize kWindowSizes[] = {{583, 92}, {583, 103}, {229, 90}};

// What `screen` shows.
QImage look(QWidget *screen)
{
    QImage image(screen->size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    screen->render(&image);
    return image;
}

// How far two pictures differ once both are blurred by reducing them to `size`: the root mean
// square of their channels' differences, from 0 to 1.
double blurredDifference(const QImage &a, const QImage &b, QSize size)
{
    const auto blurred = [size](const QImage &image) {
        return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            .convertToFormat(QImage::Format_RGB32);
    };
    const QImage x = blurred(a);
    const QImage y = blurred(b);
    double sum = 0;
    for (int row = 0; row < size.height(); ++row)
        for (int col = 0; col < size.width(); ++col) {
            const QRgb p = x.pixel(col, row);
            const QRgb q = y.pixel(col, row);
            for (int d : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)})
                sum += d * d;
        }
    return std::sqrt(sum / (3.0 * size.width() * size.height())) / 255.0;
}

// Where the list breaks its lines on screen: the length of every line of every paragraph.
QList<int> lineLengths(const MultiLineEdit *list)
{
    QList<int> lengths;
    for (QTextBlock block = list->document()->begin(); block.isValid(); block = block.next())
        for (int i = 0; i < block.layout()->lineCount(); ++i)
            lengths.append(block.layout()->lineAt(i).textLength());
    return lengths;
}

// The error box on screen, null when there is none.
QWidget *shownBox()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows)
        if (qobject_cast<QMessageBox *>(window) && window->isVisible())
            return window;
    return nullptr;
}

// 1 + how many of its parent's controls that take the keyboard (edit fields, lists, panels,
// players) Tab reaches before it, going round its screen from the screen itself; 0 for none of
// them.
int tabPlace(QWidget *w)
{
    int place = 0;
    QWidget *screen = w->window();
    for (QWidget *next = screen->nextInFocusChain(); next != screen;
         next = next->nextInFocusChain()) {
        if (next->parentWidget() != w->parentWidget())
            continue;
        if (dynamic_cast<LineEdit *>(next) || dynamic_cast<MultiLineEdit *>(next)
            || dynamic_cast<Panel *>(next) || dynamic_cast<MusicPlayer *>(next))
            ++place;
        if (next == w)
            return place;
    }
    return 0;
}

void checkRow()
{
    QFETCH(QWidget *, widget);
    QFETCH(QRect, place);
    QFETCH(int, fontPx);
    QFETCH(bool, bold);
    QFETCH(QColor, fore);
    QFETCH(QColor, back);
    QFETCH(QStringList, traits);
    QVERIFY(widget);

    const QRect actual = widget->isWindow() ? QRect(kAny, kAny, widget->width(), widget->height())
                                            : widget->geometry();
    if (place.x() != kAny)
        QCOMPARE(actual.x(), place.x());
    QCOMPARE(actual.y(), place.y());
    if (place.height() != kAny)
        QCOMPARE(actual.height(), place.height());
    if (place.width() != kAny)
        QCOMPARE(actual.width(), place.width());
    else // as wide as its caption: never cut
        QVERIFY(widget->width() >= widget->fontMetrics().horizontalAdvance(captionOf(widget)));

    if (fontPx) {
        QCOMPARE(widget->font().family(), Scaling::font(fontPx).family());
        QCOMPARE(widget->font().pixelSize(), fontPx);
        QCOMPARE(widget->font().bold(), bold);
    }
    if (fore.isValid())
        QCOMPARE(foreOf(widget), fore);
    if (back.isValid())
        QCOMPARE(backOf(widget), back);

    QCOMPARE(widget->isHidden(), traits.contains("hidden"));
    QCOMPARE(!widget->isEnabled(), traits.contains("disabled"));
    for (const QString &trait : traits) {
        if (trait == "bevel" || trait == "flat")
            QCOMPARE(dynamic_cast<Panel &>(*widget).raisedBevel(), trait == "bevel");
        else if (trait == "pie")
            QCOMPARE(dynamic_cast<Gauge &>(*widget).kind(), GaugeKind::Pie);
        else if (trait == "hbar")
            QCOMPARE(dynamic_cast<Gauge &>(*widget).kind(), GaugeKind::HorizontalBar);
        else if (trait == "vbar")
            QCOMPARE(dynamic_cast<Gauge &>(*widget).kind(), GaugeKind::VerticalBar);
        else if (trait == "full")
            QCOMPARE(dynamic_cast<Gauge &>(*widget).progress(), 100);
        else if (trait == "centred" || trait == "uncentred")
            QCOMPARE(dynamic_cast<ClipPlayer &>(*widget).center(), trait == "centred");
        else if (trait == "fixed")
            QVERIFY(!dynamic_cast<ClipPlayer &>(*widget).autoSize());
        else if (trait == "hand")
            QCOMPARE(widget->cursor().shape(), Qt::PointingHandCursor);
        else if (trait == "help")
            QCOMPARE(widget->cursor().shape(), Qt::WhatsThisCursor);
        else if (trait == "readonly")
            QVERIFY(dynamic_cast<MultiLineEdit &>(*widget).isReadOnly());
        else if (trait == "noframe")
            QVERIFY(!dynamic_cast<LineEdit &>(*widget).hasFrame());
        else if (trait == "middle")
            QVERIFY(dynamic_cast<QLabel &>(*widget).alignment() & Qt::AlignHCenter);
        else if (trait == "picture")
            QCOMPARE(dynamic_cast<PictureBox &>(*widget).picture().width(), widget->width());
        else if (trait == "blank")
            QVERIFY(dynamic_cast<PictureBox &>(*widget).picture().isNull());
        else if (trait == "keyed") {
            const QImage &picture = dynamic_cast<PictureBox &>(*widget).picture();
            QCOMPARE(picture.pixelColor(0, picture.height() - 1).alpha(), 0);
        } else if (trait == "right")
            QCOMPARE(actual.right(), widget->parentWidget()->width() - 1);
        else if (trait.startsWith("tab"))
            QCOMPARE(tabPlace(widget), trait.mid(3).toInt());
        else if (trait == "focus")
            QCOMPARE(widget->window()->focusWidget(), widget);
        else if (trait == "rim3")
            QCOMPARE(dynamic_cast<QMenu &>(*widget).contentsMargins(), QMargins(0, 3, 0, 3));
        else
            QVERIFY2(trait == "hidden" || trait == "disabled",
                     qPrintable("unknown trait " + trait));
    }
}

} // namespace

class TestLayouts : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        m_screens = std::make_unique<ScreenFixture>();
        for (const char *asset : {"base/image/fon.jpg", "base/video/pemik.avi",
                                  "base/video/table.avi", "base/video/copybook.avi"})
            m_screens->copyAsset(QString::fromLatin1(asset));
        m_screens->create();
    }
    void cleanupTestCase() { m_screens.reset(); }

    void menu_data()
    {
        columns();
        MenuScreen *m = menuScreen();
        row("menuScreen()", m, r(kAny, kAny, 688, 440), 17, false, {}, kBlack);
        row("loadingGauge", m->loadingGauge, r(0, 408, 688, 32), 17, false, kMaroon, kBlack,
            "hidden pie");
        row("exitButton", m->exitButton, r(384, 360, 300, 50), 40, true, kWhite, kNone, "middle");
        row("newGameButton", m->newGameButton, r(8, 296, 300, 50), 40, true, kWhite, kNone,
            "middle");
        row("aboutButton", m->aboutButton, r(384, 296, 300, 50), 40, true, kWhite, kNone, "middle");
        row("scoresButton", m->scoresButton, r(8, 360, 300, 50), 40, true, kWhite, kNone, "middle");
        row("namePrompt", m->namePrompt, r(152, 96, 393, 49), 40, true, kSilver, kNone, "middle");
        row("nameFieldFrame", m->nameFieldFrame, r(144, 144, 409, 65), 0, false, {}, kNone);
        row("namePromptFrame", m->namePromptFrame, r(144, 88, 409, 57), 0, false, {}, kNone);
        row("headline", m->headline, r(0, 0, 688, 36), 30, true, kYellow, kNone, "middle");
        row("soundSwitch", m->soundSwitch, r(656, 36, 32, 372), 0, false, {}, kNone,
            "hand right picture keyed");
        row("nameField", m->nameField, r(152, 152, 393, 49), 40, false, kWhite, kBlack,
            "noframe tab1 focus");
        row("hiddenPanel", m->hiddenPanel, r(568, 88, 97, 113), 0, false, {}, kBlack,
            "hidden flat tab2");
        row("musicPlayer", m->musicPlayer, r(4, 3, 85, 30), 0, false, {}, {}, "tab1");
        row("menuPieceButton", m->menuPieceButton, r(8, 35, 73, 22), 17, false, kWhite, kNone,
            "middle");
        row("examPieceButton", m->examPieceButton, r(8, 59, 73, 22), 17, false, kWhite, kNone,
            "middle");
    }
    void menu() { checkRow(); }

    void game_data()
    {
        columns();
        GameScreen *g = gameScreen();
        row("gameScreen()", g, r(kAny, kAny, 688, 463), 13, false, kWhite, kDesktop, "hidden");
        row("background", g->background, r(0, 0, 688, 368), 0, false, {}, kNone, "picture");
        row("bombsLabel", g->sheetLabel(Sheet::Bombs), r(8, 232, kAny, 20), 17, true, kNavy,
            kLabelBack);
        row("cribsLabel", g->sheetLabel(Sheet::Cribs), r(128, 256, kAny, 20), 17, true, kNavy,
            kLabelBack);
        row("answerSheet", g->answerSheet, r(360, 232, 209, 137), 0, false, {}, kNone, "blank");
        row("notesSheet", g->sheetPicture(Sheet::Notes), r(236, 306, 32, 32), 0, false, {}, kNone,
            "picture");
        row("statusLine", g->statusLine, r(0, 348, 633, 22), 17, true, kNavy, kNone);
        row("cribsSheet", g->sheetPicture(Sheet::Cribs), r(140, 274, 32, 32), 0, false, {}, kNone,
            "picture");
        row("bombsSheet", g->sheetPicture(Sheet::Bombs), r(20, 250, 32, 32), 0, false, {}, kNone,
            "picture");
        row("notesLabel", g->sheetLabel(Sheet::Notes), r(216, 288, kAny, 20), 17, true, kNavy,
            kLabelBack);
        row("answerSheetLabel", g->answerSheetLabel, r(376, 232, kAny, 20), 17, true, kNavy,
            kLabelBack);
        row("gaugePanel", g->gaugePanel, r(0, 368, 688, 95), 13, false, {}, kBlack, "bevel");
        row("copiedGauge", g->copiedGauge, r(272, 32, 129, 28), 13, false, kMaroon, kMediumGrey,
            "hbar");
        row("timeGauge", g->timeGauge, r(16, 24, 105, 65), 13, false, kGreen, kMediumGrey,
            "vbar full");
        row("suspicionGauge", g->suspicionGauge, r(560, 24, 105, 65), 13, false, kGreen,
            kMediumGrey, "vbar");
        row("copiedCaption", g->copiedCaption, r(272, 8, kAny, 16), 13, false, kWhite, kNone);
        row("timeCaption", g->timeCaption, r(8, 8, kAny, 16), 13, false, kWhite, kNone);
        row("suspicionCaption", g->suspicionCaption, r(552, 8, kAny, 16), 13, false, kWhite, kNone);
        row("exitButton", g->exitButton, r(136, 64, 401, 25), 17, true, kWhite, kNone);
        // Creation seats the examiner at the desk + (25, -54).
        row("examinerClip", g->examinerClip, r(9, 42, 95, 131), 0, false, {}, kRoomGreen,
            "centred fixed");
        row("copybookClip", g->copybookClip, r(400, 256, 121, 89), 0, false, {}, kCopybookBack);
        row("clipPanel", g->clipPanel, r(416, 0, 161, 33), 0, false, {}, kBlack, "hidden flat");
        row("sittingClipButton", g->sittingClipButton, r(10, 3, 23, 22), 13, false, kWhite, kNone);
        row("sittingClip2Button", g->sittingClip2Button, r(34, 3, 23, 22), 13, false, kWhite,
            kNone);
        row("goButton", g->goButton, r(58, 3, 23, 22), 13, false, kWhite, kNone);
        row("stopClipButton", g->stopClipButton, r(82, 3, 49, 22), 13, false, kWhite, kNone);
        row("deskClip", g->deskClip, r(-16, 96, 176, 93), 0, false, {}, kRoomGreen);
        row("readoutPanel", g->readoutPanel, r(360, 104, 273, 65), 13, false, {}, kBlack,
            "hidden bevel");
        row("readoutFrame", g->readoutFrame, r(8, 8, 73, 25), 0, false, {}, kNone);
        row("counterReadouts[0]", g->counterReadouts[0], r(8, 8, 23, 22), 13, false, kWhite, kNone,
            "disabled");
        row("counterReadouts[1]", g->counterReadouts[1], r(32, 8, 23, 22), 13, false, kWhite, kNone,
            "disabled");
        row("counterReadouts[2]", g->counterReadouts[2], r(56, 8, 23, 22), 13, false, kWhite, kNone,
            "disabled");
        row("counterReadouts[3]", g->counterReadouts[3], r(96, 8, 23, 22), 13, false, kWhite, kNone,
            "disabled hidden");
        row("counterReadouts[4]", g->counterReadouts[4], r(120, 8, 23, 22), 13, false, kWhite,
            kNone, "disabled");
        row("counterReadouts[5]", g->counterReadouts[5], r(144, 8, 23, 22), 13, false, kWhite,
            kNone, "disabled hidden");
        row("counterReadouts[6]", g->counterReadouts[6], r(168, 8, 23, 22), 13, false, kWhite,
            kNone, "disabled hidden");
        row("counterReadouts[7]", g->counterReadouts[7], r(192, 8, 23, 22), 13, false, kWhite,
            kNone, "disabled hidden");
        row("counterReadouts[8]", g->counterReadouts[8], r(216, 8, 23, 22), 13, false, kWhite,
            kNone, "disabled hidden");
        row("counterReadouts[9]", g->counterReadouts[9], r(240, 8, 23, 22), 13, false, kWhite,
            kNone, "disabled hidden");
        row("toolReadout", g->toolReadout, r(8, 32, 73, 22), 13, false, kWhite, kNone, "disabled");
        row("examinerStateReadout", g->examinerStateReadout, r(96, 32, 73, 22), 13, false, kWhite,
            kNone, "disabled");
        row("directionReadout", g->directionReadout, r(176, 32, 73, 22), 13, false, kWhite, kNone,
            "disabled");
        row("clockMenu", g->clockMenu, r(kAny, kAny, kAny, kAny), 0, false, {}, {}, "hidden rim3");
    }
    void game() { checkRow(); }

    void score_data()
    {
        columns();
        ScoreScreen *s = scoreScreen();
        row("scoreScreen()", s, r(kAny, kAny, 694, 440), 13, false, {}, kDesktop, "hidden");
        row("scoreList", s->scoreList, r(0, 0, 694, 345), 20, true, kWhite, kBlack, "readonly");
        row("bottomPanel", s->bottomPanel, r(0, 344, 694, 96), 13, false, {}, kDesktop, "flat");
        row("backButton", s->backButton, r(248, 16, 201, 57), 40, true, kWhite, kNone, "middle");
        row("unlockImage", s->unlockImage, r(8, 8, 81, 73), 0, false, {}, kNone, "help blank");
    }
    void score() { checkRow(); }

    void about_data()
    {
        columns();
        AboutScreen *a = aboutScreen();
        row("aboutScreen()", a, r(kAny, kAny, 613, 235), 13, false, {}, kBlack, "hidden");
        row("nicknameFrame", a->nicknameFrame, r(0, 0, 613, 177), 0, false, {}, kNone);
        row("nickname", a->nickname, r(488, 8, kAny, 37), 33, true, kYellow, kBlack, "middle");
        row("linkBar", a->linkBar, r(0, 184, 613, 51), 13, false, {}, kDesktop, "flat");
        row("siteLink", a->siteLink, r(0, 0, kAny, 51), 17, true, kMoneyGreen, kNone,
            "hand middle");
        row("mailLink", a->mailLink, r(kAny, 0, kAny, 51), 17, true, kMoneyGreen, kNone,
            "hand middle right");
        row("backLink", a->backLink, r(kAny, 0, kAny, 51), 40, true, kMoneyGreen, kNone,
            "hand middle");
    }
    void about() { checkRow(); }

    // On a screen of another DPI every screen is its 120-dpi picture scaled as a whole: the
    // background, icons, clip frames, gauges, text and the examiner out on his walk keep their
    // proportions, and nothing is cut off or drawn at its 120-dpi size. So are Qt's own error box
    // (icon, margins, text, button) and popup menu (rows, dividers, margins), within a pixel or two
    // of rounding, and the score list breaks its lines where the design breaks them.
    void wholeScreenScales_data()
    {
        QTest::addColumn<int>("screen");
        QTest::addColumn<double>("factor");
        // The design first: the other factors compare with it.
        for (double factor : {1.0, 0.8, 1.2, 1.6, 2.0})
            for (int screen = 0; screen < int(std::size(kScreenNames)); ++screen)
                QTest::addRow("%s at %g", kScreenNames[screen], factor) << screen << factor;
    }
    void wholeScreenScales()
    {
        QFETCH(int, screen);
        QFETCH(double, factor);
        if (factor != Scaling::factor()) {
            m_screens->destroy();
            Scaling::setFactor(factor);
            m_screens->create();
        }
        // Gauges with bars and text; the examiner out on his walk, 30 steps from his seat; a score
        // list whose long line wraps.
        if (gameScreen()->exam().walk().state == ExaminerWalk::State::AtDesk) {
            gameScreen()->exam().setCopied(40);
            gameScreen()->exam().setSuspicion(65);
            gameScreen()->exam().decideWalk();
            for (int i = 0; i < 30; ++i)
                gameScreen()->walkTimer->fire();
            scoreScreen()->appendLine(QStringLiteral("-----------------"));
            scoreScreen()->appendLine(QStringLiteral(
                "Студент - 40 % списано! Или = 2 баллов. Но Вы пытальсь списать! и Ваша оценка и "
                "все предыдущие = 0!"));
        }
        QWidget *const screens[] = {menuScreen(), gameScreen(), scoreScreen(), aboutScreen()};
        QWidget *shown = nullptr;
        if (screen == kErrorBox || screen == kLongErrorBox) {
            ErrorBox::show(
                screen == kErrorBox
                    ? QStringLiteral("The music file is damaged")
                    : QStringLiteral("Другая игра сейчас сохраняет очки: ваши результаты "
                                     "остались в списке и сохранятся при следующем "
                                     "«Назад»"));
            shown = shownBox();
        } else if (screen == kClockMenu) {
            gameScreen()->clockMenu->popup({});
            shown = gameScreen()->clockMenu;
        } else {
            shown = screens[screen];
        }
        QVERIFY(shown);
        if (shown == gameScreen()) { // the status line's caption whole, over the gauge panel
            QLabel *status = gameScreen()->statusLine;
            QImage ink(status->size(), QImage::Format_ARGB32_Premultiplied);
            ink.fill(Qt::transparent);
            status->render(&ink, {}, {}, QWidget::DrawChildren);
            int lowest = -1;
            for (int y = 0; y < ink.height(); ++y)
                for (int x = 0; x < ink.width(); ++x)
                    lowest = qAlpha(ink.pixel(x, y)) ? y : lowest;
            QVERIFY(lowest > 0);
            QCOMPARE_LT(status->y() + lowest, gameScreen()->gaugePanel->y());
        }
        const QImage image = look(shown);
        const auto *button = shown->findChild<QPushButton *>();
        const int buttonWidth = button ? button->width() : 0;
        ErrorBox::closeAll();
        gameScreen()->clockMenu->hide();
        const QList<int> lines = lineLengths(scoreScreen()->scoreList);
        if (factor == 1.0) {
            QCOMPARE(image.size(),
                     screen < kErrorBox ? kScreenSizes[screen] : kWindowSizes[screen - kErrorBox]);
            m_design[screen] = image;
            m_designButtonWidths[screen] = buttonWidth;
            if (button) // Qt's least width of a button with a caption, at 120 dpi
                QCOMPARE(buttonWidth, 80);
            m_designLines = lines;
            return;
        }
        const QImage &design = m_design[screen];
        const QSizeF scaled = QSizeF(design.size()) * factor;
        if (screen < kErrorBox) {
            QCOMPARE(image.size(), scaled.toSize());
        } else {
            const auto near = [](int actual, double wanted) {
                return std::abs(actual - wanted) <= 2 + 0.02 * wanted;
            };
            QVERIFY2(near(image.width(), scaled.width()) && near(image.height(), scaled.height())
                         && near(buttonWidth, m_designButtonWidths[screen] * factor),
                     qPrintable(QStringLiteral("%1 x %2, button %3")
                                    .arg(image.width())
                                    .arg(image.height())
                                    .arg(buttonWidth)));
        }
        if (screen == kScoreScreen)
            QCOMPARE(lines, m_designLines);
        const double difference = blurredDifference(image, design, design.size() / 8);

        // Qt's windows are small and mostly text, which blurs less alike.
        const double allowed = screen < kErrorBox ? 0.05 : 0.06;
        QVERIFY2(difference < allowed, qPrintable(QString::number(difference)));
    }

    // The style's sizes scale once, also those that Qt works out from others (an edit field's
    // icon from the small icons' size).
    void styleSizesScaleOnce()
    {
        const QStyle::PixelMetric metrics[] = {
            QStyle::PM_SmallIconSize, QStyle::PM_LineEditIconSize, QStyle::PM_ScrollBarExtent,
            QStyle::PM_LayoutLeftMargin};
        for (QStyle::PixelMetric metric : metrics) {
            Scaling::setFactor(1.0);
            const int design = QApplication::style()->pixelMetric(metric);
            Scaling::setFactor(2.0);
            QCOMPARE(QApplication::style()->pixelMetric(metric), 2 * design);
        }
    }

private:
    std::unique_ptr<ScreenFixture> m_screens;
    // What each screen and window shows at 120 dpi, and the lengths of the score list's lines.
    QImage m_design[std::size(kScreenNames)];
    int m_designButtonWidths[std::size(kScreenNames)] = {};
    QList<int> m_designLines;
};

QTEST_MAIN(TestLayouts)
#include "test_Layouts.moc"
