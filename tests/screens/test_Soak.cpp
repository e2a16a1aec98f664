// Many exams in a row through the handlers, at the fast clock, with the game's own pictures,
// clips and music: the examiner walks out, patrols and comes back, the three sheet icons cycle,
// every exam ends with a result and "Назад" saves the list. Memory stays flat after warm-up, and
// afterwards exactly the timers and clips run that ran before.
//
// PEMY_SOAK_EXAMS overrides the number of exams (the default keeps the test within seconds);
// PEMY_SOAK_LOG=1 prints the resident memory every 25 exams.

#include "ScreenFixture.h"

#include "about/AboutScreen.h"
#include "clip/ClipPlayer.h"
#include "game/GameScreen.h"
#include "menu/MenuScreen.h"
#include "score/ScoreScreen.h"
#include "toolkit/FlatButton.h"
#include "toolkit/LineEdit.h"
#include "toolkit/MultiLineEdit.h"
#include "toolkit/Timer.h"
#include "widgets/Gauge.h"

#include <QFile>

#include <unistd.h>

namespace {

constexpr int kDefaultExams = 300;
// Exams before the first measurement: caches, clip frames and the allocator settle by then.
constexpr int kWarmUpExams = 30;
// Allowed growth of the resident set from the end of the warm-up to the last exam.
constexpr qint64 kAllowedGrowth = 2 * 1024 * 1024;
// The address sanitizer keeps freed memory in quarantine, so the resident set says nothing there;
// its own leak check stands in for the measurement.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMeasureMemory = false;
#else
constexpr bool kMeasureMemory = true;
#endif
// Every exam must end well within this many clock ticks (101 when only the time ends it).
constexpr int kTickLimit = 400;

// Resident set size of this process in bytes.
qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * sysconf(_SC_PAGESIZE) : -1;
}

// What runs between two exams: the enabled timers and the playing clips of every screen.
QStringList running()
{
    QStringList names;
    const QList<std::pair<const char *, Timer *>> timers{
        {"exam clock", gameScreen()->examClock},       {"walk timer", gameScreen()->walkTimer},
        {"loading timer", menuScreen()->loadingTimer}, {"echo guard", shellMusic().echoGuard()},
        {"hover timer", menuScreen()->hoverTimer},     {"move timer", aboutScreen()->moveTimer},
        {"caption timer", aboutScreen()->captionTimer}};
    for (const auto &[name, timer] : timers)
        if (timer->enabled())
            names << QString::fromLatin1(name);
    const QList<std::pair<const char *, ClipPlayer *>> clips{
        {"examiner", gameScreen()->examinerClip},
        {"desk", gameScreen()->deskClip},
        {"copybook", gameScreen()->copybookClip}};
    for (const auto &[name, clip] : clips)
        if (clip->active())
            names << QString::fromLatin1(name);
    return names;
}

// Delivers what the handlers posted (repaints, music notifications) but runs no timer: the test
// fires the game's timers itself, so every run takes the same course.
void settle()
{
    QCoreApplication::sendPostedEvents();
}

// One tick of the exam clock and one of the walk, as the fast clock and the walk timer (both
// 100 ms) come, and a frame of every clip that plays on the shown game screen, as its own timer
// would: the clips then fill their frame caches in the first exams, as they do in play, instead of
// one frame now and then when the screen is shown again.
void tick()
{
    gameScreen()->examClock->fire();
    if (gameScreen()->walkTimer->enabled())
        gameScreen()->walkTimer->fire();
    for (ClipPlayer *clip :
         {gameScreen()->examinerClip, gameScreen()->deskClip, gameScreen()->copybookClip})
        if (clip->isTicking())
            clip->frameTimer();
    settle();
}

// Ticks while the exam runs and `until` is false; returns false when the exam outlasted the limit.
bool tickWhile(const std::function<bool()> &until, int &ticks)
{
    while (gameScreen()->examClock->enabled() && !until()) {
        if (++ticks > kTickLimit)
            return false;
        tick();
    }
    return true;
}

} // namespace

