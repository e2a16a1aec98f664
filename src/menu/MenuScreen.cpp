#include "menu/MenuScreen.h"

#include "formats/GameError.h"
#include "formats/Pictures.h"
#include "menu/MenuPulse.h"
#include "music/Music.h"
#include "music/TMediaPlayer.h"
#include "toolkit/AssetPath.h"
#include "toolkit/Colors.h"
#include "toolkit/Scaling.h"
#include "toolkit/TBevel.h"
#include "toolkit/TEdit.h"
#include "toolkit/TFlatButton.h"
#include "toolkit/TImage.h"
#include "toolkit/TLabel.h"
#include "toolkit/TPanel.h"
#include "toolkit/Timer.h"
#include "widgets/TGauge.h"

#include <QApplication>

namespace {

using namespace Colors;
using Scaling::place;

// The name field's initial text; refused as a name, like the empty text.
const QString kNamePrompt = QStringLiteral("Ваше имя");
// Typing these four letters shows the waiting text.
const QString kLordlyPrefix = QStringLiteral("wenK");
// The caption of `next` while nothing special happens.
const QString kNextCaption = QStringLiteral("PEMy и Зольмар!");

// Sound switch pictures.
const QString kSoundOnIcon = QStringLiteral("Base\\image\\Ico\\son.bmp");
const QString kSoundOffIcon = QStringLiteral("Base\\image\\Ico\\sof.bmp");

// Hovered items (the tag of `deamon`).
constexpr int kHoverNone = 0;
constexpr int kHoverNewGame = 1;
constexpr int kHoverScore = 2;
constexpr int kHoverOb = 3;
constexpr int kHoverExit = 4;
constexpr int kHoverName = 5;

// Loading: the exam piece starts at this percentage, the exam at 100.
constexpr int kExamPieceAt = 80;

TFlatButton *menuEntry(QWidget *parent, const QString &caption, int left, int top)
{
    auto *button = place(new TFlatButton(parent, caption), left, top, 300, 50);
    button->setFont(Scaling::font(40, true));
    button->setFontColor(Qt::white);
    return button;
}

} // namespace

MenuScreen::MenuScreen(Music &music)
    : Screen(QStringLiteral("Меню \"PEMy -и Зольмар\""), 688, 440, Frame::Single, Qt::black),
      m_music(music)
{
    setFont(Scaling::font(17));

    gx = place(new TGauge(this), 0, 408, 688, 32);
    gx->setKind(gkPie);
    gx->setForeColor(kMaroon);
    gx->setBackColor(Qt::black);
    gx->setColor(Qt::black);
    gx->hide();

    Exit = menuEntry(this, QStringLiteral("Выход"), 384, 360);
    NewGame = menuEntry(this, QStringLiteral("Новая игра"), 8, 296);
    Ob = menuEntry(this, QStringLiteral("О программе"), 384, 296);
    score = menuEntry(this, QStringLiteral("Очки"), 8, 360);

    xl = place(new TLabel(this, kNamePrompt), 152, 96, 393, 49);
    xl->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    xl->setFont(Scaling::font(40, true));
    xl->setFontColor(kSilver);

    Bevel1 = place(new TBevel(this), 144, 144, 409, 65);
    Bevel2 = place(new TBevel(this), 144, 88, 409, 57);

    next = place(new TLabel(this, kNextCaption), 0, 0, 688, 36);
    next->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    next->setFont(Scaling::font(30, true));
    next->setFontColor(kYellow);

    // Its place comes with its picture.
    ns = new TImage(this);
    ns->setCursor(Qt::PointingHandCursor);
    setSoundPicture(Pictures::keyLowerLeft(QImage(QStringLiteral(":/builtin/ns.bmp"))));

    name = place(new TEdit(this), 152, 152, 393, 49);
    name->setText(kNamePrompt);
    name->setFont(Scaling::font(40));
    name->setFontColor(Qt::white);
    name->setFrame(false);
    QPalette namePalette = name->palette();
    namePalette.setColor(QPalette::Base, Qt::black);
    name->setPalette(namePalette);

    xpan = place(new TPanel(this, Qt::black, false), 568, 88, 97, 113);
    xpan->hide();
    mp1 = place(m_music.makePlayer(xpan), 4, 3, 85, 30);
    a1 = place(new TFlatButton(xpan, QStringLiteral("a1")), 8, 35, 73, 22);
    a1->setFontColor(Qt::white);
    a2 = place(new TFlatButton(xpan, QStringLiteral("a2")), 8, 59, 73, 22);
    a2->setFontColor(Qt::white);
    setTabOrder(name, xpan);
    name->setFocus();

    tx = new Timer(10, false, this);
    // The hover timer sleeps while nothing can pulse; the menu's first show, which follows at once,
    // puts it to sleep until an entry is hovered.
    deamon = new Timer(35, true, this);

    ActionList1.add(QStringLiteral("enter"), [this] { enterExecute(); });
    ActionList1.add(QStringLiteral("s1"), [this] { pulse(kHoverNewGame); });
    ActionList1.add(QStringLiteral("s2"), [this] { pulse(kHoverScore); });
    ActionList1.add(QStringLiteral("s3"), [this] { pulse(kHoverOb); });
    ActionList1.add(QStringLiteral("s4"), [this] { pulse(kHoverExit); });
    ActionList1.add(QStringLiteral("ss"), [this] { pulse(kHoverName); });
    m_enter = &ActionList1.at(QStringLiteral("enter"));
    m_pulseSteps = {&ActionList1.at(QStringLiteral("s1")), &ActionList1.at(QStringLiteral("s2")),
                    &ActionList1.at(QStringLiteral("s3")), &ActionList1.at(QStringLiteral("s4")),
                    &ActionList1.at(QStringLiteral("ss"))};

    NewGame->onClick = [this] { NewGameClick(); };
    Exit->onClick = [this] { ExitClick(); };
    score->onClick = [this] { scoreClick(); };
    Ob->onClick = [this] { ObClick(); };
    ns->onClick = [this] { nsClick(); };
    a1->onClick = [this] { m_music.playMenuPiece(); };
    a2->onClick = [this] { m_music.playExamPiece(); };
    NewGame->onMouseMove = [this] { NewGameMouseMove(); };
    score->onMouseMove = [this] { scoreMouseMove(); };
    Ob->onMouseMove = [this] { ObMouseMove(); };
    Exit->onMouseMove = [this] { ExitMouseMove(); };
    name->onMouseMove = [this] { nameMouseMove(); };
    next->onMouseMove = [this] { nextMouseMove(); };
    onMouseMove = [this] { FormMouseMove(); };
    name->onChange = [this] { nameChange(); };
    tx->onTimer = [this] { txTimer(); };
    deamon->onTimer = [this] { deamonTimer(); };
    // Closing the main screen ends the program.
    onClose = [this] { emit quitRequested(); };
}

