// The music player: its refusals, its one notification per request (completed, superseded, aborted
// or failed), its positions, its button bar; first over a fake back-end whose pieces end when the
// test says, then over SDL2_mixer with the dummy audio driver and pieces written by the test.

#include "toolkit/ErrorBox.h"
#include "toolkit/GameError.h"
#include "widgets/SdlMusicBackend.h"
#include "widgets/TMediaPlayer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QToolButton>
#include <QtEndian>
#include <QtTest>

#include <thread>

namespace {

// Plays nothing; records the calls; a piece ends when the test calls endNaturally(). Like SDL2_mixer,
// closing a playing piece calls the finished handler synchronously.
class FakeBackend : public MusicBackend {
public:
    QStringList calls;
    bool failOpen = false;
    QString openError;
    bool failPlay = false;

    bool open(const QString &path, QString *error) override
    {
        calls << "open " + path;
        if (failOpen) {
            *error = openError;
            return false;
        }
        return true;
    }
    void close() override
    {
        calls << "close";
        if (m_playing)
            endNaturally();
    }
    bool play() override
    {
        calls << "play";
        m_playing = !failPlay;
        return !failPlay;
    }
    void pause() override { calls << "pause"; }
    void resume() override { calls << "resume"; }
    void setFinishedHandler(std::function<void()> handler) override { m_finished = std::move(handler); }

    void endNaturally()
    {
        m_playing = false;
        m_finished();
    }

private:
    bool m_playing = false;
    std::function<void()> m_finished;
};

// A player over a fake back-end that counts its notifications.
struct Rig {
    FakeBackend *fake = new FakeBackend;
    TMediaPlayer player{nullptr, std::unique_ptr<MusicBackend>(fake)};
    int notified = 0;
    QList<TMediaPlayer::Mode> modeAtNotify;

    Rig()
    {
        player.onNotify = [this] {
            ++notified;
            modeAtNotify << player.mode();
        };
        player.setFileName("base\\sound\\pms.mp3");
    }
    // Delivers every notification that is on its way.
    void settle() { QCoreApplication::processEvents(); QCoreApplication::processEvents(); }
};

QString errorOf(const std::function<void()> &operation)
{
    try {
        operation();
    } catch (const GameError &error) {
        return error.text();
    }
    return QString();
}

// A mono 16-bit WAV of `ms` milliseconds of a quiet tone.
QByteArray wav(int ms)
{
    const int rate = 22050;
    const int samples = rate * ms / 1000;
    QByteArray data(samples * 2, '\0');
    for (int i = 0; i < samples; ++i)
        qToLittleEndian<qint16>(qint16((i % 50) * 100), data.data() + 2 * i);
    QByteArray out;
    const auto le32 = [&out](quint32 v) { char b[4]; qToLittleEndian(v, b); out.append(b, 4); };
    const auto le16 = [&out](quint16 v) { char b[2]; qToLittleEndian(v, b); out.append(b, 2); };
    out += "RIFF";
    le32(36 + data.size());
    out += "WAVEfmt ";
    le32(16);
    le16(1);        // PCM
    le16(1);        // mono
    le32(rate);
    le32(rate * 2); // bytes per second
    le16(2);        // block
    le16(16);       // bits
    out += "data";
    le32(data.size());
    return out + data;
}

// A MIDI file with one quarter-second note.
QByteArray midi()
{
    return QByteArray::fromHex("4d546864000000060000000100604d54726b0000000c"
                               "00903c64" "30803c40" "00ff2f00");
}

} // namespace

class TestTMediaPlayer : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void refusesCommandsWithoutAPiece();
    void notificationComesLaterAndOnce();
    void everyWayARequestEnds_data();
    void everyWayARequestEnds();
    void stopAndPauseKeepThePosition();
    void lateEndOfAStoppedOrClosedPiece();
    void buttonBar();
    void sdlPlaysSilentlyInRealTime();
    void sdlPausesAndResumes();
    void sdlReportsItsOpenError();
    void sdlFallsBackToTheSilentOutput();

