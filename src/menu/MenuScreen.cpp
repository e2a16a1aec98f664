#include "menu/MenuScreen.h"

#include "formats/GameError.h"
#include "formats/Pictures.h"
#include "menu/MenuPulse.h"
#include "music/Music.h"
#include "music/MusicPlayer.h"
#include "toolkit/AssetPath.h"
#include "toolkit/Bevel.h"
#include "toolkit/Colors.h"
#include "toolkit/FlatButton.h"
#include "toolkit/Guard.h"
#include "toolkit/Label.h"
#include "toolkit/LineEdit.h"
#include "toolkit/Panel.h"
#include "toolkit/PictureBox.h"
#include "toolkit/Scaling.h"
#include "toolkit/Timer.h"
#include "widgets/Gauge.h"

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
    createLoadingGauge();
    createEntries();
    createNamePrompt();
    createHeadline();
    createSoundSwitch();
    createNameField();
    createHiddenPanel();
    createTimers();
    // The screen's own font, which the loading gauge and the hidden panel inherit, is set last:
    // nothing on the menu's first paint shows it, and set first it would be laid out with the
    // name field as that is made (a text size that costs the start-up its own font set-up).
    setFont(Scaling::font(17));
    m_pulses = {Pulse{newGameButton}, Pulse{scoresButton}, Pulse{aboutButton}, Pulse{exitButton},
                Pulse{namePrompt}};
    connectGuarded(pointer(), &Pointer::hovered, this, &MenuScreen::onBackgroundHovered);
    // Closing the main screen ends the program.
    setCloseRequests(true);
    connect(this, &Screen::closeRequested, this, &MenuScreen::quitRequested);
}

void MenuScreen::createLoadingGauge()
{
    loadingGauge = place(new Gauge(this), 0, 408, 688, 32);
    loadingGauge->setKind(GaugeKind::Pie);
    loadingGauge->setForeColor(kMaroon);
    loadingGauge->setBackColor(Qt::black);
    loadingGauge->setColor(Qt::black);
    loadingGauge->hide();
}

void MenuScreen::createEntries()
{
    exitButton = createEntry(QStringLiteral("Выход"), 384, 360, &MenuScreen::onExitClicked,
                             &MenuScreen::onExitHovered);
    newGameButton = createEntry(QStringLiteral("Новая игра"), 8, 296, &MenuScreen::onNewGameClicked,
                                &MenuScreen::onNewGameHovered);
    aboutButton = createEntry(QStringLiteral("О программе"), 384, 296, &MenuScreen::onAboutClicked,
                              &MenuScreen::onAboutHovered);
    scoresButton = createEntry(QStringLiteral("Очки"), 8, 360, &MenuScreen::onScoresClicked,
                               &MenuScreen::onScoresHovered);
}

FlatButton *MenuScreen::createEntry(const QString &caption, int left, int top, Handler clickSlot,
                                    Handler hoverSlot)
{
    auto *button = place(new FlatButton(this, caption), left, top, 300, 50);
    button->setFont(Scaling::font(40, true));
    button->setFontColor(Qt::white);
    connectGuarded(button->pointer(), &Pointer::clicked, this, clickSlot);
    connectGuarded(button->pointer(), &Pointer::hovered, this, hoverSlot);
    return button;
}

// The prompt and the frames around it and the name field.
void MenuScreen::createNamePrompt()
{
    namePrompt = place(new Label(this, kNamePrompt), 152, 96, 393, 49);
    namePrompt->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    namePrompt->setFont(Scaling::font(40, true));
    namePrompt->setFontColor(kSilver);

    nameFieldFrame = place(new Bevel(this), 144, 144, 409, 65);
    namePromptFrame = place(new Bevel(this), 144, 88, 409, 57);
}

void MenuScreen::createHeadline()
{
    headline = place(new Label(this, kHeadline), 0, 0, 688, 36);
    headline->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    headline->setFont(Scaling::font(30, true));
    headline->setFontColor(kYellow);
    connectGuarded(headline->pointer(), &Pointer::hovered, this, &MenuScreen::onHeadlineHovered);
}

