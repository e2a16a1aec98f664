#include "score/ScoreScreen.h"

#include "score/ScoreFile.h"
#include "score/ScoreText.h"
#include "toolkit/Colors.h"
#include "toolkit/FlatButton.h"
#include "toolkit/Guard.h"
#include "toolkit/MultiLineEdit.h"
#include "toolkit/Panel.h"
#include "toolkit/PictureBox.h"
#include "toolkit/Scaling.h"

namespace {

using namespace Colors;
using Scaling::place;

} // namespace

ScoreScreen::ScoreScreen() : Screen(QStringLiteral("Очки"), 694, 440, Frame::Single, kDesktop)
{
    setFont(Scaling::font(13));

    scoreList = place(new MultiLineEdit(this), 0, 0, 694, 345);
    scoreList->setFont(Scaling::font(20, true));
    scoreList->setFontColor(Qt::white);
    QPalette listPalette = scoreList->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        listPalette.setColor(group, QPalette::Base, Qt::black);
    scoreList->setPalette(listPalette);
    scoreList->setReadOnly(true);

    // Created after the list, so the row where both meet (344) belongs to the panel.
    bottomPanel = place(new Panel(this, kDesktop, false), 0, 344, 694, 96);
    backButton = place(new FlatButton(bottomPanel, QStringLiteral("Назад")), 248, 16, 201, 57);
    backButton->setFont(Scaling::font(40, true));
    backButton->setFontColor(Qt::white);
    unlockImage = place(new PictureBox(bottomPanel), 8, 8, 81, 73);
    unlockImage->setCursor(Qt::WhatsThisCursor);

    connectGuarded(backButton->pointer(), &Pointer::clicked, this, &ScoreScreen::onBackClicked);
    connectGuarded(backButton->pointer(), &Pointer::hovered, this, &ScoreScreen::onBackHovered);
    connectGuarded(unlockImage->pointer(), &Pointer::clicked, this, &ScoreScreen::onUnlockClicked);
    connectGuarded(bottomPanel->pointer(), &Pointer::hovered, this, &ScoreScreen::onPanelHovered);
    connectGuarded(scoreList->pointer(), &Pointer::hovered, this, &ScoreScreen::onListHovered);
}

ScoreScreen::~ScoreScreen() = default;

void ScoreScreen::loadScoreFile()
{
    m_file = ScoreFile::load();
    scoreList->setText(m_file.text);
}

void ScoreScreen::appendLine(const QString &line)
{
    scoreList->appendRaw(ScoreText::appendPiece(scoreList->endsWithEmptyLine(), line));
    // The newest result is what the player wants to see.
    scoreList->scrollToEnd();
}

void ScoreScreen::onBackClicked()
{
    emit backRequested();
    m_file = ScoreFile::save(scoreList->text(), m_file);
    // Results that another game saved meanwhile are shown from the next visit on.
    if (m_file.text != scoreList->text())
        scoreList->setText(m_file.text);
}

void ScoreScreen::onUnlockClicked()
{
    // For good: every later visit shows an editable list.
    scoreList->setReadOnly(false);
}

void ScoreScreen::onBackHovered()
{
    backButton->setFontColor(kSkyBlue);
}

void ScoreScreen::onPanelHovered()
{
    backButton->setFontColor(Qt::white);
}

void ScoreScreen::onListHovered()
{
    backButton->setFontColor(Qt::white);
}
