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
// The headline's caption while nothing special happens.
const QString kHeadline = QStringLiteral("PEMy и Зольмар!");

// Sound switch pictures.
const QString kSoundOnIcon = QStringLiteral("Base\\image\\Ico\\son.bmp");
const QString kSoundOffIcon = QStringLiteral("Base\\image\\Ico\\sof.bmp");

// Loading: the exam piece starts at this percentage, the exam at 100.
constexpr int kExamPieceAt = 80;

} // namespace

MenuScreen::MenuScreen(Music &music)
    : Screen(QStringLiteral("Меню \"PEMy -и Зольмар\""), 688, 440, Frame::Single, Qt::black),
      m_music(music)
{
    setFont(Scaling::font(17));
    createLoadingGauge();
    createEntries();
    createNamePrompt();
    createHeadline();
    createSoundSwitch();
    createNameField();
    createHiddenPanel();
    createTimers();
    m_pulses = {Pulse{NewGame}, Pulse{score}, Pulse{Ob}, Pulse{Exit},
                Pulse{xl}};
    onMouseMove = [this] { FormMouseMove(); };
    // Closing the main screen ends the program.
    onClose = [this] { emit quitRequested(); };
}

void MenuScreen::createLoadingGauge()
{
    gx = place(new TGauge(this), 0, 408, 688, 32);
    gx->setKind(gkPie);
    gx->setForeColor(kMaroon);
    gx->setBackColor(Qt::black);
    gx->setColor(Qt::black);
    gx->hide();
}

void MenuScreen::createEntries()
{
    Exit = createEntry(QStringLiteral("Выход"), 384, 360, &MenuScreen::ExitClick,
                             &MenuScreen::ExitMouseMove);
    NewGame = createEntry(QStringLiteral("Новая игра"), 8, 296, &MenuScreen::NewGameClick,
                                &MenuScreen::NewGameMouseMove);
    Ob = createEntry(QStringLiteral("О программе"), 384, 296, &MenuScreen::ObClick,
                              &MenuScreen::ObMouseMove);
    score = createEntry(QStringLiteral("Очки"), 8, 360, &MenuScreen::scoreClick,
                               &MenuScreen::scoreMouseMove);
}

TFlatButton *MenuScreen::createEntry(const QString &caption, int left, int top, Handler clicked,
                                     Handler hovered)
{
    auto *button = place(new TFlatButton(this, caption), left, top, 300, 50);
    button->setFont(Scaling::font(40, true));
    button->setFontColor(Qt::white);
    button->onClick = [this, clicked] { (this->*clicked)(); };
    button->onMouseMove = [this, hovered] { (this->*hovered)(); };
    return button;
}

// The prompt and the frames around it and the name field.
void MenuScreen::createNamePrompt()
{
    xl = place(new TLabel(this, kNamePrompt), 152, 96, 393, 49);
    xl->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    xl->setFont(Scaling::font(40, true));
    xl->setFontColor(kSilver);

    Bevel1 = place(new TBevel(this), 144, 144, 409, 65);
    Bevel2 = place(new TBevel(this), 144, 88, 409, 57);
}

void MenuScreen::createHeadline()
{
    next = place(new TLabel(this, kHeadline), 0, 0, 688, 36);
    next->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    next->setFont(Scaling::font(30, true));
    next->setFontColor(kYellow);
    next->onMouseMove = [this] { nextMouseMove(); };
}

void MenuScreen::createSoundSwitch()
{
    // Its place comes with its picture.
    ns = new TImage(this);
    ns->setCursor(Qt::PointingHandCursor);
    setSoundPicture(Pictures::keyLowerLeft(QImage(QStringLiteral(":/builtin/ns.bmp"))));
    ns->onClick = [this] { nsClick(); };
}

void MenuScreen::createNameField()
{
    name = place(new TEdit(this), 152, 152, 393, 49);
    name->setText(kNamePrompt);
    name->setFont(Scaling::font(40));
    name->setFontColor(Qt::white);
    name->setFrame(false);
    QPalette palette = name->palette();
    palette.setColor(QPalette::Base, Qt::black);
    name->setPalette(palette);
    // After the layout's text, which is no change of the player's.
    name->onChange = [this] { nameChange(); };
    name->onMouseMove = [this] { nameMouseMove(); };
}