void MenuScreen::createSoundSwitch()
{
    // Its place comes with its picture.
    soundSwitch = new PictureBox(this);
    soundSwitch->setCursor(Qt::PointingHandCursor);
    setSoundPicture(Pictures::keyLowerLeft(QImage(QStringLiteral(":/builtin/ns.bmp"))));
    connectGuarded(soundSwitch->pointer(), &Pointer::clicked, this,
                   &MenuScreen::onSoundSwitchClicked);
}

void MenuScreen::createNameField()
{
    nameField = place(new LineEdit(this), 152, 152, 393, 49);
    nameField->setFont(Scaling::font(40));
    nameField->setText(kNamePrompt);
    nameField->setFontColor(Qt::white);
    nameField->setFrame(false);
    QPalette palette = nameField->palette();
    palette.setColor(QPalette::Base, Qt::black);
    nameField->setPalette(palette);
    // After the layout's text, which is no change of the player's.
    connectGuarded(nameField, &LineEdit::textChanged, this, &MenuScreen::onNameChanged);
    connectGuarded(nameField->pointer(), &Pointer::hovered, this, &MenuScreen::onNameHovered);
}

// The music player's bar and the buttons of the two repeating pieces; the name field keeps the
// keyboard, the panel comes next in the tab order.
void MenuScreen::createHiddenPanel()
{
    hiddenPanel = place(new Panel(this, Qt::black, false), 568, 88, 97, 113);
    hiddenPanel->hide();
    musicPlayer = place(m_music.makePlayer(hiddenPanel), 4, 3, 85, 30);
    menuPieceButton = place(new FlatButton(hiddenPanel, QStringLiteral("a1")), 8, 35, 73, 22);
    menuPieceButton->setFontColor(Qt::white);
    connectGuarded(menuPieceButton->pointer(), &Pointer::clicked, &m_music, &Music::playMenuPiece);
    examPieceButton = place(new FlatButton(hiddenPanel, QStringLiteral("a2")), 8, 59, 73, 22);
    examPieceButton->setFontColor(Qt::white);
    connectGuarded(examPieceButton->pointer(), &Pointer::clicked, &m_music, &Music::playExamPiece);
    setTabOrder(nameField, hiddenPanel);
    nameField->setFocus();
}

void MenuScreen::createTimers()
{
    loadingTimer = new Timer(10, false, this);
    connectGuarded(loadingTimer, &Timer::timeout, this, &MenuScreen::onLoadingTick);
    // The hover timer sleeps while nothing can pulse; the menu's first show, which follows at once,
    // puts it to sleep until an entry is hovered.
    hoverTimer = new Timer(35, true, this);
    connectGuarded(hoverTimer, &Timer::timeout, this, &MenuScreen::onHoverTick);
}

MenuScreen::~MenuScreen() = default;

void MenuScreen::enterAction()
{
    hiddenPanel->show();
    emit hiddenPanelsRequested();
    onNewGameClicked();
}

QString MenuScreen::playerName() const
{
    return nameField->text();
}

void MenuScreen::returnFromScores()
{
    showScreen();
    hoverTimer->setEnabled(true);
}

MenuScreen::Pulse *MenuScreen::pulseOf(Hover item)
{
    if (item == Hover::None)
        return nullptr;
    return &m_pulses[static_cast<int>(item) - static_cast<int>(Hover::NewGame)];
}

// ---- Name check, loading and the start of an exam ----

void MenuScreen::onNewGameClicked()
{
    const QString text = nameField->text();
    if (text == kNamePrompt || text.isEmpty()) {
        namePrompt->setCaption(QStringLiteral("Введите Ваше имя!"));
        nameField->setText(QString());
        if (!nameField->isVisible() || !nameField->isEnabled())
            throw GameError(QStringLiteral("Cannot focus a disabled or invisible window"));
        nameField->setFocus();
        return;
    }
    m_music.examLoadingStarted();
    loadingTimer->setEnabled(true);
    loadingGauge->show();
    setHovered(Hover::None);
    hoverTimer->setEnabled(false);
}