private:
    QTemporaryDir m_dir;
};

void TestTMediaPlayer::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir::setCurrent(m_dir.path()));
    QVERIFY(QDir().mkpath("base/sound"));
    QVERIFY(QDir().mkpath("base/soundLite"));
    for (const auto &[name, bytes] : {std::pair{"base/sound/short.wav", wav(300)},
                                      {"base/sound/long.wav", wav(1500)},
                                      {"base/soundLite/pms.mid", midi()},
                                      {"base/sound/broken.mp3", QByteArray("no music in here")}}) {
        QFile file(name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
}

// Play, Stop and Pause refuse with "No MCI device open" before any open and after a failed one;
// a failed open raises the back-end's text, or "Unknown error code" when it has none.
void TestTMediaPlayer::refusesCommandsWithoutAPiece()
{
    Rig rig;
    for (int round = 0; round < 2; ++round) {
        QCOMPARE(errorOf([&] { rig.player.play(); }), QString("No MCI device open"));
        QCOMPARE(errorOf([&] { rig.player.stop(); }), QString("No MCI device open"));
        QCOMPARE(errorOf([&] { rig.player.pause(); }), QString("No MCI device open"));
        rig.fake->failOpen = true;
        rig.fake->openError = round == 0 ? "The file is damaged" : "";
        QCOMPARE(errorOf([&] { rig.player.open(); }),
                 round == 0 ? QString("The file is damaged") : QString("Unknown error code"));
        QVERIFY(!rig.player.isOpen());
    }
    rig.settle();
    QCOMPARE(rig.notified, 0);
}

// A play is answered once, after the call has returned and only when the piece has ended, even
// when the end is reported from another thread; the notification runs on the UI thread.
void TestTMediaPlayer::notificationComesLaterAndOnce()
{
    Rig rig;
    QThread *uiThread = QThread::currentThread();
    QThread *notifiedOn = nullptr;
    rig.player.onNotify = [&] {
        ++rig.notified;
        notifiedOn = QThread::currentThread();
    };
    rig.player.open();
    QCOMPARE(rig.fake->calls, (QStringList{"open base/sound/pms.mp3"}));
    rig.player.play();
    rig.settle();
    QCOMPARE(rig.notified, 0);
    QCOMPARE(rig.player.mode(), TMediaPlayer::Mode::Playing);

    std::thread audio([&] { rig.fake->endNaturally(); });
    audio.join();
    QCOMPARE(rig.notified, 0);
    QTRY_COMPARE(rig.notified, 1);
    QCOMPARE(notifiedOn, uiThread);
    QCOMPARE(rig.player.mode(), TMediaPlayer::Mode::Stopped);
    rig.settle();
    QCOMPARE(rig.notified, 1);
}

void TestTMediaPlayer::everyWayARequestEnds_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<TMediaPlayer::Mode>("modeAfter");
    QTest::newRow("superseded by a play") << "play" << TMediaPlayer::Mode::Playing;
    QTest::newRow("superseded by a resume") << "pause pause" << TMediaPlayer::Mode::Playing;
    QTest::newRow("aborted by stop") << "stop" << TMediaPlayer::Mode::Stopped;
    QTest::newRow("aborted by a stop while paused") << "pause stop" << TMediaPlayer::Mode::Stopped;
    QTest::newRow("aborted by close") << "close" << TMediaPlayer::Mode::NotOpen;
    QTest::newRow("aborted by a new open") << "open play" << TMediaPlayer::Mode::Playing;
}