// The music player's bar and the buttons of the two repeating pieces; the name field keeps the
// keyboard, the panel comes next in the tab order.
void MenuScreen::createHiddenPanel()
{
    xpan = place(new TPanel(this, Qt::black, false), 568, 88, 97, 113);
    xpan->hide();
    mp1 = place(m_music.makePlayer(xpan), 4, 3, 85, 30);
    a1 = place(new TFlatButton(xpan, QStringLiteral("a1")), 8, 35, 73, 22);
    a1->setFontColor(Qt::white);
    a1->onClick = [this] { m_music.playMenuPiece(); };
    a2 = place(new TFlatButton(xpan, QStringLiteral("a2")), 8, 59, 73, 22);
    a2->setFontColor(Qt::white);
    a2->onClick = [this] { m_music.playExamPiece(); };
    setTabOrder(name, xpan);
    name->setFocus();
}

void MenuScreen::createTimers()
{
    tx = new Timer(10, false, this);
    tx->onTimer = [this] { txTimer(); };
    // The hover timer sleeps while nothing can pulse; the menu's first show, which follows at once,
    // puts it to sleep until an entry is hovered.
    deamon = new Timer(35, true, this);
    deamon->onTimer = [this] { deamonTimer(); };
}

MenuScreen::~MenuScreen() = default;

void MenuScreen::enterAction()
{
    xpan->show();
    emit hiddenPanelsRequested();
    NewGameClick();
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

MenuScreen::Pulse *MenuScreen::pulseOf(Hover item)
{
    if (item == Hover::None)
        return nullptr;
    return &m_pulses[static_cast<int>(item) - static_cast<int>(Hover::NewGame)];
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
    setHovered(Hover::None);
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

void MenuScreen::highlightEntry(Hover item)
{
    setHovered(item);
    const Pulse *highlighted = pulseOf(item);
    for (TFlatButton *entry : {NewGame, score, Ob, Exit}) {
        const bool lit = highlighted && highlighted->widget == entry;
        entry->setFontColor(lit ? kSkyBlue : QColor(Qt::white));
    }
}

void MenuScreen::NewGameMouseMove() { highlightEntry(Hover::NewGame); }
void MenuScreen::scoreMouseMove() { highlightEntry(Hover::Scores); }
void MenuScreen::ObMouseMove() { highlightEntry(Hover::About); }
void MenuScreen::ExitMouseMove() { highlightEntry(Hover::Exit); }

// The name field lights its prompt only: an entry keeps its colour.
void MenuScreen::nameMouseMove()
{
    setHovered(Hover::Name);
    xl->setFontColor(kSkyBlue);
}

void MenuScreen::FormMouseMove()
{
    highlightEntry(Hover::None);
    xl->setFontColor(Qt::white);
    next->setCaption(kHeadline);
}

void MenuScreen::nextMouseMove()
{
    next->setCaption(QStringLiteral("Скоро! PEMy и Квенталь!"));
}

void MenuScreen::deamonTimer()
{
    pulseHovered(1);
}

void MenuScreen::pulseHovered(int steps)
{
    Pulse *pulse = pulseOf(m_hovered);
    if (!pulse || steps <= 0)
        return;
    QFont font = pulse->widget->font();
    int points = Scaling::pointsOf(font);
    for (int i = 0; i < steps; ++i) {
        MenuPulse::step(points, pulse->direction);
        // Through the font, as one tick at a time would: sizes are whole pixels.
        Scaling::setPoints(font, points);
        points = Scaling::pointsOf(font);
    }
    pulse->widget->setFont(font);
}

void MenuScreen::setHovered(Hover item)
{
    catchUpPulse();
    m_hovered = item;
    deamon->setDormant(!pulseShows());
}

bool MenuScreen::pulseShows() const
{
    return isVisible() && !isMinimized() && m_hovered != Hover::None;
}

void MenuScreen::catchUpPulse()
{
    pulseHovered(deamon->takeMissedTicks());
}

void MenuScreen::updateHoverTimerWake()
{
    catchUpPulse();
    deamon->setDormant(!pulseShows());
}

void MenuScreen::showEvent(QShowEvent *event)
{
    Screen::showEvent(event);
    updateHoverTimerWake();
}

void MenuScreen::hideEvent(QHideEvent *event)
{
    Screen::hideEvent(event);
    updateHoverTimerWake();
}

void MenuScreen::changeEvent(QEvent *event)
{
    Screen::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        updateHoverTimerWake();
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
    // Docked to the right edge below the headline, as wide as its picture.
    const int pictureWidth = Scaling::px(picture.width());
    ns->setGeometry(width() - pictureWidth, Scaling::px(36), pictureWidth,
                             Scaling::px(372));
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
