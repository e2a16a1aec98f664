// The music's rules over a player that only writes down what it is told. Each row is a course of
// events from the program's start; it checks what the player is told to do, and what follows when
// the piece then ends (or when a superseded request reports its end: an echo).

#include "formats/GameError.h"
#include "music/MusicRules.h"

#include <QTest>

#include <functional>
#include <map>

namespace {

using Piece = MusicRules::Piece;

class RecordingPlayer : public MusicRules {
public:
    QStringList log;
    QList<Piece> files{Piece::Menu, Piece::Exam, Piece::Lordly, Piece::About};

protected:
    bool hasPiece(Piece piece) const override { return files.contains(piece); }
    void startPiece(Piece piece) override
    {
        static const char *const names[] = {"menu", "exam", "lordly", "about"};
        m_open = true;
        log << QStringLiteral("start ") + names[int(piece)];
    }
    // Like the real player, these refuse while no piece is open.
    void stopPlayer() override { step("stop"); }
    void resumePlayer() override { step("resume"); }
    void pausePlayer() override { step("pause"); }
    void startEchoGuard() override { log << "guard"; }

private:
    void step(const QString &what)
    {
        if (!m_open) {
            log << what + " refused";
            throw GameError(QStringLiteral("No MCI device open"));
        }
        log << what;
    }
    bool m_open = false;
};

// Runs one event as its caller does: a refusal ends the event, and the caller's guard shows it.
void run(RecordingPlayer &music, const QString &event)
{
    const std::map<QString, std::function<void()>> events{
        {"start", [&] { music.start(); }},
        {"menu button", [&] { music.playMenuPiece(); }},
        {"exam loading", [&] { music.examLoadingStarted(); }},
        {"exam at 80 %", [&] { music.examPieceDue(); }},
        {"back from scores", [&] { music.backFromScores(); }},
        {"about", [&] { music.aboutOpened(); }},
        {"back from about", [&] { music.backFromAbout(); }},
        {"lordly", [&] { music.setLordlyPlayer(true); }},
        {"not lordly", [&] { music.setLordlyPlayer(false); }},
        {"end", [&] { music.pieceEnded(); }},
        {"guard ticks", [&] { music.echoGuardElapsed(); }},
        {"switch",
         [&] {
             const MusicRules::SoundSwitch sound = music.switchSound();
             music.log << QString(sound.on ? "sound on" : "sound off")
                     + (sound.failed ? " failed" : "");
         }},
    };
    QVERIFY2(events.count(event), qPrintable(event));
    try {
        events.at(event)();
    } catch (const GameError &) {
    }
}

} // namespace

class TestMusicRules : public QObject {
    Q_OBJECT
private slots:
    void courses_data()
    {
        QTest::addColumn<QList<Piece>>("files");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QStringList>("told");
        QTest::addColumn<QStringList>("whenItEnds");
        const QList<Piece> all{Piece::Menu, Piece::Exam, Piece::Lordly, Piece::About};
        const QList<Piece> midiOnly{Piece::Lordly, Piece::About};
        const QStringList restartMenu{"start menu", "guard"};
        const QStringList restartExam{"start exam", "guard"};
        const QStringList nothing;

        QTest::newRow("menu start: the menu piece repeats")
            << all << QStringList{"start"} << QStringList{"start menu"} << restartMenu;
        QTest::newRow("menu start without MP3s: the lordly piece, once")
            << midiOnly << QStringList{"start"} << QStringList{"start lordly"}
            << QStringList{"guard"};
        QTest::newRow("echo swallowed until the guard has ticked")
            << all << QStringList{"start", "end", "end", "guard ticks"}
            << QStringList{"start menu", "start menu", "guard"} << restartMenu;
        QTest::newRow("exam start: the exam piece at 80 % repeats")
            << all << QStringList{"start", "exam loading", "exam at 80 %"}
            << QStringList{"start menu", "start exam"} << restartExam;
        QTest::newRow("exam loading alone: the menu piece's end brings the exam piece")
            << all << QStringList{"start", "exam loading"} << QStringList{"start menu"}
            << restartExam;
        QTest::newRow("exam end to the score list and back: the menu piece repeats")
            << all
            << QStringList{"start", "exam loading", "exam at 80 %", "guard ticks",
                           "back from scores"}
            << QStringList{"start menu", "start exam", "start menu"} << restartMenu;
        QTest::newRow("exam and back with the sound off: nothing starts")
            << all
            << QStringList{"start", "switch", "exam loading", "exam at 80 %", "back from scores"}
            << QStringList{"start menu", "pause", "sound off"} << restartExam;
        QTest::newRow("about: its piece plays once")
            << all << QStringList{"start", "about"}
            << QStringList{"start menu", "stop", "start about"} << nothing;
        QTest::newRow("about and back: the menu piece loops but never restarts")
            << all
            << QStringList{"start", "about", "back from about", "exam loading", "exam at 80 %"}
            << QStringList{"start menu", "stop", "start about", "start exam"} << nothing;
        QTest::newRow("sound switch off and on: the looping piece repeats")
            << all << QStringList{"start", "switch", "switch"}
            << QStringList{"start menu", "pause", "sound off", "resume", "sound on"} << restartMenu;
        QTest::newRow("sound off when the guard ticks: repeating ends for good")
            << all << QStringList{"start", "end", "switch", "guard ticks", "switch"}
            << QStringList{"start menu", "start menu", "guard",   "pause",
                           "sound off",  "resume",     "sound on"}
            << nothing;
        QTest::newRow("sound switch with no piece open: it turns all the same")
            << QList<Piece>{} << QStringList{"start", "switch", "switch"}
            << QStringList{"pause refused", "sound off failed", "resume refused", "sound on failed"}
            << QStringList{"guard"};
        QTest::newRow("the lordly name: its piece once, and neither exam nor menu piece after")
            << all
            << QStringList{"start", "lordly", "exam loading", "exam at 80 %", "back from scores"}
            << QStringList{"start menu", "stop", "start lordly"} << nothing;
        QTest::newRow("the lordly name with the sound off: its piece all the same")
            << all << QStringList{"start", "switch", "lordly"}
            << QStringList{"start menu", "pause", "sound off", "stop", "start lordly"} << nothing;
        QTest::newRow("the lordly name with no piece open: refused, single all the same")
            << QList<Piece>{Piece::Lordly} << QStringList{"lordly"} << QStringList{"stop refused"}
            << nothing;
        QTest::newRow("a name no longer lordly: the exam piece again")
            << all << QStringList{"start", "lordly", "not lordly", "exam loading", "exam at 80 %"}
            << QStringList{"start menu", "stop", "start lordly", "start exam"} << nothing;
        QTest::newRow("the menu button: a missing piece changes nothing")
            << QList<Piece>{Piece::Exam} << QStringList{"start", "exam loading", "menu button"}
            << QStringList{} << restartExam;
    }

    void courses()
    {
        QFETCH(QList<Piece>, files);
        QFETCH(QStringList, events);
        QFETCH(QStringList, told);
        QFETCH(QStringList, whenItEnds);
        RecordingPlayer music;
        music.files = files;
        for (const QString &event : events)
            run(music, event);
        QCOMPARE(music.log, told);
        music.log.clear();
        run(music, "end");
        QCOMPARE(music.log, whenItEnds);
    }
};

QTEST_GUILESS_MAIN(TestMusicRules)
#include "test_MusicRules.moc"