// Each way a play request can end yields exactly one notification, after the command that ended
// it; a pause alone ends nothing, and stop asks for none of its own. After a new open and play the
// old piece's notification arrives with the new piece playing (the echo the menu expects).
void TestTMediaPlayer::everyWayARequestEnds()
{
    QFETCH(QString, how);
    QFETCH(TMediaPlayer::Mode, modeAfter);
    Rig rig;
    rig.player.open();
    rig.player.play();
    for (const QString &command : how.split(' ')) {
        if (command == "play") rig.player.play();
        else if (command == "pause") rig.player.pause();
        else if (command == "stop") rig.player.stop();
        else if (command == "close") rig.player.close();
        else if (command == "open") rig.player.open();
    }
    QCOMPARE(rig.notified, 0);
    rig.settle();
    QCOMPARE(rig.notified, 1);
    QCOMPARE(rig.modeAtNotify, (QList<TMediaPlayer::Mode>{modeAfter}));
    QCOMPARE(rig.player.mode(), modeAfter);

    if (rig.player.isOpen())
        rig.player.stop(); // ends a request still under way; asks for none of its own
    rig.settle();
    const int expected = modeAfter == TMediaPlayer::Mode::Playing ? 2 : 1;
    QCOMPARE(rig.notified, expected);
    if (rig.player.isOpen())
        rig.player.stop();
    rig.settle();
    QCOMPARE(rig.notified, expected);
}

// Stop and pause hold the piece where it is, so the next play resumes it; a piece that has played
// to its end starts again from its beginning (AutoRewind), or, without AutoRewind, the play is over
// at once. A failed start is still answered. Pause on a stopped piece does nothing.
void TestTMediaPlayer::stopAndPauseKeepThePosition()
{
    Rig rig;
    rig.player.open();
    rig.fake->calls.clear();
    rig.player.play();
    rig.player.stop();
    rig.player.pause();
    rig.player.play();
    QCOMPARE(rig.fake->calls, (QStringList{"play", "pause", "resume"}));

    rig.fake->endNaturally();
    rig.settle();
    QCOMPARE(rig.notified, 2); // the stopped one and the resumed one
    rig.fake->calls.clear();
    rig.player.play();
    QCOMPARE(rig.fake->calls, (QStringList{"play"}));
    rig.fake->endNaturally();
    rig.settle();
    QCOMPARE(rig.notified, 3);

    rig.player.autoRewind = false;
    rig.fake->calls.clear();
    rig.player.play();
    QVERIFY(rig.fake->calls.isEmpty());
    rig.settle();
    QCOMPARE(rig.notified, 4);
    QCOMPARE(rig.player.mode(), TMediaPlayer::Mode::Stopped);

    rig.player.autoRewind = true;
    rig.fake->failPlay = true;
    rig.player.play();
    rig.settle();
    QCOMPARE(rig.notified, 5);
    QCOMPARE(rig.player.mode(), TMediaPlayer::Mode::Stopped);
}

// The end of a piece that is reported but not yet handled when the piece is stopped or closed
// completes nothing more: the stop or close already answered the request. A stopped piece that had
// in fact ended starts from its beginning at the next play.
void TestTMediaPlayer::lateEndOfAStoppedOrClosedPiece()
{
    Rig rig;
    rig.player.open();
    rig.player.play();
    rig.fake->endNaturally();
    rig.player.stop();
    rig.settle();
    QCOMPARE(rig.notified, 1);
    rig.fake->calls.clear();
    rig.player.play();
    QCOMPARE(rig.fake->calls, (QStringList{"play"}));

    rig.fake->endNaturally();
    rig.player.close();
    rig.settle();
    QCOMPARE(rig.notified, 2);
    QVERIFY(!rig.player.isOpen());
}

