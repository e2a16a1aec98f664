// The music player: its refusals, its one notification per request (completed, superseded, aborted
// or failed), its positions, its button bar; first over a fake back-end whose pieces end when the
// test says, then over SDL2_mixer with the dummy audio driver and pieces written by the test.

#include "formats/GameError.h"
#include "formats/MusicFileCheck.h"
#include "music/MusicPlayer.h"
#include "music/SdlMusicBackend.h"
#include "toolkit/ErrorBox.h"
#include "unit/HostileFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QThread>
#include <QToolButton>
#include <QtTest>

#include <thread>

#include <unistd.h>

namespace {

// Plays nothing; records the calls; a piece ends when the test calls endNaturally(). Like
// SDL2_mixer, closing a playing piece calls the finished handler synchronously.
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
    void setFinishedHandler(std::function<void()> handler) override
    {
        m_finished = std::move(handler);
    }
    void setFailureHandler(std::function<void(const QString &)> handler) override
    {
        m_failed = std::move(handler);
    }

    void endNaturally()
    {
        m_playing = false;
        m_finished();
    }
    // The piece accepted by open() turns out not to load once the output is ready.
    void failLate(const QString &error)
    {
        m_playing = false;
        m_failed(error);
    }

private:
    bool m_playing = false;
    std::function<void()> m_finished;
    std::function<void(const QString &)> m_failed;
};

// A player over a fake back-end that counts its notifications.
struct Rig {
    FakeBackend *fake = new FakeBackend;
    MusicPlayer player{nullptr, std::unique_ptr<MusicBackend>(fake)};
    int notified = 0;
    QList<MusicPlayer::Mode> modeAtNotify;

    Rig()
    {
        QObject::connect(&player, &MusicPlayer::notified, [this] {
            ++notified;
            modeAtNotify << player.mode();
        });
        player.setFileName("base\\sound\\pms.mp3");
    }
    // Delivers every notification that is on its way.
    void settle()
    {
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
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

// An MP3 of about `ms` milliseconds of silence: MPEG-1 layer III frames, 64 kbit/s, 44.1 kHz, mono,
// whose side information is all zero, so each decodes to 1152 silent samples.
QByteArray mp3(int ms)
{
    const int frames = (ms * 44100 / 1000 + 1151) / 1152;
    QByteArray frame(208, '\0');
    frame[0] = char(0xff);
    frame[1] = char(0xfb);
    frame[2] = char(0x50);
    frame[3] = char(0xc0);
    return frame.repeated(frames);
}

// A MIDI file with one quarter-second note.
QByteArray midi()
{
    return QByteArray::fromHex("4d546864000000060000000100604d54726b0000000c"
                               "00903c64"
                               "30803c40"
                               "00ff2f00");
}

} // namespace

class TestMusicPlayer : public QObject {
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
    void lateFailureClosesThePiece();
    void sdlPlaysSilentlyInRealTime();
    void sdlPausesAndResumes();
    void sdlRefusesWhatItCannotPlay_data();
    void sdlRefusesWhatItCannotPlay();
    void gamePiecesPassTheCheck();
    void sdlFallsBackToTheSilentOutput();

private:
    QTemporaryDir m_dir;
};

void TestMusicPlayer::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir::setCurrent(m_dir.path()));
    QVERIFY(QDir().mkpath("base/sound"));
    QVERIFY(QDir().mkpath("base/soundLite"));
    for (const auto &[name, bytes] : {std::pair{"base/sound/short.mp3", mp3(300)},
                                      {"base/sound/long.mp3", mp3(1500)},
                                      {"base/soundLite/pms.mid", midi()},
                                      {"base/sound/broken.mp3", QByteArray("no music in here")}}) {
        QFile file(name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
}

// Play, Stop and Pause refuse with "No MCI device open" before any open and after a failed one;
// a failed open raises the back-end's text, or "Unknown error code" when it has none.
void TestMusicPlayer::refusesCommandsWithoutAPiece()
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
void TestMusicPlayer::notificationComesLaterAndOnce()
{
    Rig rig;
    QThread *uiThread = QThread::currentThread();
    QThread *notifiedOn = nullptr;
    QObject::disconnect(&rig.player, &MusicPlayer::notified, nullptr, nullptr);
    QObject::connect(&rig.player, &MusicPlayer::notified, [&] {
        ++rig.notified;
        notifiedOn = QThread::currentThread();
    });
    rig.player.open();
    QCOMPARE(rig.fake->calls, (QStringList{"open base/sound/pms.mp3"}));
    rig.player.play();
    rig.settle();
    QCOMPARE(rig.notified, 0);
    QCOMPARE(rig.player.mode(), MusicPlayer::Mode::Playing);

    std::thread audio([&] { rig.fake->endNaturally(); });
    audio.join();
    QCOMPARE(rig.notified, 0);
    QTRY_COMPARE(rig.notified, 1);
    QCOMPARE(notifiedOn, uiThread);
    QCOMPARE(rig.player.mode(), MusicPlayer::Mode::Stopped);
    rig.settle();
    QCOMPARE(rig.notified, 1);
}

void TestMusicPlayer::everyWayARequestEnds_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<MusicPlayer::Mode>("modeAfter");
    QTest::newRow("superseded by a play") << "play" << MusicPlayer::Mode::Playing;
    QTest::newRow("superseded by a resume") << "pause pause" << MusicPlayer::Mode::Playing;
    QTest::newRow("aborted by stop") << "stop" << MusicPlayer::Mode::Stopped;
    QTest::newRow("aborted by a stop while paused") << "pause stop" << MusicPlayer::Mode::Stopped;
    QTest::newRow("aborted by close") << "close" << MusicPlayer::Mode::NotOpen;
    QTest::newRow("aborted by a new open") << "open play" << MusicPlayer::Mode::Playing;
}

