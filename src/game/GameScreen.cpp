#include "game/GameScreen.h"

#include "clip/ClipPlayer.h"
#include "formats/JpegDecoder.h"
#include "formats/Pictures.h"
#include "toolkit/AssetPath.h"
#include "toolkit/Bevel.h"
#include "toolkit/Colors.h"
#include "toolkit/FlatButton.h"
#include "toolkit/Guard.h"
#include "toolkit/Label.h"
#include "toolkit/Panel.h"
#include "toolkit/PictureBox.h"
#include "toolkit/Scaling.h"
#include "toolkit/Timer.h"
#include "widgets/Gauge.h"

#include <QApplication>
#include <QFile>
#include <QFontMetricsF>
#include <QMenu>
#include <QShortcut>

#include <algorithm>
#include <cmath>

namespace {

using namespace Colors;
using Scaling::place;

// Assets.
const QString kBackground = QStringLiteral("base\\image\\fon.jpg");
const QString kExaminerClip = QStringLiteral("base\\video\\pemik.avi");
const QString kDeskClip = QStringLiteral("base\\video\\table.avi");
const QString kCopybookClip = QStringLiteral("base\\video\\copybook.avi");
const QString kExaminerSitClip = QStringLiteral("base\\video\\pemik_sit.avi");
const QString kExaminerSit2Clip = QStringLiteral("base\\video\\pemik_sit2.avi");
// Pictures built into the layout.
const QString kBuiltinBackground = QStringLiteral(":/builtin/fon.jpg");
const QString kBuiltinSheet = QStringLiteral(":/builtin/sheet.ico");

// The background's picture area.
constexpr int kBackgroundWidth = 688;
constexpr int kBackgroundHeight = 368;

// The examiner sits this far right of and above the desk's top left corner.
constexpr int kSeatRight = 25;
constexpr int kSeatAbove = 54;

// Clock speeds: the layout's, and those of the menu, in milliseconds per tick.
constexpr int kClockMs = 500;
constexpr int kSlowClockMs = 10000;
constexpr int kFastClockMs = 100;
constexpr int kWalkMs = 100;

// The status line's text until the pointer first picks something.
const QString kStatusStart = QStringLiteral("Сейчас Вы используете - ");

// Background of the sheet labels.
const QColor kLabelBack(218, 206, 97);
// Backgrounds of the examiner's and the desk's clips, and of the copybook.
const QColor kRoomGreen(210, 238, 154);
const QColor kCopybookBack(193, 180, 89);

// Puts a label at its design place, as wide as its caption in the font it already has.
Label *placeFitted(Label *label, int left, int top, int height)
{
    label->move(Scaling::point({left, top}));
    label->resize(label->width(), Scaling::px(height));
    label->setAutoSize(true);
    return label;
}

Label *captionLabel(QWidget *parent, const QString &caption, int left, int top)
{
    auto *label = new Label(parent, caption);
    label->setBackground(kLabelBack);
    label->setFont(Scaling::font(17, true));
    label->setFontColor(kNavy);
    return placeFitted(label, left, top, 20);
}

Label *gaugeCaption(QWidget *parent, const QString &caption, int left)
{
    auto *label = placeFitted(new Label(parent, caption), left, 8, 16);
    label->setFontColor(Qt::white);
    return label;
}

PictureBox *sheetIcon(QWidget *parent, const QImage &icon, int left, int top)
{
    auto *sheet = place(new PictureBox(parent), left, top, 32, 32);
    sheet->setAutoSize(true);
    sheet->setPicture(icon);
    return sheet;
}

Gauge *makeGauge(QWidget *parent, GaugeKind kind, const QColor &bar, int left, int top, int width,
                 int height)
{
    auto *gauge = place(new Gauge(parent), left, top, width, height);
    gauge->setKind(kind);
    gauge->setBackColor(kMediumGrey);
    gauge->setForeColor(bar);
    return gauge;
}

FlatButton *readout(QWidget *parent, const QString &caption, int left, int top, int width)
{
    auto *button = place(new FlatButton(parent, caption), left, top, width, 22);
    button->setFontColor(Qt::white);
    button->setEnabled(false);
    return button;
}

FlatButton *clipButton(QWidget *parent, const QString &caption, int left, int width)
{
    auto *button = place(new FlatButton(parent, caption), left, 3, width, 22);
    button->setFontColor(Qt::white);
    return button;
}

// The built-in background: a JPEG decoded like the one on disk.
QImage builtinBackground()
{
    QFile file(kBuiltinBackground);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return JpegDecoder::decode(file.readAll());
}

QImage builtinSheet()
{
    return QFile::exists(kBuiltinSheet) ? Pictures::loadIcon(kBuiltinSheet) : QImage();
}

} // namespace

