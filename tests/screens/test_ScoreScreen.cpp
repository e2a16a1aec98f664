#include "ScreenFixture.h"

#include "formats/Cp1251.h"
#include "game/ExamResult.h"
#include "menu/MenuScreen.h"
#include "music/MusicPlayer.h"
#include "score/ScoreScreen.h"
#include "score/ScoreText.h"
#include "toolkit/FlatButton.h"
#include "toolkit/LineEdit.h"
#include "toolkit/MultiLineEdit.h"
#include "toolkit/Panel.h"
#include "toolkit/PictureBox.h"
#include "toolkit/Scaling.h"
#include "toolkit/Timer.h"

#include <QApplication>
#include <QClipboard>

#include <QAbstractTextDocumentLayout>
#include <QTextLayout>

#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>

#include <sys/stat.h>

namespace {
const QColor kSkyBlue(166, 202, 240);
const QColor kWhite(Qt::white);
const QString kSeparator = QStringLiteral("-----------------");
const QString kScoreFile = QStringLiteral("base/data/score.inf");

// "Назад" as the player clicks it: on the shown score screen, the menu hidden.
void clickBack()
{
    if (scoreScreen()->isHidden())
        menuScreen()->onScoresClicked();
    QTest::mouseClick(scoreScreen()->backButton, Qt::LeftButton);
}
} // namespace

class TestScoreScreen : public QObject {
    Q_OBJECT
private slots:
    void init() { m_screens = std::make_unique<ScreenFixture>(); }
    void cleanup() { m_screens.reset(); }