// Each way a play request can end yields exactly one notification, after the command that ended
// it; a pause alone ends nothing, and stop asks for none of its own. After a new open and play the
// old piece's notification arrives with the new piece playing (the echo the menu expects).
void TestMusicPlayer::everyWayARequestEnds()
{
    QFETCH(QString, how);
    QFETCH(MusicPlayer::Mode, modeAfter);
    Rig rig;
    rig.player.open();
    rig.player.play();
    for (const QString &command : how.split(' ')) {
        if (command == "play")
            rig.player.play();
        else if (command == "pause")
            rig.player.pause();
        else if (command == "stop")
            rig.player.stop();
        else if (command == "close")
            rig.player.close();
        else if (command == "open")
            rig.player.open();
    }
    QCOMPARE(rig.notified, 0);
    rig.settle();
    QCOMPARE(rig.notified, 1);
    QCOMPARE(rig.modeAtNotify, (QList<MusicPlayer::Mode>{modeAfter}));
    QCOMPARE(rig.player.mode(), modeAfter);

    if (rig.player.isOpen())
        rig.player.stop(); // ends a request still under way; asks for none of its own
    rig.settle();
    const int expected = modeAfter == MusicPlayer::Mode::Playing ? 2 : 1;
    QCOMPARE(rig.notified, expected);
    if (rig.player.isOpen())
        rig.player.stop();
    rig.settle();
    QCOMPARE(rig.notified, expected);
}

// Stop and pause hold the piece where it is, so the next play resumes it; a piece that has played
// to its end starts again from its beginning (AutoRewind), or, without AutoRewind, the play is over
// at once. A failed start is still answered. Pause on a stopped piece does nothing.
void TestMusicPlayer::stopAndPauseKeepThePosition()
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
    QCOMPARE(rig.player.mode(), MusicPlayer::Mode::Stopped);

    rig.player.autoRewind = true;
    rig.fake->failPlay = true;
    rig.player.play();
    rig.settle();
    QCOMPARE(rig.notified, 5);
    QCOMPARE(rig.player.mode(), MusicPlayer::Mode::Stopped);
}

// The end of a piece that is reported but not yet handled when the piece is stopped or closed
// completes nothing more: the stop or close already answered the request. A stopped piece that had
// in fact ended starts from its beginning at the next play.
void TestMusicPlayer::lateEndOfAStoppedOrClosedPiece()
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
void TestMusicPlayer::buttonBar()
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
    QCOMPARE(rig.player.mode(), MusicPlayer::Mode::Playing);
    buttons[1]->click();
    QCOMPARE(rig.player.mode(), MusicPlayer::Mode::Paused);
    buttons[2]->click();
    QCOMPARE(rig.player.mode(), MusicPlayer::Mode::Stopped);
    QVERIFY(ErrorBox::openTexts().isEmpty());
}

// A piece accepted before the sound output was ready that then cannot be loaded fails as an open
// would have: the same box as the failed open, no notification for the play asked of it (nor for
// the back-end's word that it ended), and commands are refused. A late failure without a text
// reads as the open's does.
void TestMusicPlayer::lateFailureClosesThePiece()
{
    for (const QString &error : {QString("The music file is damaged"), QString()}) {
        Rig rig;
        rig.fake->failOpen = true;
        rig.fake->openError = error;
        const QString atOpen = errorOf([&] { rig.player.open(); });
        rig.fake->failOpen = false;
        rig.player.open();
        rig.player.play();
        rig.fake->failLate(error);
        QVERIFY(!rig.player.isOpen());
        QCOMPARE(ErrorBox::openTexts(), QStringList{ErrorBox::withFullStop(atOpen)});
        rig.fake->endNaturally();
        rig.settle();
        QCOMPARE(rig.notified, 0);
        QCOMPARE(errorOf([&] { rig.player.play(); }), QString("No MCI device open"));
        ErrorBox::closeAll();
    }
}

