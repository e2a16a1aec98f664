#include "score/ScoreScreen.h"

#include "score/ScoreFile.h"
#include "score/ScoreText.h"
#include "toolkit/Colors.h"
#include "toolkit/Scaling.h"
#include "toolkit/TFlatButton.h"
#include "toolkit/TImage.h"
#include "toolkit/TMemo.h"
#include "toolkit/TPanel.h"

namespace {

using namespace Colors;
using Scaling::place;

} // namespace

ScoreScreen::ScoreScreen() : Screen(QStringLiteral("Очки"), 694, 440, Frame::Single, kDesktop)
{
    setFont(Scaling::font(13));

    Score = place(new TMemo(this), 0, 0, 694, 345);
    Score->setFont(Scaling::font(20, true));
    Score->setFontColor(Qt::white);
    QPalette listPalette = Score->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        listPalette.setColor(group, QPalette::Base, Qt::black);
    Score->setPalette(listPalette);
    Score->setReadOnly(true);

    // Created after the list, so the row where both meet (344) belongs to the panel.
    Panel1 = place(new TPanel(this, kDesktop, false), 0, 344, 694, 96);
    back = place(new TFlatButton(Panel1, QStringLiteral("Назад")), 248, 16, 201, 57);
    back->setFont(Scaling::font(40, true));
    back->setFontColor(Qt::white);
    Image1 = place(new TImage(Panel1), 8, 8, 81, 73);
    Image1->setCursor(Qt::WhatsThisCursor);

    back->onClick = [this] { backClick(); };
    back->onMouseMove = [this] { backMouseMove(); };
    Image1->onClick = [this] { Image1Click(); };
    Panel1->onMouseMove = [this] { Panel1MouseMove(); };
    Score->onMouseMove = [this] { ScoreMouseMove(); };
}

ScoreScreen::~ScoreScreen() = default;

void ScoreScreen::loadScoreFile()
{
    m_file = ScoreFile::load();
    Score->setText(m_file.text);
}

void ScoreScreen::appendLine(const QString &line)
{
    Score->appendRaw(ScoreText::appendPiece(Score->endsWithEmptyLine(), line));
    // The newest result is what the player wants to see.
    Score->scrollToEnd();
}

void ScoreScreen::backClick()
{
    emit backRequested();
    m_file = ScoreFile::save(Score->text(), m_file);
    // Results that another game saved meanwhile are shown from the next visit on.
    if (m_file.text != Score->text())
        Score->setText(m_file.text);
}

void ScoreScreen::Image1Click()
{
    // For good: every later visit shows an editable list.
    Score->setReadOnly(false);
}

void ScoreScreen::backMouseMove()
{
    back->setFontColor(kSkyBlue);
}

void ScoreScreen::Panel1MouseMove()
{
    back->setFontColor(Qt::white);
}

void ScoreScreen::ScoreMouseMove()
{
    back->setFontColor(Qt::white);
}
