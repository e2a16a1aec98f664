#include "game/GameScreen.h"

#include "clip/TAnimate.h"
#include "formats/JpegDecoder.h"
#include "formats/Pictures.h"
#include "game/ExamClock.h"
#include "game/ExamRates.h"
#include "game/ExaminerWalk.h"
#include "game/IconCycle.h"
#include "toolkit/AssetPath.h"
#include "toolkit/Colors.h"
#include "toolkit/Scaling.h"
#include "toolkit/TBevel.h"
#include "toolkit/TFlatButton.h"
#include "toolkit/TImage.h"
#include "toolkit/TLabel.h"
#include "toolkit/TPanel.h"
#include "toolkit/Timer.h"
#include "widgets/TGauge.h"

#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QShortcut>

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

// The picture area of `fon`.
constexpr int kFonWidth = 688;
constexpr int kFonHeight = 368;

// The examiner sits this far right of and above the desk's top left corner.
constexpr int kSeatRight = 25;
constexpr int kSeatAbove = 54;

// Clock speeds of the popup menu, in milliseconds per tick.
constexpr int kSlowClockMs = 10000;
constexpr int kFastClockMs = 100;

// Values of the tool in use (the tag of `free`); 4 never occurs.
constexpr int kToolNothing = 0;
constexpr int kToolNotes = 1;
constexpr int kToolBombs = 2;
constexpr int kToolCribs = 3;
constexpr int kToolSuspicious = 5;
// The notes counter: held by the label "Бомбы", released onto the fourth frame by the others.
constexpr int kNotesHeld = 5;
constexpr int kNotesReleased = 3;

// Status line texts.
const QString kStatusSuspicious =
    QStringLiteral("Сейчас Вы ни чего не используете, но как-то подозрительно выглядите!");
const QString kStatusNothing = QStringLiteral("Сейчас Вы ни чего не используете");
const QString kStatusNotes = QStringLiteral("Сейчас Вы используете - конспект");
const QString kStatusBombs = QStringLiteral("Сейчас Вы используете - бомбы");
const QString kStatusCribs = QStringLiteral("Сейчас Вы используете - шпоры");

// Background of the sheet labels.
const QColor kLabelBack(218, 206, 97);
// Backgrounds of the examiner's and the desk's clips, and of the copybook.
const QColor kRoomGreen(210, 238, 154);
const QColor kCopybookBack(193, 180, 89);

// Puts a label at its design place, as wide as its caption in the font it already has.
TLabel *placeFitted(TLabel *label, int left, int top, int height)
{
    label->move(Scaling::point({left, top}));
    label->resize(label->width(), Scaling::px(height));
    label->setAutoSize(true);
    return label;
}

TLabel *sheetLabel(QWidget *parent, const QString &caption, int left, int top)
{
    auto *label = new TLabel(parent, caption);
    label->setBackground(kLabelBack);
    label->setFont(Scaling::font(17, true));
    label->setFontColor(kNavy);
    return placeFitted(label, left, top, 20);
}

TImage *sheetIcon(QWidget *parent, const QImage &icon, int left, int top)
{
    auto *sheet = place(new TImage(parent), left, top, 32, 32);
    sheet->setAutoSize(true);
    sheet->setPicture(icon);
    return sheet;
}

TFlatButton *readout(QWidget *parent, const QString &caption, int left, int top, int width)
{
    auto *button = place(new TFlatButton(parent, caption), left, top, width, 22);
    button->setFontColor(Qt::white);
    button->setEnabled(false);
    return button;
}