// Over SDL2_mixer (dummy driver): MP3 and MIDI pieces play in real time and each play is answered
// once when the piece ends; a second play starts the ended piece again. The first piece is opened
// and played while the output is still being opened on its own thread, and starts when it is. The
// output runs at 44.1 kHz for MP3 and 22.05 kHz for MIDI, and an ended MIDI piece gives back its
// synthesiser until it is played again.
void TestMusicPlayer::sdlPlaysSilentlyInRealTime()
{
    MusicPlayer player;
    auto *backend = dynamic_cast<SdlMusicBackend *>(player.backend());
    QVERIFY(backend);
    int notified = 0;
    QObject::connect(&player, &MusicPlayer::notified, [&] { ++notified; });
    for (const auto &[name, rate] :
         {std::pair{"base\\sound\\short.mp3", 44100}, {"Base\\SoundLite\\PMS.MID", 22050}}) {
        notified = 0;
        player.setFileName(name);
        player.open();
        player.play();
        QCOMPARE(player.mode(), MusicPlayer::Mode::Playing);
        QTRY_COMPARE_WITH_TIMEOUT(notified, 1, 20000);
        QCOMPARE(player.mode(), MusicPlayer::Mode::Stopped);
        QCOMPARE(backend->outputRate(), rate);
        QTRY_COMPARE(backend->isLoaded(), rate == 44100);
        player.play();
        QVERIFY(backend->isLoaded());
        QTRY_COMPARE_WITH_TIMEOUT(notified, 2, 20000);
    }
    QTest::qWait(300);
    QCOMPARE(notified, 2);
}

// A paused SDL piece does not end; resuming supersedes the paused request and the piece then ends
// as usual. A piece opened after a stop plays to its end. Closing a playing piece aborts its
// request with one notification.
void TestMusicPlayer::sdlPausesAndResumes()
{
    MusicPlayer player;
    int notified = 0;
    QObject::connect(&player, &MusicPlayer::notified, [&] { ++notified; });
    player.setFileName("base\\sound\\short.mp3");
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

    player.setFileName("base\\sound\\long.mp3");
    player.open();
    player.play();
    player.close();
    QTRY_COMPARE(notified, 5);
    QTest::qWait(300);
    QCOMPARE(notified, 5);
}

void TestMusicPlayer::sdlRefusesWhatItCannotPlay_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("error");
    const QString damaged = "The music file is damaged";
    const QString cannotOpen = "Cannot open the music file";
    QFile picture(PEMY_SOURCE_DIR "/base/image/fon.jpg");
    QVERIFY(picture.open(QIODevice::ReadOnly));
    const QByteArray midiFile = midi();
    QByteArray longTrack = midiFile;
    longTrack[21] = char(0x40); // the track claims more bytes than the file has
    QByteArray badEvent = midiFile;
    badEvent[24] = char(0xbc); // a note number with its top bit set
    QByteArray noEndOfTrack = midiFile.left(midiFile.size() - 4);
    noEndOfTrack[21] = char(0x08);
    const QByteArray tag = QByteArray("ID3\x03\x00\x00\x00\x00\x00\x14", 10) + QByteArray(20, '\0');

    QTest::newRow("picture renamed to MP3") << "pms.mp3" << picture.readAll() << damaged;
    QTest::newRow("empty MP3") << "empty.mp3" << QByteArray() << damaged;
    QTest::newRow("text named MP3") << "text.mp3" << QByteArray("no music in here") << damaged;
    QTest::newRow("tag longer than the file") << "tag.mp3" << tag.left(15) << damaged;
    QTest::newRow("MIDI named MP3") << "midi.mp3" << midiFile << damaged;
    QTest::newRow("MIDI cut short") << "cut.mid" << midiFile.left(20) << damaged;
    QTest::newRow("MIDI track longer than the file") << "long.mid" << longTrack << damaged;
    QTest::newRow("MIDI event broken") << "event.mid" << badEvent << damaged;
    QTest::newRow("MP3 named MIDI") << "mp3.mid" << mp3(100) << damaged;
    // The sound library would hold the whole tag, or some 60 bytes an event.
    QByteArray hugeTag("ID3\x03\x00\x00\x08\x00\x00\x00", 10); // 16 MB of padding after its header
    hugeTag += QByteArray(16 * 1024 * 1024, '\0');
    QTest::newRow("MP3 after a 16 MB tag") << "hugetag.mp3" << hugeTag + mp3(100) << damaged;
    QTest::newRow("MIDI of 600,000 events")
        << "events.mid" << HostileFiles::manyEventMidi(600000) << damaged;
    QTest::newRow("neither kind") << "tune.ogg" << QByteArray("OggS")
                                  << "The music file is neither MP3 nor MIDI";
    QTest::newRow("missing") << "missing.mp3" << QByteArray() << cannotOpen;
    QTest::newRow("folder") << "folder.mp3" << QByteArray() << cannotOpen;
    QTest::newRow("MP3 after a tag") << "tagged.mp3" << tag + mp3(100) << "";
    QTest::newRow("MP3 of one frame") << "frame.mp3" << mp3(1) << damaged;
    QTest::newRow("MP3 of two frames") << "frames.mp3" << mp3(30) << "";
    QTest::newRow("MIDI without end of track") << "open.mid" << noEndOfTrack << "";
}