    // The layout: a black read-only list over a desktop-coloured panel that holds "Назад" and the
    // pictureless help area.
    void layout()
    {
        m_screens->create();
        QCOMPARE(scoreScreen()->windowTitle(), QString::fromUtf8("Очки"));
        QCOMPARE(scoreScreen()->size(), QSize(694, 440));
        QCOMPARE(scoreScreen()->scoreList->geometry(), QRect(0, 0, 694, 345));
        QVERIFY(scoreScreen()->scoreList->isReadOnly());
        QCOMPARE(scoreScreen()->scoreList->palette().color(QPalette::Base), QColor(Qt::black));
        QCOMPARE(scoreScreen()->scoreList->fontColor(), kWhite);
        QCOMPARE(scoreScreen()->scoreList->font().pixelSize(), 20);
        QVERIFY(scoreScreen()->scoreList->font().bold());
        QCOMPARE(scoreScreen()->scoreList->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(scoreScreen()->scoreList->lineWrapMode(), QPlainTextEdit::WidgetWidth);
        // Each line is centred: a short one starts a third of the way in, or further.
        scoreScreen()->showScreen();
        scoreScreen()->scoreList->setText(QStringLiteral("x"));
        const QTextBlock line = scoreScreen()->scoreList->document()->firstBlock();
        scoreScreen()->scoreList->document()->documentLayout()->blockBoundingRect(line);
        QCOMPARE(line.layout()->lineCount(), 1);
        QVERIFY(line.layout()->lineAt(0).naturalTextRect().left() > 694 / 3);
        scoreScreen()->hide();
        QCOMPARE(scoreScreen()->bottomPanel->geometry(), QRect(0, 344, 694, 96));
        QCOMPARE(scoreScreen()->backButton->parentWidget(), scoreScreen()->bottomPanel);
        QCOMPARE(scoreScreen()->backButton->geometry(), QRect(248, 16, 201, 57));
        QCOMPARE(scoreScreen()->backButton->caption(), QString::fromUtf8("Назад"));
        QCOMPARE(scoreScreen()->backButton->font().pixelSize(), 40);
        QVERIFY(scoreScreen()->backButton->font().bold());
        QCOMPARE(scoreScreen()->backButton->fontColor(), kWhite);
        QCOMPARE(scoreScreen()->unlockImage->geometry(), QRect(8, 8, 81, 73));
        QVERIFY(scoreScreen()->unlockImage->picture().isNull());
        QCOMPARE(scoreScreen()->unlockImage->cursor().shape(), Qt::WhatsThisCursor);
        // The panel lies over the list's last row.
        QCOMPARE(scoreScreen()->childAt(10, 344), scoreScreen()->bottomPanel);
        QVERIFY(scoreScreen()->isHidden());
    }

    // Two exams on an empty list give four break-terminated lines, byte for byte in Windows-1251.
    void fourLineExample()
    {
        m_screens->create();
        scoreScreen()->appendLine(kSeparator);
        scoreScreen()->appendLine(QString::fromUtf8("Вася - 60 % списано! Или = 3 баллов"));
        scoreScreen()->appendLine(kSeparator);
        scoreScreen()->appendLine(QString::fromUtf8(
            "Петя - 40 % списано! Или = 2 баллов. Но Вы пытальсь списать! и Ваша оценка и все предыдущие = 0!"));
        clickBack();

        const QByteArray sep("-----------------\r\n");
        const QByteArray expected =
            sep
            + QByteArray("\xC2\xE0\xF1\xFF - 60 % \xF1\xEF\xE8\xF1\xE0\xED\xEE! \xC8\xEB\xE8 = 3 "
                         "\xE1\xE0\xEB\xEB\xEE\xE2\r\n")
            + sep
            + QByteArray(
                "\xCF\xE5\xF2\xFF - 40 % \xF1\xEF\xE8\xF1\xE0\xED\xEE! \xC8\xEB\xE8 = 2 "
                "\xE1\xE0\xEB\xEB\xEE\xE2. \xCD\xEE \xC2\xFB \xEF\xFB\xF2\xE0\xEB\xFC\xF1\xFC "
                "\xF1\xEF\xE8\xF1\xE0\xF2\xFC! \xE8 \xC2\xE0\xF8\xE0 \xEE\xF6\xE5\xED\xEA\xE0 "
                "\xE8 \xE2\xF1\xE5 \xEF\xF0\xE5\xE4\xFB\xE4\xF3\xF9\xE8\xE5 = 0!\r\n");
        QCOMPARE(m_screens->read(kScoreFile), expected);
        QVERIFY(ErrorBox::openTexts().isEmpty());
    }

    // Loaded files show line by line; whatever their breaks, they are saved back with CR LF, and
    // a zero byte ends the text. A large list comes back byte for byte; a file beyond the memory
    // bound is not taken and never replaced.
    void loadAndSaveBack_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QByteArray>("saved");
        QTest::newRow("LF only") << QByteArray("a\nb\n") << QStringList{"a", "b", ""}
                                 << QByteArray("a\r\nb\r\n");
        QTest::newRow("CR only") << QByteArray("a\rb\r") << QStringList{"a", "b", ""}
                                 << QByteArray("a\r\nb\r\n");
        QTest::newRow("zero byte")
            << QByteArray("a\r\nb\0c\r\n", 8) << QStringList{"a", "b"} << QByteArray("a\r\nb");
        QString exams;
        for (int exam = 0; exams.size() < 10'000'000; ++exam)
            exams += kSeparator + "\r\n" + ExamResult::resultLine("Вася", exam % 101, exam % 7 == 0)
                + "\r\n";
        const QByteArray large = Cp1251::encode(exams);
        const QStringList firstExams{kSeparator, ExamResult::resultLine("Вася", 0, true),
                                     kSeparator, ExamResult::resultLine("Вася", 1, false)};
        QTest::newRow("10 MB") << large << firstExams << large;
        const QByteArray tooLarge(ScoreText::kMaxFileBytes + 1, 'x');
        QTest::newRow("beyond the bound") << tooLarge << QStringList{""} << tooLarge;
    }
    void loadAndSaveBack()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, shown);
        QFETCH(QByteArray, saved);
        m_screens->write(kScoreFile, file);
        m_screens->create();
        QCOMPARE(shownLines(scoreScreen()->scoreList, 4), shown);
        clickBack();
        QVERIFY(m_screens->read(kScoreFile) == saved);
    }

    // Every byte but zero survives load, list and save, apart from the line breaks, which become
    // CR LF (an LF CR is two breaks); the player's edits after unlocking are saved with them.
    void everyByteSurvives_data()
    {
        QTest::addColumn<bool>("edited");
        QTest::newRow("untouched") << false;
        QTest::newRow("edited after unlocking") << true;
    }
    void everyByteSurvives()
    {
        QFETCH(bool, edited);
        QByteArray file;
        QByteArray saved;
        for (int byte = 1; byte < 256; ++byte) {
            file += char(byte);
            // The byte sequence holds a lone LF (after 09) and a lone CR (before 0E).
            saved += byte == '\n' || byte == '\r' ? QByteArray("\r\n") : QByteArray(1, char(byte));
        }
        file += "\r\nx\n\ry\r\r\nz\xA0";
        saved += "\r\nx\r\n\r\ny\r\n\r\nz\xA0";
        m_screens->write(kScoreFile, file);
        m_screens->create();
        menuScreen()->onScoresClicked();
        if (edited) {
            // Every line break the player types or pastes is one on screen and CR LF in the file.
            scoreScreen()->onUnlockClicked();
            scoreScreen()->scoreList->setFocus();
            scoreScreen()->scoreList->moveCursor(QTextCursor::End);
            QTest::keyClicks(scoreScreen()->scoreList, "ab");
            QTest::keyClick(scoreScreen()->scoreList, Qt::Key_Return, Qt::ShiftModifier);
            QTest::keyClicks(scoreScreen()->scoreList, "cd");
            QApplication::clipboard()->setText(QString::fromUtf16(u"e\u2028f\u2029g\r\nh"));
            scoreScreen()->scoreList->paste();
            const QStringList shown = shownLines(scoreScreen()->scoreList);
            QCOMPARE(shown.mid(shown.size() - 5), QStringList({"z\u00A0ab", "cde", "f", "g", "h"}));
            saved += "ab\r\ncde\r\nf\r\ng\r\nh";
        }
        clickBack();
        QCOMPARE(m_screens->read(kScoreFile).toHex(' '), saved.toHex(' '));
    }

    // Loading and showing the screen keep the list at its top; the lines an exam appends scroll
    // the newest result into view, and showing the screen again keeps it there.
    void newestResultInView()
    {
        QByteArray file;
        for (int line = 0; line < 300; ++line)
            file += "line " + QByteArray::number(line) + "\r\n";
        m_screens->write(kScoreFile, file);
        m_screens->create();
        QScrollBar *bar = scoreScreen()->scoreList->verticalScrollBar();
        QCOMPARE(bar->value(), 0);
        menuScreen()->onScoresClicked();
        QCOMPARE(bar->value(), 0);
        clickBack();

        scoreScreen()->showScreen();
        scoreScreen()->appendLine(kSeparator);
        scoreScreen()->appendLine("x - 57 % ...");
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());
        QCOMPARE(shownLines(scoreScreen()->scoreList).mid(300),
                 QStringList({kSeparator, "x - 57 % ...", ""}));
        const QTextCursor result = scoreScreen()->scoreList->document()->find("x - 57 % ...");
        QVERIFY(scoreScreen()->scoreList->viewport()->rect().contains(
            scoreScreen()->scoreList->cursorRect(result)));
        clickBack();
        menuScreen()->onScoresClicked();
        QCOMPARE(bar->value(), bar->maximum());
        // Appends leave no history behind that would grow with every exam.
        QCOMPARE(scoreScreen()->scoreList->document()->availableUndoSteps(), 0);
    }

    // The list shows as many lines at every DPI as at 120, whatever its height (the lines' whole
    // pixels grow faster than the scale): a list that fits at 120 dpi fits, and opens at its top.
    void linesInViewAsAt120_data()
    {
        QTest::addColumn<double>("factor");
        for (double factor : {0.8, 1.2, 1.6, 2.0})
            QTest::addRow("%g", factor) << factor;
    }
    void linesInViewAsAt120()
    {
        QFETCH(double, factor);
        const QString lines = QStringLiteral("line\r\n").repeated(40);
        const auto linesInView = [&](double at, int designHeight) {
            Scaling::setFactor(at);
            MultiLineEdit list(nullptr);
            list.setFont(Scaling::font(20, true));
            list.setGeometry(Scaling::rect(0, 0, 694, designHeight));
            list.setText(lines);
            list.show();
            return list.verticalScrollBar()->pageStep();
        };
        // Below 120 dpi a line may lose less than the scale and more than the margins hold: there
        // only the list's own height is held.
        for (int designHeight = factor < 1 ? 345 : 320; designHeight <= 345; ++designHeight)
            QCOMPARE(linesInView(factor, designHeight), linesInView(1.0, designHeight));
    }

    // A FIFO in place of the score file neither blocks the start nor is written through: the list
    // starts empty without a message, and "Назад" saves it to the fallback.
    void fifoInPlaceOfScoreFile()
    {
        QCOMPARE(mkfifo(qPrintable(m_screens->path(kScoreFile)), 0644), 0);
        m_screens->create();
        QCOMPARE(scoreScreen()->scoreList->text(), QString());
        QVERIFY(ErrorBox::openTexts().isEmpty());
        scoreScreen()->appendLine("a");
        clickBack();
        QVERIFY(ErrorBox::openTexts().isEmpty());
        QCOMPARE(m_screens->read("score.inf"), QByteArray("a\r\n"));
        struct stat status {};
        QCOMPARE(::stat(qPrintable(m_screens->path(kScoreFile)), &status), 0);
        QVERIFY(S_ISFIFO(status.st_mode));
    }

    // A long line is shown in pieces that the layout can take: a piece ends after its last space,
    // so no word is cut, and one without spaces (a 1 MB line) at the most a piece holds.
    // Backspace and Delete at a piece's edge remove the neighbouring character of the line, which
    // is saved whole.
    void longLines()
    {
        const QByteArray word = Cp1251::encode(QString::fromUtf8("слово "));
        const QByteArray line = word.repeated(1000);
        m_screens->write(kScoreFile, line + "\r\n" + QByteArray(1 << 20, 'x'));
        m_screens->create();
        menuScreen()->onScoresClicked();
        scoreScreen()->repaint();
        QTextDocument *document = scoreScreen()->scoreList->document();
        const int wordsInPiece = MultiLineEdit::kShownPiece / word.size();
        QCOMPARE(document->firstBlock().text(), QString::fromUtf8("слово ").repeated(wordsInPiece));
        QVERIFY(document->firstBlock().next().text().startsWith(QString::fromUtf8("слово слово")));
        QCOMPARE(document->blockCount(), 3 + (1 << 20) / MultiLineEdit::kShownPiece);

        scoreScreen()->onUnlockClicked();
        scoreScreen()->scoreList->setFocus();
        scoreScreen()->scoreList->setTextCursor(QTextCursor(document->firstBlock().next()));
        QTest::keyClick(scoreScreen()->scoreList, Qt::Key_Backspace);
        QTest::keyClick(scoreScreen()->scoreList, Qt::Key_Delete);
        clickBack();
        const qsizetype edge = wordsInPiece * word.size();
        QVERIFY(m_screens->read(kScoreFile)
                == QByteArray(line).remove(edge - 1, 2) + "\r\n" + QByteArray(1 << 20, 'x'));
    }

    // After a last line without a break the separator goes on a line of its own, and the file
    // again ends without a break.
    void lastLineWithoutBreak()
    {
        m_screens->write(kScoreFile, "old line");
        m_screens->create();
        scoreScreen()->appendLine(kSeparator);
        scoreScreen()->appendLine("x - 57 % ...");
        clickBack();
        QCOMPARE(m_screens->read(kScoreFile),
                 QByteArray("old line\r\n-----------------\r\nx - 57 % ..."));
    }

    // No score file: an empty list and no message; "Назад" then writes an empty file where the
    // data directory is, or in the working directory when there is none.
    void noFile_data()
    {
        QTest::addColumn<bool>("dataDirectory");
        QTest::addColumn<QString>("written");
        QTest::newRow("data directory") << true << kScoreFile;
        QTest::newRow("no data directory") << false << QString("score.inf");
    }
    void noFile()
    {
        QFETCH(bool, dataDirectory);
        QFETCH(QString, written);
        if (!dataDirectory)
            QVERIFY(QDir(m_screens->path("base")).removeRecursively());
        m_screens->create();
        QCOMPARE(scoreScreen()->scoreList->text(), QString());
        menuScreen()->onScoresClicked();
        clickBack();
        QVERIFY(ErrorBox::openTexts().isEmpty());
        QVERIFY(QFileInfo(m_screens->path(written)).isFile());
        QCOMPARE(QFileInfo(m_screens->path(written)).size(), 0);
        if (!dataDirectory)
            QVERIFY(!QFileInfo::exists(m_screens->path("base")));
    }

    // A score file that cannot be replaced (here a directory stands in its place, which stops
    // root too) sends the list silently to score.inf in the working directory.
    void unwritableScoreFile()
    {
        QDir().mkpath(m_screens->path(kScoreFile));
        m_screens->create();
        scoreScreen()->appendLine("a");
        clickBack();
        QVERIFY(ErrorBox::openTexts().isEmpty());
        QCOMPARE(m_screens->read("score.inf"), QByteArray("a\r\n"));
    }

    // When the fallback fails too, the error box says so; the menu is already back, its hover
    // timer on, and the list keeps its text for a later try.
    void bothSavesFail()
    {
        QDir().mkpath(m_screens->path(kScoreFile));
        QDir().mkpath(m_screens->path("score.inf"));
        m_screens->create();
        menuScreen()->hoverTimer->setEnabled(false);
        scoreScreen()->appendLine("a");
        menuScreen()->onScoresClicked();
        clickBack();
        QCOMPARE(ErrorBox::openTexts(), QStringList{"Cannot create file score.inf."});
        QVERIFY(menuScreen()->isVisible());
        QVERIFY(scoreScreen()->isHidden());
        QVERIFY(menuScreen()->hoverTimer->enabled());
        QCOMPARE(scoreScreen()->scoreList->text(), QString("a\r\n"));
    }

    // The menu piece restarts on "Назад" only with the sound on and a name other than the lordly
    // one (letter case counting); a piece that fails is reported without stopping the way back.
    void musicStep_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("sound");
        QTest::addColumn<bool>("restarts");
        QTest::newRow("other name, sound on") << "Petya" << 1 << true;
        QTest::newRow("other name, sound off") << "Petya" << 0 << false;
        QTest::newRow("lordly name, sound on") << "wenKT" << 1 << false;
        QTest::newRow("lordly name in other case") << "wenkt" << 1 << true;
    }
    void musicStep()
    {
        QFETCH(QString, name);
        QFETCH(int, sound);
        QFETCH(bool, restarts);
        m_screens->write("base/sound/pms.mp3", "not really music");
        m_screens->create();
        ErrorBox::closeAll();
        menuScreen()->nameField->setText(name);
        if (sound == 0)
            shellMusic().switchSound();
        menuScreen()->musicPlayer->setFileName("untouched");
        menuScreen()->onScoresClicked();
        scoreScreen()->appendLine("a");
        clickBack();
        QCOMPARE(menuScreen()->musicPlayer->fileName(),
                 restarts ? QString("base\\sound\\pms.mp3") : QString("untouched"));
        // The piece cannot be played: one box for it, and the rest of the way back still runs.
        QCOMPARE(ErrorBox::openTexts().size(), restarts ? 1 : 0);
        QVERIFY(menuScreen()->isVisible());
        QVERIFY(menuScreen()->hoverTimer->enabled());
        QCOMPARE(m_screens->read(kScoreFile), QByteArray("a\r\n"));
    }

    // Unlocked, the list takes typed text (never Enter, which runs the menu's action instead);
    // "Назад" saves it and the next start loads it.
    void unlockedListIsSavedAndLoaded()
    {
        m_screens->write(kScoreFile, "first\r\n");
        m_screens->create();
        menuScreen()->nameField->setText("x");
        menuScreen()->onScoresClicked();
        QTest::keyClicks(scoreScreen()->scoreList, "zz");
        QCOMPARE(scoreScreen()->scoreList->text(), QString("first\r\n"));

        QTest::mouseClick(scoreScreen()->unlockImage, Qt::LeftButton);
        QVERIFY(!scoreScreen()->scoreList->isReadOnly());
        scoreScreen()->scoreList->setFocus();
        scoreScreen()->scoreList->moveCursor(QTextCursor::End);
        QTest::sendKeyEvent(QTest::Click, scoreScreen()->scoreList, Qt::Key_A,
                            QString::fromUtf8("Ж"), Qt::NoModifier);
        QTest::keyClicks(scoreScreen()->scoreList, " b");
        QTest::keyClick(scoreScreen()->scoreList, Qt::Key_Return);
        QCOMPARE(scoreScreen()->scoreList->text(), QString::fromUtf8("first\r\nЖ b"));
        QVERIFY(!menuScreen()->hiddenPanel->isHidden());

        clickBack();
        QCOMPARE(m_screens->read(kScoreFile), QByteArray("first\r\n\xC6 b"));
        // Unlocking lasts: the list is still editable on the next visit.
        menuScreen()->onScoresClicked();
        QVERIFY(!scoreScreen()->scoreList->isReadOnly());

        m_screens->destroy();
        m_screens->create();
        QCOMPARE(scoreScreen()->scoreList->text(), QString::fromUtf8("first\r\nЖ b"));
        QVERIFY(scoreScreen()->scoreList->isReadOnly());
    }

    // "Назад" turns sky blue under the pointer and white again over the panel or the list; the
    // help area changes nothing.
    void hoverColours()
    {
        m_screens->create();
        menuScreen()->onScoresClicked();
        QTest::mouseMove(scoreScreen()->backButton, QPoint(5, 5));
        QCOMPARE(scoreScreen()->backButton->fontColor(), kSkyBlue);
        QTest::mouseMove(scoreScreen()->unlockImage, QPoint(5, 5));
        QCOMPARE(scoreScreen()->backButton->fontColor(), kSkyBlue);
        QTest::mouseMove(scoreScreen()->bottomPanel, QPoint(150, 40));
        QCOMPARE(scoreScreen()->backButton->fontColor(), kWhite);
        QTest::mouseMove(scoreScreen()->backButton, QPoint(6, 6));
        QCOMPARE(scoreScreen()->backButton->fontColor(), kSkyBlue);
        QTest::mouseMove(scoreScreen()->scoreList->viewport(), QPoint(50, 50));
        QCOMPARE(scoreScreen()->backButton->fontColor(), kWhite);
    }

private:
    std::unique_ptr<ScreenFixture> m_screens;
};

QTEST_MAIN(TestScoreScreen)
#include "test_ScoreScreen.moc"