MenuScreen::~MenuScreen() = default;

void MenuScreen::enterAction() const
{
    m_enter->execute();
}

QString MenuScreen::playerName() const
{
    return name->text();
}

void MenuScreen::returnFromScores()
{
    showScreen();
    deamon->setEnabled(true);
}

// ---- Name check, loading and the start of an exam ----

void MenuScreen::NewGameClick()
{
    const QString text = name->text();
    if (text == kNamePrompt || text.isEmpty()) {
        xl->setCaption(QStringLiteral("Введите Ваше имя!"));
        name->setText(QString());
        if (!name->isVisible() || !name->isEnabled())
            throw GameError(QStringLiteral("Cannot focus a disabled or invisible window"));
        name->setFocus();
        return;
    }
    m_music.examLoadingStarted();
    tx->setEnabled(true);
    gx->show();
    setHovered(kHoverNone);
    deamon->setEnabled(false);
}

void MenuScreen::txTimer()
{
    if (gx->progress() == kExamPieceAt) {
        // A piece that cannot be played is reported, but never holds up the exam.
        guarded([this] { m_music.examPieceDue(); });
    }
    if (gx->progress() == 100) {
        tx->setEnabled(false);
        gx->setProgress(0);
        gx->hide();
        emit examStarted();
    }
    gx->setProgress(gx->progress() + 1);
}

void MenuScreen::enterExecute()
{
    xpan->show();
    emit hiddenPanelsRequested();
    NewGameClick();
}

// ---- Screen switches ----

void MenuScreen::ExitClick()
{
    close();
}

void MenuScreen::scoreClick()
{
    emit scoresRequested();
}

void MenuScreen::ObClick()
{
    emit aboutRequested();
}

// ---- Hover colours and the pulse ----

void MenuScreen::highlightEntry(int item, TFlatButton *highlighted)
{
    setHovered(item);
    for (TFlatButton *entry : {NewGame, score, Ob, Exit})
        entry->setFontColor(entry == highlighted ? kSkyBlue : QColor(Qt::white));
}

void MenuScreen::NewGameMouseMove() { highlightEntry(kHoverNewGame, NewGame); }
void MenuScreen::scoreMouseMove() { highlightEntry(kHoverScore, score); }
void MenuScreen::ObMouseMove() { highlightEntry(kHoverOb, Ob); }
void MenuScreen::ExitMouseMove() { highlightEntry(kHoverExit, Exit); }