// A file that is not a whole MP3 or MIDI file, or that would make the sound library hold more than
// the game's memory budget (100 MB), fails to open with one of the game's texts, never a sentence
// of the sound library's, and nothing is open then; whole files open.
void TestMusicPlayer::sdlRefusesWhatItCannotPlay()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, error);
    const QString path = "base/broken/" + name;
    QVERIFY(QDir().mkpath("base/broken"));
    if (name.startsWith("folder"))
        QVERIFY(QDir().mkpath(path));
    else if (!name.startsWith("missing")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    const qint64 before = HostileFiles::peakMegabytes();
    MusicPlayer player;
    player.setFileName("base\\broken\\" + name);
    QCOMPARE(errorOf([&] { player.open(); }), error);
    QCOMPARE(player.isOpen(), error.isEmpty());
    QVERIFY2(HostileFiles::peakMegabytes() - before < 100,
             qPrintable(QString::number(HostileFiles::peakMegabytes() - before)));
}

// The game's own pieces pass the same check.
void TestMusicPlayer::gamePiecesPassTheCheck()
{
    for (const char *name : {"base/sound/pms.mp3", "base/sound/pms2.mp3", "base/soundLite/pms.mid",
                             "base/soundLite/pms1.mid"}) {
        const auto result = MusicFileCheck::check(QStringLiteral(PEMY_SOURCE_DIR "/") + name);
        QVERIFY2(result == MusicFileCheck::Result::Mp3 || result == MusicFileCheck::Result::Midi,
                 name);
    }
}

// When the first audio driver cannot be used, the back-end falls back to the silent output and the
// piece still plays to its end. The console gets one line that says so and nothing from the sound
// libraries: ALSA without a sound card writes eight lines of its own.
void TestMusicPlayer::sdlFallsBackToTheSilentOutput()
{
    // ALSA's whole configuration: a default device that does not exist
    QTemporaryFile alsaConfig;
    QVERIFY(alsaConfig.open());
    alsaConfig.write("pcm.!default pemy_no_such_device\n");
    alsaConfig.flush();
    qputenv("ALSA_CONFIG_PATH", QFile::encodeName(alsaConfig.fileName()));
    QTemporaryFile console;
    QVERIFY(console.open());
    fflush(stderr);
    const int savedStderr = dup(2);
    dup2(console.handle(), 2);
    QTest::ignoreMessage(
        QtWarningMsg, QRegularExpression("^No sound output \\(.+\\): the music plays silently$"));
    auto *backend = new SdlMusicBackend("alsa");
    MusicPlayer player(nullptr, std::unique_ptr<MusicBackend>(backend));
    int notified = 0;
    QObject::connect(&player, &MusicPlayer::notified, [&] { ++notified; });
    player.setFileName("base\\sound\\short.mp3");
    player.open();
    const bool silent = backend->isSilent();
    fflush(stderr);
    dup2(savedStderr, 2);
    close(savedStderr);
    qunsetenv("ALSA_CONFIG_PATH");
    QVERIFY(silent);
    QVERIFY(console.seek(0)); // the file's offset is shared with the descriptor that wrote it
    QCOMPARE(console.readAll(), QByteArray());
    player.play();
    QTRY_COMPARE_WITH_TIMEOUT(notified, 1, 20000);
}

QTEST_MAIN(TestMusicPlayer)
#include "test_MusicPlayer.moc"