class TestSoak : public QObject {
    Q_OBJECT
private slots:
    void manyExams()
    {
        ScreenFixture screens;
        for (const char *asset :
             {"base/image/fon.jpg", "base/video/pemik.avi", "base/video/table.avi",
              "base/video/copybook.avi", "base/sound/pms.mp3", "base/sound/pms2.mp3",
              "base/image/Ico/b1.ico", "base/image/Ico/b2.ico", "base/image/Ico/b3.ico",
              "base/image/Ico/b4.ico", "base/image/Ico/b5.ico"})
            screens.copyAsset(QString::fromLatin1(asset));
        screens.create();
        QVERIFY(ErrorBox::openTexts().isEmpty());
        const QStringList before = running();
        const int exams = qEnvironmentVariableIsSet("PEMY_SOAK_EXAMS")
            ? qEnvironmentVariableIntValue("PEMY_SOAK_EXAMS")
            : kDefaultExams;
        const bool log = qEnvironmentVariableIsSet("PEMY_SOAK_LOG");

        menuScreen()->nameField->setText(QStringLiteral("Soak"));
        gameScreen()->onFastClockTriggered();
        qint64 warm = -1;
        int walks = 0;
        for (int exam = 1; exam <= exams; ++exam) {
            menuScreen()->onNewGameClicked();
            for (int t = 0; t < 200 && !gameScreen()->isVisible(); ++t) {
                menuScreen()->loadingTimer->fire();
                settle();
            }
            QVERIFY2(gameScreen()->examClock->enabled(), qPrintable(QString::number(exam)));

            // Out: notes and cribs at the desk until the examiner gets up; then bombs or nothing,
            // keeping the suspicion between 55 and 68 (never in the call-back band 51..54), until
            // he patrols. Back: nothing in use until he is seated again. Then the time runs out.
            int ticks = 0;
            QVERIFY(tickWhile(
                [] {
                    if (gameScreen()->exam().walk().state == ExaminerWalk::State::Patrolling)
                        return true;
                    if (gameScreen()->exam().walk().state == ExaminerWalk::State::AtDesk) {
                        gameScreen()->exam().hoverSheet(Sheet::Notes);
                        gameScreen()->exam().hoverSheet(Sheet::Cribs);
                    } else if (gameScreen()->suspicionGauge->progress() < 58) {
                        gameScreen()->exam().hoverSheet(Sheet::Bombs);
                    } else {
                        gameScreen()->exam().hoverAnswerSheet();
                    }
                    return false;
                },
                ticks));
            if (gameScreen()->exam().walk().state == ExaminerWalk::State::Patrolling)
                ++walks;

            gameScreen()->exam().hoverAnswerSheet();
            QVERIFY(tickWhile(
                [] {
                    return gameScreen()->exam().walk().state == ExaminerWalk::State::AtDesk
                        && !gameScreen()->walkTimer->enabled();
                },
                ticks));
            QVERIFY(tickWhile([] { return false; }, ticks));
            QCOMPARE(gameScreen()->exam().walk().state, ExaminerWalk::State::AtDesk);

            QVERIFY(scoreScreen()->isVisible());
            scoreScreen()->onBackClicked();
            QVERIFY(menuScreen()->isVisible());
            settle();
            // The music's one-shot timer after a restart of the menu piece.
            if (shellMusic().echoGuard()->enabled())
                shellMusic().echoGuard()->fire();
            if (exam == kWarmUpExams)
                warm = residentBytes();
            if (log && exam % 25 == 0)
                qInfo("exam %d: %lld KB resident", exam, residentBytes() / 1024);
        }
        QVERIFY(ErrorBox::openTexts().isEmpty());
        QVERIFY2(walks == exams, "the examiner did not patrol in every exam");
        QCOMPARE(scoreScreen()->scoreList->text().count(QStringLiteral("\r\n")), 2 * exams);

        // The examiner is home (every exam ended with him seated), so nothing runs that did not run
        // before the first exam: the menu's pulse and the examiner's and the desk's clips.
        QStringList rest = before;
        rest.removeOne(QStringLiteral("copybook")); // the copybook rests with nothing in use
        QCOMPARE(running(), rest);
        if (kMeasureMemory && exams > kWarmUpExams) {
            const qint64 growth = residentBytes() - warm;
            QVERIFY2(growth < kAllowedGrowth,
                     qPrintable(QStringLiteral("resident memory grew by %1 KB after warm-up")
                                    .arg(growth / 1024)));
        }
    }
};

QTEST_MAIN(TestSoak)
#include "test_Soak.moc"