void MenuScreen::onLoadingTick()
{
    if (loadingGauge->progress() == kExamPieceAt) {
        // A piece that cannot be played is reported, but never holds up the exam.
        guarded([this] { m_music.examPieceDue(); });
    }
    if (loadingGauge->progress() == 100) {
        loadingTimer->setEnabled(false);
        loadingGauge->setProgress(0);
        loadingGauge->hide();
        emit examStarted();
    }
    loadingGauge->setProgress(loadingGauge->progress() + 1);
}

// ---- Screen switches ----

void MenuScreen::onExitClicked()
{
    close();
}

void MenuScreen::onScoresClicked()
{
    emit scoresRequested();
}

void MenuScreen::onAboutClicked()
{
    emit aboutRequested();
}

// ---- Hover colours and the pulse ----

void MenuScreen::highlightEntry(Hover item)
{
    setHovered(item);
    const Pulse *highlighted = pulseOf(item);
    for (FlatButton *entry : {newGameButton, scoresButton, aboutButton, exitButton}) {
        const bool lit = highlighted && highlighted->widget == entry;
        entry->setFontColor(lit ? kSkyBlue : QColor(Qt::white));
    }
}

void MenuScreen::onNewGameHovered()
{
    highlightEntry(Hover::NewGame);
}
void MenuScreen::onScoresHovered()
{
    highlightEntry(Hover::Scores);
}
void MenuScreen::onAboutHovered()
{
    highlightEntry(Hover::About);
}
void MenuScreen::onExitHovered()
{
    highlightEntry(Hover::Exit);
}

// The name field lights its prompt only: an entry keeps its colour.
void MenuScreen::onNameHovered()
{
    setHovered(Hover::Name);
    namePrompt->setFontColor(kSkyBlue);
}

void MenuScreen::onBackgroundHovered()
{
    highlightEntry(Hover::None);
    namePrompt->setFontColor(Qt::white);
    headline->setCaption(kHeadline);
}

void MenuScreen::onHeadlineHovered()
{
    headline->setCaption(QStringLiteral("Скоро! PEMy и Квенталь!"));
}

void MenuScreen::onHoverTick()
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
    hoverTimer->setDormant(!pulseShows());
}

bool MenuScreen::pulseShows() const
{
    return isVisible() && !isMinimized() && m_hovered != Hover::None;
}

void MenuScreen::catchUpPulse()
{
    pulseHovered(hoverTimer->takeMissedTicks());
}

void MenuScreen::updateHoverTimerWake()
{
    catchUpPulse();
    hoverTimer->setDormant(!pulseShows());
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
    return nameField->text() == QString::fromUtf16(kLordlyName);
}

void MenuScreen::onSoundSwitchClicked()
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
    soundSwitch->setPicture(picture);
    if (picture.isNull())
        return;
    // Docked to the right edge below the headline, as wide as its picture.
    const int pictureWidth = Scaling::px(picture.width());
    soundSwitch->setGeometry(width() - pictureWidth, Scaling::px(36), pictureWidth,
                             Scaling::px(372));
}

// ---- Lordly mode ----

void MenuScreen::onNameChanged()
{
    const QString text = nameField->text();
    if (text == kLordlyPrefix)
        headline->setCaption(QStringLiteral("Пожалуйста подождите..."));
    // The lordly piece starts first: a piece that cannot start leaves the captions as they are.
    m_music.setLordlyPlayer(isLordlyName());
    if (!isLordlyName())
        return;

    newGameButton->setCaption(QStringLiteral("Развлечения!"));
    scoresButton->setCaption(QStringLiteral("Суета и тлен!"));
    aboutButton->setCaption(QStringLiteral("О господине!"));
    exitButton->setCaption(QStringLiteral("Устали Сир?"));
    namePrompt->setCaption(QStringLiteral("Ваше имя! Милорд!"));
    nameField->setEnabled(false);
    const QString welcome = QStringLiteral("Добро пожаловать! Повелитель!");
    setWindowTitle(welcome);
    headline->setCaption(QStringLiteral("Да здравствует повелитель!"));
    emit lordlyModeEntered();
}