void MenuScreen::nameMouseMove()
{
    setHovered(kHoverName);
    xl->setFontColor(kSkyBlue);
}

void MenuScreen::FormMouseMove()
{
    highlightEntry(kHoverNone, nullptr);
    xl->setFontColor(Qt::white);
    next->setCaption(kNextCaption);
}

void MenuScreen::nextMouseMove()
{
    next->setCaption(QStringLiteral("Скоро! PEMy и Квенталь!"));
}

void MenuScreen::deamonTimer()
{
    for (const Action *step : m_pulseSteps)
        step->execute();
}

Control<QLabel> *MenuScreen::pulsed(int item) const
{
    switch (item) {
    case kHoverNewGame:
        return NewGame;
    case kHoverScore:
        return score;
    case kHoverOb:
        return Ob;
    case kHoverExit:
        return Exit;
    case kHoverName:
        return xl;
    default:
        return nullptr;
    }
}

void MenuScreen::pulse(int item, int steps)
{
    Control<QLabel> *widget = pulsed(item);
    if (deamon->tag != item || !widget || steps <= 0)
        return;
    QFont font = widget->font();
    int points = Scaling::pointsOf(font);
    for (int i = 0; i < steps; ++i) {
        MenuPulse::step(points, widget->tag);
        // Through the font, as one tick at a time would: sizes are whole pixels.
        Scaling::setPoints(font, points);
        points = Scaling::pointsOf(font);
    }
    widget->setFont(font);
}

void MenuScreen::setHovered(int item)
{
    catchUpPulse();
    deamon->tag = item;
    deamon->setDormant(!pulseShows());
}

bool MenuScreen::pulseShows() const
{
    return isVisible() && !isMinimized() && deamon->tag != kHoverNone;
}

void MenuScreen::catchUpPulse()
{
    pulse(deamon->tag, deamon->takeMissedTicks());
}

void MenuScreen::updateDeamonWake()
{
    catchUpPulse();
    deamon->setDormant(!pulseShows());
}

void MenuScreen::showEvent(QShowEvent *event)
{
    Screen::showEvent(event);
    updateDeamonWake();
}

void MenuScreen::hideEvent(QHideEvent *event)
{
    Screen::hideEvent(event);
    updateDeamonWake();
}

void MenuScreen::changeEvent(QEvent *event)
{
    Screen::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        updateDeamonWake();
}

// ---- Sound switch ----

bool MenuScreen::isLordlyName() const
{
    return name->text() == QString::fromUtf16(kLordlyName);
}

void MenuScreen::nsClick()
{
    const MusicRules::SoundSwitch sound = m_music.switchSound();
    if (sound.failed)
        setWindowTitle(sound.on ? QStringLiteral("Error #12") : QStringLiteral("Error #13"));
    const QString &icon = sound.on ? kSoundOnIcon : kSoundOffIcon;
    if (AssetPath::exists(icon))
        setSoundPicture(Pictures::loadTransparentBitmap(AssetPath::resolve(icon)));
}

void MenuScreen::setSoundPicture(const QImage &picture)
{
    ns->setPicture(picture);
    if (picture.isNull())
        return;
    // Docked to the right edge below the caption, as wide as its picture.
    const int pictureWidth = Scaling::px(picture.width());
    ns->setGeometry(width() - pictureWidth, Scaling::px(36), pictureWidth, Scaling::px(372));
}

// ---- Lordly mode ----

void MenuScreen::nameChange()
{
    const QString text = name->text();
    if (text == kLordlyPrefix)
        next->setCaption(QStringLiteral("Пожалуйста подождите..."));
    // The lordly piece starts first: a piece that cannot start leaves the captions as they are.
    m_music.setLordlyPlayer(isLordlyName());
    if (!isLordlyName())
        return;

    NewGame->setCaption(QStringLiteral("Развлечения!"));
    score->setCaption(QStringLiteral("Суета и тлен!"));
    Ob->setCaption(QStringLiteral("О господине!"));
    Exit->setCaption(QStringLiteral("Устали Сир?"));
    xl->setCaption(QStringLiteral("Ваше имя! Милорд!"));
    name->setEnabled(false);
    const QString welcome = QStringLiteral("Добро пожаловать! Повелитель!");
    setWindowTitle(welcome);
    next->setCaption(QStringLiteral("Да здравствует повелитель!"));
    emit lordlyModeEntered();
}