GameScreen::GameScreen()
    : Screen(QStringLiteral("Игра нового поколения! PEMy\" v 1.0.0.1 alpha"), 688, 463,
             Frame::Single, kDesktop)
{
    setFont(Scaling::font(13));
    // White text; disabled controls keep the greyed text of the disabled colour group.
    QPalette white = palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
        for (QPalette::ColorRole role :
             {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            white.setColor(group, role, Qt::white);
    setPalette(white);

    createRoom();
    // The windowed widgets are made last, so that they lie above everything drawn on the screen,
    // in the order they are made: the gauge panel, the examiner, the copybook, the clip panel, the
    // desk (above the examiner's lower body) and the read-out.
    createGaugePanel();
    createClips();
    createReadoutPanel();
    createClockMenu();

    examClock = new Timer(kClockMs, false, this);
    walkTimer = new Timer(kWalkMs, false, this);
    // F5, while this screen is the active window, is its only shortcut; every other key falls
    // through to the menu's.
    reloadKey = new QShortcut(QKeySequence(Qt::Key_F5), this);
    beep = [] { QApplication::beep(); };
    bindExam();
    connectHandlers();
}

GameScreen::~GameScreen() = default;

// The room drawn on the screen's surface; a control made later lies above one made earlier.
void GameScreen::createRoom()
{
    background = place(new PictureBox(this), 0, 0, kBackgroundWidth, kBackgroundHeight);
    background->setPicture(builtinBackground());
    // The status line lies above the answer sheet where they meet.
    answerSheet = place(new PictureBox(this), 360, 232, 209, 137);
    statusLine = place(new FlatButton(this, kStatusStart), 0, 348, 633, 22);
    statusLine->setFont(Scaling::font(17, true));
    statusLine->setFontColor(kNavy);
    createSheets();
    answerSheetLabel = captionLabel(this, QStringLiteral("Ваш научный шедевр"), 376, 232);
}

// Each sheet's label and picture; of the two, the one made later lies above where they meet.
void GameScreen::createSheets()
{
    const QImage builtin = builtinSheet();
    for (const CribSheet &row : kCribSheets) {
        Label *&label = m_sheetLabels[ordinal(row.sheet)];
        PictureBox *&picture = m_sheetPictures[ordinal(row.sheet)];
        if (row.labelOnTop)
            picture = sheetIcon(this, builtin, row.picturePlace.x(), row.picturePlace.y());
        label = captionLabel(this, row.caption.toString(), row.labelPlace.x(), row.labelPlace.y());
        if (!row.labelOnTop)
            picture = sheetIcon(this, builtin, row.picturePlace.x(), row.picturePlace.y());
    }
}

void GameScreen::createGaugePanel()
{
    gaugePanel = place(new Panel(this, Qt::black, true), 0, 368, 688, 95);
    gaugePanel->setFont(Scaling::font(13));
    copiedGauge = makeGauge(gaugePanel, GaugeKind::HorizontalBar, kMaroon, 272, 32, 129, 28);
    timeGauge = makeGauge(gaugePanel, GaugeKind::VerticalBar, kGreen, 16, 24, 105, 65);
    timeGauge->setProgress(m_exam.timeLeft());
    suspicionGauge = makeGauge(gaugePanel, GaugeKind::VerticalBar, kGreen, 560, 24, 105, 65);
    copiedCaption = gaugeCaption(gaugePanel, QStringLiteral("Процент списанного"), 272);
    timeCaption = gaugeCaption(gaugePanel, QStringLiteral("Оставшееся время"), 8);
    suspicionCaption = gaugeCaption(gaugePanel, QStringLiteral("Подозрительность"), 552);
    exitButton = place(new FlatButton(gaugePanel, QStringLiteral("Выход")), 136, 64, 401, 25);
    exitButton->setFont(Scaling::font(17, true));
    exitButton->setFontColor(Qt::white);
    liftStatusLine();
}

// The gauge panel lies over the status line's foot, and the design's captions end just above it. At
// another size the rounding of the line's place and of the font's height can carry a descender
// under the panel: the line then rises by as many pixels. Its caption is centred as Qt centres one
// line: the baseline on the pixel nearest to the line's middle less half the font's height, plus
// its ascent.
void GameScreen::liftStatusLine()
{
    const QFontMetricsF metrics(statusLine->font());
    double descender = metrics.tightBoundingRect(kStatusStart).bottom();
    for (const CribSheet &row : kCribSheets)
        descender = std::max(descender, metrics.tightBoundingRect(row.status.toString()).bottom());
    const int baseline = int(std::lround(
        statusLine->y() + (statusLine->height() - metrics.ascent() - metrics.descent()) / 2
        + metrics.ascent()));
    const int under = baseline + int(std::ceil(descender)) - gaugePanel->y();
    if (under > 0)
        statusLine->move(statusLine->x(), statusLine->y() - under);
}

void GameScreen::createClips()
{
    examinerClip = place(new ClipPlayer(this), 10, 32, 95, 131);
    examinerClip->setAutoSize(false);
    examinerClip->setCenter(true);
    examinerClip->setColor(kRoomGreen);
    copybookClip = place(new ClipPlayer(this), 400, 256, 121, 89);
    copybookClip->setColor(kCopybookBack);
    createClipPanel();
    deskClip = place(new ClipPlayer(this), -16, 96, 176, 93);
    deskClip->setColor(kRoomGreen);
}

void GameScreen::createClipPanel()
{
    clipPanel = place(new Panel(this, Qt::black, false), 416, 0, 161, 33);
    clipPanel->hide();
    sittingClipButton = clipButton(clipPanel, QStringLiteral("f1"), 10, 23);
    sittingClip2Button = clipButton(clipPanel, QStringLiteral("f2"), 34, 23);
    goButton = clipButton(clipPanel, QStringLiteral("go"), 58, 23);
    stopClipButton = clipButton(clipPanel, QStringLiteral("af"), 82, 49);
}

void GameScreen::createReadoutPanel()
{
    readoutPanel = place(new Panel(this, Qt::black, true), 360, 104, 273, 65);
    readoutPanel->hide();
    // The frame comes first, so the buttons it surrounds lie above it.
    readoutFrame = place(new Bevel(readoutPanel), 8, 8, 73, 25);
    // Three counters in the frame, then seven beyond it, of which only the second shows.
    constexpr int kLefts[] = {8, 32, 56, 96, 120, 144, 168, 192, 216, 240};
    for (int i = 0; i < int(counterReadouts.size()); ++i) {
        counterReadouts[i] = readout(readoutPanel, QString::number(i), kLefts[i], 8, 23);
        if (i >= 3 && i != 4)
            counterReadouts[i]->hide();
    }
    toolReadout = readout(readoutPanel, QStringLiteral("free"), 8, 32, 73);
    examinerStateReadout = readout(readoutPanel, QStringLiteral("PemX = 0"), 96, 32, 73);
    directionReadout = readout(readoutPanel, QStringLiteral("Pem_LR = 0"), 176, 32, 73);
}

void GameScreen::createClockMenu()
{
    clockMenu = new QMenu(this);
    // The dividers at the top and the bottom are part of the menu's look; the margins keep them
    // apart from the menu's frame, where the toolkit would draw them over it.
    clockMenu->setSeparatorsCollapsible(false);
    clockMenu->setContentsMargins(0, Scaling::px(3), 0, Scaling::px(3));
    clockMenuDividers[0] = clockMenu->addSeparator();
    slowClockAction = clockMenu->addAction(QStringLiteral("Замедлить время"));
    fastClockAction = clockMenu->addAction(QStringLiteral("Ускорить время"));
    clockMenuDividers[1] = clockMenu->addSeparator();
    showHiddenAction = clockMenu->addAction(QStringLiteral("Показать невидимое"));
    clockMenuDividers[2] = clockMenu->addSeparator();
    timeGauge->setPopupMenu(clockMenu);
}

// Every entry point, each through the guard.
void GameScreen::connectHandlers()
{
    connectGuarded(slowClockAction, &QAction::triggered, this, &GameScreen::onSlowClockTriggered);
    connectGuarded(fastClockAction, &QAction::triggered, this, &GameScreen::onFastClockTriggered);
    connectGuarded(showHiddenAction, &QAction::triggered, this, &GameScreen::onShowHiddenTriggered);
    connectGuarded(reloadKey, &QShortcut::activated, this, &GameScreen::reloadBackground);

    // The clock and the pointer's moves over the room go to the exam.
    connectGuarded(examClock, &Timer::timeout, &m_exam, &Exam::tick);
    connectGuarded(walkTimer, &Timer::timeout, this, &GameScreen::onWalkTick);
    connectGuarded(background->pointer(), &Pointer::hovered, &m_exam, &Exam::hoverBackground);
    connectGuarded(answerSheet->pointer(), &Pointer::hovered, &m_exam, &Exam::hoverAnswerSheet);
    for (Sheet sheet : kSheets) {
        connectGuarded(sheetPicture(sheet)->pointer(), &Pointer::hovered, &m_exam,
                       &Exam::hoverSheet, sheet);
        connectGuarded(sheetLabel(sheet)->pointer(), &Pointer::hovered, &m_exam,
                       &Exam::hoverSheetLabel, sheet);
    }
    connectGuarded(answerSheetLabel->pointer(), &Pointer::hovered, &m_exam,
                   &Exam::hoverAnswerSheetLabel);
    connectGuarded(gaugePanel->pointer(), &Pointer::hovered, this,
                   &GameScreen::onGaugePanelHovered);
    connectGuarded(exitButton->pointer(), &Pointer::hovered, this, &GameScreen::onExitHovered);
    connectGuarded(exitButton->pointer(), &Pointer::clicked, this, &GameScreen::onExitClicked);
    connectGuarded(readoutPanel->pointer(), &Pointer::hovered, this, &GameScreen::onReadoutHovered);
    connectGuarded(readoutPanel->pointer(), &Pointer::clicked, this, &GameScreen::onReadoutClicked);
    connectGuarded(sittingClipButton->pointer(), &Pointer::clicked, this,
                   &GameScreen::onSittingClipClicked);
    connectGuarded(sittingClip2Button->pointer(), &Pointer::clicked, this,
                   &GameScreen::onSittingClip2Clicked);
    connectGuarded(stopClipButton->pointer(), &Pointer::clicked, this,
                   &GameScreen::onStopClipClicked);
}

// What the exam emits, each to what shows it. The connections are direct: an error raised while
// showing ends the exam's tick or intent where it was raised.
void GameScreen::bindExam()
{
    connect(&m_exam, &Exam::timeLeftChanged, timeGauge, &Gauge::setProgress);
    connect(&m_exam, &Exam::copiedChanged, copiedGauge, &Gauge::setProgress);
    connect(&m_exam, &Exam::suspicionChanged, suspicionGauge, &Gauge::setProgress);
    connect(&m_exam, &Exam::timeColourChanged, timeGauge, &Gauge::setForeColor);
    connect(&m_exam, &Exam::beeped, this, &GameScreen::onBeeped);
    connect(&m_exam, &Exam::runningChanged, examClock, &Timer::setEnabled);
    connect(&m_exam, &Exam::statusChanged, statusLine, &FlatButton::setCaption);
    connect(&m_exam, &Exam::sheetLabelLit, this, &GameScreen::lightSheetLabel);
    connect(&m_exam, &Exam::answerSheetLabelLit, this, &GameScreen::lightAnswerSheetLabel);
    connect(&m_exam, &Exam::labelsDimmed, this, &GameScreen::dimLabels);
    connect(&m_exam, &Exam::copybookPlaying, copybookClip, &ClipPlayer::setActive);
    connect(&m_exam, &Exam::iconFrame, this, &GameScreen::showIconFrame);
    connect(&m_exam, &Exam::walkingChanged, walkTimer, &Timer::setEnabled);
    connect(&m_exam, &Exam::examinerMoved, this, &GameScreen::showExaminerAt);
    connect(&m_exam, &Exam::ticked, this, &GameScreen::updateReadout);
    connect(&m_exam, &Exam::finished, this, &GameScreen::examFinished);
}

// ---- Creation, F5 and exit ----

void GameScreen::loadBackground()
{
    if (AssetPath::exists(kBackground))
        // Drawn at its own size from its top left corner: what lies beyond the picture area is
        // never decoded.
        background->setPicture(JpegDecoder::decodeFile(AssetPath::resolve(kBackground),
                                                       QSize(kBackgroundWidth, kBackgroundHeight)));
}

void GameScreen::startClipIfExists(ClipPlayer *clip, const QString &gamePath)
{
    if (!AssetPath::exists(gamePath))
        return;
    clip->setFileName(gamePath);
    clip->setActive(true);
}

void GameScreen::loadFiles()
{
    loadBackground();
    startClipIfExists(examinerClip, kExaminerClip);
    startClipIfExists(deskClip, kDeskClip);
    startClipIfExists(copybookClip, kCopybookClip);
    // From the desk's run-time place: the seat follows a moved desk.
    const QRect desk = Scaling::designRect(deskClip->geometry());
    const QPoint seat(desk.x() + kSeatRight, desk.y() - kSeatAbove);
    m_exam.seatExaminer(QRect(seat, Scaling::designRect(examinerClip->geometry()).size()));
    examinerClip->move(Scaling::point(seat));
}

void GameScreen::startExam()
{
    m_exam.start();
    showScreen();
}

void GameScreen::showReadout()
{
    readoutPanel->show();
}

void GameScreen::enterLordlyMode(const QString &title)
{
    setWindowTitle(title);
    exitButton->setCaption(QStringLiteral("Всё, что пожелаете Милорд!"));
}

void GameScreen::reloadBackground()
{
    loadBackground();
}

void GameScreen::onExitClicked()
{
    emit quitRequested();
}

void GameScreen::onExitHovered()
{
    exitButton->setFontColor(kSkyBlue);
}

void GameScreen::onGaugePanelHovered()
{
    exitButton->setFontColor(Qt::white);
}

// ---- The exam shown ----

void GameScreen::onBeeped()
{
    if (beep)
        beep();
}

void GameScreen::onSlowClockTriggered()
{
    examClock->setInterval(kSlowClockMs);
}

void GameScreen::onFastClockTriggered()
{
    examClock->setInterval(kFastClockMs);
}

void GameScreen::lightSheetLabel(Sheet sheet)
{
    sheetLabel(sheet)->setFontColor(kRed);
}

void GameScreen::lightAnswerSheetLabel()
{
    answerSheetLabel->setFontColor(kRed);
}

void GameScreen::dimLabels()
{
    for (Label *label : m_sheetLabels)
        label->setFontColor(kNavy);
    answerSheetLabel->setFontColor(kNavy);
}

void GameScreen::showIconFrame(Sheet sheet, int frame)
{
    const QString path = cribSheet(sheet).frames.toString().arg(frame);
    if (AssetPath::exists(path))
        sheetPicture(sheet)->setPicture(Pictures::loadIcon(AssetPath::resolve(path)));
}

// The walk runs in the layout's pixels on the clips' current places, taken before each step, so
// that a moved desk moves its bounds; the examiner's clip then shows his new place scaled.
void GameScreen::onWalkTick()
{
    const QRect examiner = m_exam.walk().examiner;
    m_exam.walkTick(QRect(Scaling::designPoint(examinerClip->pos(), examiner.topLeft()),
                          Scaling::designRect(examinerClip->geometry()).size()),
                    Scaling::designRect(deskClip->geometry()));
}

void GameScreen::showExaminerAt(const QPoint &topLeft)
{
    const QPoint drawnAt = Scaling::point(topLeft);
    if (examinerClip->pos() != drawnAt)
        examinerClip->move(drawnAt);
}

// ---- Inspection panels ----

void GameScreen::onShowHiddenTriggered()
{
    clipPanel->show();
    readoutPanel->show();
}

void GameScreen::onReadoutClicked()
{
    readoutPanel->hide();
}

void GameScreen::onReadoutHovered()
{
    updateReadout();
}

void GameScreen::updateReadout()
{
    if (readoutPanel->isHidden())
        return;
    // Each sheet's counter in its row's slot; the other buttons read 0.
    std::array<int, std::tuple_size_v<decltype(counterReadouts)>> counters{};
    for (const CribSheet &row : kCribSheets)
        counters[size_t(row.readoutSlot)] = m_exam.state().icon(row.sheet).counter();
    for (size_t i = 0; i < counterReadouts.size(); ++i)
        counterReadouts[i]->setCaption(QString::number(counters[i]));
    toolReadout->setCaption(QStringLiteral("Free = %1").arg(int(m_exam.state().tool)));
    examinerStateReadout->setCaption(QStringLiteral("PemX = %1").arg(int(m_exam.walk().state)));
    directionReadout->setCaption(QStringLiteral("Pem_LR = %1").arg(int(m_exam.walk().direction)));
}

void GameScreen::onSittingClipClicked()
{
    examinerClip->setFileName(kExaminerSitClip);
    examinerClip->setActive(true);
}

void GameScreen::onSittingClip2Clicked()
{
    examinerClip->setFileName(kExaminerSit2Clip);
    examinerClip->setActive(true);
}

void GameScreen::onStopClipClicked()
{
    examinerClip->setActive(false);
}