// The bar is 85 × 30 with play, pause and stop; its buttons act on the player, and a refused
// command goes to the error box instead of escaping.
void TestTMediaPlayer::buttonBar()
{
    Rig rig;
    QCOMPARE(rig.player.size(), QSize(85, 30));
    const auto buttons = rig.player.findChildren<QToolButton *>();
    QCOMPARE(buttons.size(), 3);

    buttons[0]->click();
    QCOMPARE(ErrorBox::openTexts(), QStringList{"No MCI device open."});
    ErrorBox::closeAll();

    rig.player.open();
    buttons[0]->click();
    QCOMPARE(rig.player.mode(), TMediaPlayer::Mode::Playing);
    buttons[1]->click();
    QCOMPARE(rig.player.mode(), TMediaPlayer::Mode::Paused);
    buttons[2]->click();
    QCOMPARE(rig.player.mode(), TMediaPlayer::Mode::Stopped);
    QVERIFY(ErrorBox::openTexts().isEmpty());
}

// Over SDL2_mixer (dummy driver): WAV and MIDI pieces play in real time and each play is answered
// once when the piece ends; a second play starts the ended piece again.
void TestTMediaPlayer::sdlPlaysSilentlyInRealTime()
{
    TMediaPlayer player;
    int notified = 0;
    player.onNotify = [&] { ++notified; };
    for (const char *name : {"base\\sound\\short.wav", "Base\\SoundLite\\PMS.MID"}) {
        notified = 0;
        player.setFileName(name);
        player.open();
        player.play();
        QCOMPARE(player.mode(), TMediaPlayer::Mode::Playing);
        QTRY_COMPARE_WITH_TIMEOUT(notified, 1, 20000);
        QCOMPARE(player.mode(), TMediaPlayer::Mode::Stopped);
        player.play();
        QTRY_COMPARE_WITH_TIMEOUT(notified, 2, 20000);
    }
    QTest::qWait(300);
    QCOMPARE(notified, 2);
}

// A paused SDL piece does not end; resuming supersedes the paused request and the piece then ends
// as usual. A piece opened after a stop plays to its end. Closing a playing piece aborts its
// request with one notification.
void TestTMediaPlayer::sdlPausesAndResumes()
{
    TMediaPlayer player;
    int notified = 0;
    player.onNotify = [&] { ++notified; };
    player.setFileName("base\\sound\\short.wav");
    player.open();
    player.play();
    player.pause();
    QTest::qWait(800); // longer than the piece
    QCOMPARE(notified, 0);
    player.pause();
    QTRY_COMPARE_WITH_TIMEOUT(notified, 2, 20000);

    // Stop, a new open and play (the about button's steps) start the new piece, which then ends.
    player.play();
    player.stop();
    QTRY_COMPARE(notified, 3);
    player.open();
    player.play();
    QTRY_COMPARE_WITH_TIMEOUT(notified, 4, 20000);

    player.setFileName("base\\sound\\long.wav");
    player.open();
    player.play();
    player.close();
    QTRY_COMPARE(notified, 5);
    QTest::qWait(300);
    QCOMPARE(notified, 5);
}

// A file SDL2_mixer cannot read fails to open with SDL's own text.
void TestTMediaPlayer::sdlReportsItsOpenError()
{
    TMediaPlayer player;
    for (const char *name : {"base\\sound\\broken.mp3", "base\\sound\\missing.mp3"}) {
        player.setFileName(name);
        const QString error = errorOf([&] { player.open(); });
        QVERIFY2(!error.isEmpty() && error != "Unknown error code", qPrintable(error));
        QVERIFY(!player.isOpen());
    }
}

// When the first audio driver cannot be used, the back-end falls back to the silent output and the
// piece still plays to its end.
void TestTMediaPlayer::sdlFallsBackToTheSilentOutput()
{
    auto *backend = new SdlMusicBackend("no-such-driver");
    TMediaPlayer player(nullptr, std::unique_ptr<MusicBackend>(backend));
    int notified = 0;
    player.onNotify = [&] { ++notified; };
    player.setFileName("base\\sound\\short.wav");
    player.open();
    QVERIFY(backend->isSilent());
    player.play();
    QTRY_COMPARE_WITH_TIMEOUT(notified, 1, 20000);
}

QTEST_MAIN(TestTMediaPlayer)
#include "test_TMediaPlayer.moc"