TFlatButton *clipButton(QWidget *parent, const QString &caption, int left, int width)
{
    auto *button = place(new TFlatButton(parent, caption), left, 3, width, 22);
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
    : Screen(QStringLiteral("Игра нового поколения! PEMy\" v 1.0.0.1 alpha"), 688, 463, Frame::Single,
             kDesktop)
{
    setFont(Scaling::font(13));
    // White text; disabled controls keep the greyed text of the disabled colour group.
    QPalette white = palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
        for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            white.setColor(group, role, Qt::white);
    setPalette(white);

    fon = place(new TImage(this), 0, 0, kFonWidth, kFonHeight);
    fon->setPicture(builtinBackground());
    BombaL = sheetLabel(this, QStringLiteral("Бомбы"), 8, 232);
    SporaL = sheetLabel(this, QStringLiteral("Шпоры"), 128, 256);
    free = place(new TImage(this), 360, 232, 209, 137);
    const QImage sheet = builtinSheet();
    q1 = sheetIcon(this, sheet, 236, 306);
    info = place(new TFlatButton(this, QStringLiteral("Сейчас Вы используете - ")), 0, 348, 633, 22);
    info->setFont(Scaling::font(17, true));
    info->setFontColor(kNavy);
    q3 = sheetIcon(this, sheet, 140, 274);
    q2 = sheetIcon(this, sheet, 20, 250);
    KonspektL = sheetLabel(this, QStringLiteral("Конспект"), 216, 288);
    shedevr = sheetLabel(this, QStringLiteral("Ваш научный шедевр"), 376, 232);

    // The windowed widgets are made last, so that they lie above everything drawn on the screen, in
    // the order they are made: Panel1, pema, cba, ppp, table, bfg.
    Panel1 = place(new TPanel(this, Qt::black, true), 0, 368, 688, 95);
    Panel1->setFont(Scaling::font(13));
    process = place(new TGauge(Panel1), 272, 32, 129, 28);
    process->setBackColor(kMediumGrey);
    process->setForeColor(kMaroon);
    time = place(new TGauge(Panel1), 16, 24, 105, 65);
    time->setKind(gkVerticalBar);
    time->setBackColor(kMediumGrey);
    time->setForeColor(kGreen);
    time->setProgress(100);
    zopa = place(new TGauge(Panel1), 560, 24, 105, 65);
    zopa->setKind(gkVerticalBar);
    zopa->setBackColor(kMediumGrey);
    zopa->setForeColor(kGreen);
    Label1 = placeFitted(new TLabel(Panel1, QStringLiteral("Процент списанного")), 272, 8, 16);
    Label2 = placeFitted(new TLabel(Panel1, QStringLiteral("Оставшееся время")), 8, 8, 16);
    Label3 = placeFitted(new TLabel(Panel1, QStringLiteral("Подозрительность")), 552, 8, 16);
    for (TLabel *label : {Label1, Label2, Label3})
        label->setFontColor(Qt::white);
    exit = place(new TFlatButton(Panel1, QStringLiteral("Выход")), 136, 64, 401, 25);
    exit->setFont(Scaling::font(17, true));
    exit->setFontColor(Qt::white);

    pema = place(new TAnimate(this), 10, 32, 95, 131);
    pema->setAutoSize(false);
    pema->setCenter(true);
    pema->setColor(kRoomGreen);
    cba = place(new TAnimate(this), 400, 256, 121, 89);
    cba->setColor(kCopybookBack);

    ppp = place(new TPanel(this, Qt::black, false), 416, 0, 161, 33);
    ppp->hide();
    f1 = clipButton(ppp, QStringLiteral("f1"), 10, 23);
    f2 = clipButton(ppp, QStringLiteral("f2"), 34, 23);
    gopem = clipButton(ppp, QStringLiteral("go"), 58, 23);
    af = clipButton(ppp, QStringLiteral("af"), 82, 49);

    table = place(new TAnimate(this), -16, 96, 176, 93);
    table->setColor(kRoomGreen);

    bfg = place(new TPanel(this, Qt::black, true), 360, 104, 273, 65);
    bfg->hide();
    // The frame comes first, so the buttons it surrounds lie above it.
    Bevel1 = place(new TBevel(bfg), 8, 8, 73, 25);
    zok = readout(bfg, QStringLiteral("0"), 8, 8, 23);
    zok1 = readout(bfg, QStringLiteral("1"), 32, 8, 23);
    zok2 = readout(bfg, QStringLiteral("2"), 56, 8, 23);
    zok3 = readout(bfg, QStringLiteral("3"), 96, 8, 23);
    zok4 = readout(bfg, QStringLiteral("4"), 120, 8, 23);
    zok5 = readout(bfg, QStringLiteral("5"), 144, 8, 23);
    zok6 = readout(bfg, QStringLiteral("6"), 168, 8, 23);
    zok7 = readout(bfg, QStringLiteral("7"), 192, 8, 23);
    zok8 = readout(bfg, QStringLiteral("8"), 216, 8, 23);
    zok9 = readout(bfg, QStringLiteral("9"), 240, 8, 23);
    for (TFlatButton *hidden : {zok3, zok5, zok6, zok7, zok8, zok9})
        hidden->hide();
    free_vis = readout(bfg, QStringLiteral("free"), 8, 32, 73);
    PemX = readout(bfg, QStringLiteral("PemX = 0"), 96, 32, 73);
    Pem_LR = readout(bfg, QStringLiteral("Pem_LR = 0"), 176, 32, 73);

    timet = new Timer(500, false, this);
    xxx = new Timer(100, false, this);

    al1.add(QStringLiteral("win"), [this] { winExecute(); });
    al1.add(QStringLiteral("timea"), [this] { timeaExecute(); });
    al1.add(QStringLiteral("refresh"), [this] { refreshExecute(); });
    al1.add(QString(38, u'i'));
    al1.add(QStringLiteral("SPX"), [this] { SPXExecute(); });
    al1.add(QStringLiteral("RPX"), [this] { RPXExecute(); });
    al1.add(QString(39, u'i'));
    al1.add(QStringLiteral("kon"), [this] { konExecute(); });
    al1.add(QStringLiteral("spo"), [this] { spoExecute(); });
    al1.add(QStringLiteral("bom"), [this] { bomExecute(); });
    al1.add(QString(40, u'i'));
    al1.add(QStringLiteral("Tag_Panel"), [this] { Tag_PanelExecute(); });
    al1.add(QString(37, u'i'));
    al1.add(QStringLiteral("Pemil_Gowing"), [this] { Pemil_GowingExecute(); });

    pemik.add(QStringLiteral("Pem_Left"), [this] { Pem_LeftExecute(); });
    pemik.add(QStringLiteral("Pem_Top"), [this] { Pem_TopExecute(); });
    pemik.add(QStringLiteral("Pem_Go"), [this] { Pem_GoExecute(); });
    pemik.add(QStringLiteral("Pem_Return"), [this] { Pem_ReturnExecute(); });

    m_clockSteps = {&action(QStringLiteral("Pemil_Gowing")), &action(QStringLiteral("SPX")),
                    &action(QStringLiteral("RPX")),          &action(QStringLiteral("timea")),
                    &action(QStringLiteral("kon")),          &action(QStringLiteral("spo")),
                    &action(QStringLiteral("bom")),          &action(QStringLiteral("Tag_Panel"))};
    m_walkSteps = {&action(QStringLiteral("Pem_Left")), &action(QStringLiteral("Pem_Top")),
                   &action(QStringLiteral("Pem_Go")), &action(QStringLiteral("Pem_Return"))};
    m_win = &action(QStringLiteral("win"));
    m_refresh = &action(QStringLiteral("refresh"));
    m_tagPanel = &action(QStringLiteral("Tag_Panel"));

    PopupMenu1 = new QMenu(this);
    // The dividers at the top and the bottom are part of the menu's look; the margins keep them
    // apart from the menu's frame, where the toolkit would draw them over it.
    PopupMenu1->setSeparatorsCollapsible(false);
    PopupMenu1->setContentsMargins(0, 3, 0, 3);
    N2 = PopupMenu1->addSeparator();
    N1 = PopupMenu1->addAction(QStringLiteral("Замедлить время"));
    kvik1 = PopupMenu1->addAction(QStringLiteral("Ускорить время"));
    N3 = PopupMenu1->addSeparator();
    ppuu = PopupMenu1->addAction(QStringLiteral("Показать невидимое"));
    N4 = PopupMenu1->addSeparator();
    time->setPopupMenu(PopupMenu1);
    connect(N1, &QAction::triggered, this, [this] { guarded([this] { N1Click(); }); });
    connect(kvik1, &QAction::triggered, this, [this] { guarded([this] { kvik1Click(); }); });
    connect(ppuu, &QAction::triggered, this, [this] { guarded([this] { ppuuClick(); }); });

    // F5, while this screen is the active window, is its only shortcut; every other key falls through
    // to the menu's.
    refreshKey = new QShortcut(QKeySequence(Qt::Key_F5), this);
    connect(refreshKey, &QShortcut::activated, this,
            [this] { guarded([this] { m_refresh->execute(); }); });

    beep = [] { QApplication::beep(); };

    timet->onTimer = [this] { timetTimer(); };
    xxx->onTimer = [this] { xxxTimer(); };
    fon->onMouseMove = [this] { fonMouseMove(); };
    free->onMouseMove = [this] { freeMouseMove(); };
    q1->onMouseMove = [this] { q1MouseMove(); };
    q2->onMouseMove = [this] { q2MouseMove(); };
    q3->onMouseMove = [this] { q3MouseMove(); };
    BombaL->onMouseMove = [this] { BombaLMouseMove(); };
    SporaL->onMouseMove = [this] { SporaLMouseMove(); };
    KonspektL->onMouseMove = [this] { SporaLMouseMove(); };
    shedevr->onMouseMove = [this] { SporaLMouseMove(); };
    Panel1->onMouseMove = [this] { Panel1MouseMove(); };
    exit->onMouseMove = [this] { exitMouseMove(); };
    exit->onClick = [this] { exitClick(); };
    bfg->onMouseMove = [this] { bfgMouseMove(); };
    bfg->onClick = [this] { bfgClick(); };
    f1->onClick = [this] { f1Click(); };
    f2->onClick = [this] { f2Click(); };
    af->onClick = [this] { afClick(); };
}

GameScreen::~GameScreen() = default;

const Action &GameScreen::action(const QString &name) const
{
    if (const Action *found = al1.find(name))
        return *found;
    return pemik.at(name);
}

void GameScreen::execute(const QString &name) const
{
    action(name).execute();
}

// ---- Creation, F5 and exit ----

void GameScreen::loadBackground()
{
    if (AssetPath::exists(kBackground))
        // Drawn at its own size from its top left corner: what lies beyond the picture area is never
        // decoded.
        fon->setPicture(
            JpegDecoder::decodeFile(AssetPath::resolve(kBackground), QSize(kFonWidth, kFonHeight)));
}

void GameScreen::startClipIfExists(TAnimate *clip, const QString &gamePath)
{
    if (!AssetPath::exists(gamePath))
        return;
    clip->setFileName(gamePath);
    clip->setActive(true);
}

void GameScreen::loadFiles()
{
    loadBackground();
    startClipIfExists(pema, kExaminerClip);
    startClipIfExists(table, kDeskClip);
    startClipIfExists(cba, kCopybookClip);
    // From the desk's run-time place: the seat follows a moved desk.
    const QRect desk = Scaling::designRect(table->geometry());
    m_examinerPlace = QPoint(desk.x() + kSeatRight, desk.y() - kSeatAbove);
    pema->move(Scaling::point(m_examinerPlace));
    home_top = m_examinerPlace.y();
    home_left = m_examinerPlace.x();
}

void GameScreen::startExam()
{
    process->setProgress(0);
    time->setProgress(100);
    zopa->setProgress(0);
    timet->setEnabled(true);
    showScreen();
}

void GameScreen::showReadout()
{
    bfg->show();
}

void GameScreen::enterLordlyMode(const QString &title)
{
    setWindowTitle(title);
    exit->setCaption(QStringLiteral("Всё, что пожелаете Милорд!"));
}

void GameScreen::refreshExecute()
{
    loadBackground();
}

void GameScreen::exitClick()
{
    emit quitRequested();
}

void GameScreen::exitMouseMove()
{
    exit->setFontColor(kSkyBlue);
}

void GameScreen::Panel1MouseMove()
{
    exit->setFontColor(Qt::white);
}

// ---- Exam clock ----

void GameScreen::timetTimer()
{
    for (const Action *step : m_clockSteps)
        step->execute();
}

void GameScreen::timeaExecute()
{
    const int p = time->progress();
    if (ExamClock::beeps(p) && beep)
        beep();
    if (const std::optional<QColor> colour = ExamClock::barColour(p))
        time->setForeColor(*colour);
    if (p == 0)
        m_win->execute();
    time->setProgress(p - 1);
}

void GameScreen::N1Click()
{
    timet->setInterval(kSlowClockMs);
}

void GameScreen::kvik1Click()
{
    timet->setInterval(kFastClockMs);
}

// ---- Suspicion and copying ----

void GameScreen::SPXExecute()
{
    if (zopa->progress() == 100)
        m_win->execute();
    zopa->setProgress(zopa->progress() + ExamRates::suspicionChange(PemX->tag, free->tag));
}

void GameScreen::RPXExecute()
{
    if (process->progress() == 100)
        m_win->execute();
    cba->setActive(q1->tag == 1 || q2->tag == 1 || q3->tag == 1);
    int gain = 0;
    if (q1->tag == 1)
        gain += ExamRates::copyGain(PemX->tag, ExamRates::Notes);
    if (q2->tag == 1)
        gain += ExamRates::copyGain(PemX->tag, ExamRates::Bombs);
    if (q3->tag == 1)
        gain += ExamRates::copyGain(PemX->tag, ExamRates::Cribs);
    process->setProgress(process->progress() + gain);
}

// ---- End of an exam ----

void GameScreen::winExecute()
{
    timet->setEnabled(false);
    cba->setActive(false);
    emit examFinished(process->progress(), zopa->progress() == 100);
}

// ---- Tool selection by pointer ----

void GameScreen::fonMouseMove()
{
    info->setCaption(kStatusSuspicious);
    q1->tag = 0;
    q2->tag = 0;
    q3->tag = 0;
    free->tag = kToolSuspicious;
    for (TLabel *label : {BombaL, SporaL, KonspektL, shedevr})
        label->setFontColor(kNavy);
}

void GameScreen::freeMouseMove()
{
    info->setCaption(kStatusNothing);
    q1->tag = 0;
    q2->tag = 0;
    q3->tag = 0;
    free->tag = kToolNothing;
    shedevr->setFontColor(kRed);
}

void GameScreen::q1MouseMove()
{
    info->setCaption(kStatusNotes);
    q1->tag = 1;
    free->tag = kToolNotes;
    KonspektL->setFontColor(kRed);
}

void GameScreen::q2MouseMove()
{
    info->setCaption(kStatusBombs);
    q2->tag = 1;
    free->tag = kToolBombs;
    BombaL->setFontColor(kRed);
}

void GameScreen::q3MouseMove()
{
    info->setCaption(kStatusCribs);
    q3->tag = 1;
    free->tag = kToolCribs;
    SporaL->setFontColor(kRed);
}

void GameScreen::BombaLMouseMove()
{
    info->setCaption(kStatusBombs);
    q2->tag = 1;
    zok->tag = kNotesHeld;
}

void GameScreen::SporaLMouseMove()
{
    info->setCaption(kStatusCribs);
    q3->tag = 1;
    zok->tag = kNotesReleased;
}

// ---- Icon cycles ----

void GameScreen::cycleIcon(TImage *sheet, TFlatButton *counter)
{
    if (sheet->tag != 1)
        return;
    const int frame = IconCycle::advance(counter->tag);
    if (frame == 0)
        return;
    const QString path = IconCycle::framePath(frame);
    if (AssetPath::exists(path))
        sheet->setPicture(Pictures::loadIcon(AssetPath::resolve(path)));
}

void GameScreen::konExecute()
{
    cycleIcon(q1, zok);
}

void GameScreen::spoExecute()
{
    cycleIcon(q3, zok2);
}

void GameScreen::bomExecute()
{
    cycleIcon(q2, zok1);
}

// ---- Examiner walk ----

ExaminerWalk GameScreen::walk() const
{
    ExaminerWalk walk;
    walk.examiner = QRect(Scaling::designPoint(pema->pos(), m_examinerPlace),
                          Scaling::designRect(pema->geometry()).size());
    walk.desk = Scaling::designRect(table->geometry());
    walk.home = QPoint(home_left, home_top);
    walk.state = PemX->tag;
    walk.direction = Pem_LR->tag;
    walk.walking = xxx->enabled();
    return walk;
}

void GameScreen::apply(const ExaminerWalk &walk)
{
    PemX->tag = walk.state;
    Pem_LR->tag = walk.direction;
    m_examinerPlace = walk.examiner.topLeft();
    if (pema->pos() != Scaling::point(m_examinerPlace))
        pema->move(Scaling::point(m_examinerPlace));
    xxx->setEnabled(walk.walking);
}

void GameScreen::Pemil_GowingExecute()
{
    ExaminerWalk step = walk();
    step.decide(zopa->progress());
    apply(step);
}

void GameScreen::xxxTimer()
{
    for (const Action *step : m_walkSteps)
        step->execute();
}

void GameScreen::Pem_LeftExecute()
{
    ExaminerWalk step = walk();
    step.stepLeave();
    apply(step);
}

void GameScreen::Pem_TopExecute()
{
    ExaminerWalk step = walk();
    step.stepDown();
    apply(step);
}

void GameScreen::Pem_GoExecute()
{
    ExaminerWalk step = walk();
    step.patrol();
    apply(step);
}

void GameScreen::Pem_ReturnExecute()
{
    ExaminerWalk step = walk();
    step.returnHome();
    apply(step);
}

// ---- Inspection panels ----

void GameScreen::ppuuClick()
{
    ppp->show();
    bfg->show();
}

void GameScreen::bfgClick()
{
    bfg->hide();
}

void GameScreen::bfgMouseMove()
{
    m_tagPanel->execute();
}

void GameScreen::Tag_PanelExecute()
{
    if (bfg->isHidden())
        return;
    for (TFlatButton *counter : {zok, zok1, zok2, zok3, zok4, zok5, zok6, zok7, zok8, zok9})
        counter->setCaption(QString::number(counter->tag));
    free_vis->setCaption(QStringLiteral("Free = %1").arg(free->tag));
    PemX->setCaption(QStringLiteral("PemX = %1").arg(PemX->tag));
    Pem_LR->setCaption(QStringLiteral("Pem_LR = %1").arg(Pem_LR->tag));
}

void GameScreen::f1Click()
{
    pema->setFileName(kExaminerSitClip);
    pema->setActive(true);
}

void GameScreen::f2Click()
{
    pema->setFileName(kExaminerSit2Clip);
    pema->setActive(true);
}

void GameScreen::afClick()
{
    pema->setActive(false);
}
