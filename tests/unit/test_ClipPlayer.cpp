// The clip player: opening, the play loop, stopping, keying, failures and memory, on small clips
// written by the test in the formats the game's clips come in.

#include "clip/ClipPlayer.h"
#include "formats/GameError.h"
#include "toolkit/Scaling.h"
#include "unit/AviWriter.h"
#include "unit/HostileFiles.h"

#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {

const QColor kBackground(210, 238, 154); // the clips' background, keyed out
const QColor kFill(0, 0, 255);           // the widget's Color in these tests
const QSize kClipSize(32, 32);
constexpr int kFrames = 5;
// Slow enough that a clip stepped by hand never reaches its next frame by the clock meanwhile.
constexpr int kFps = 1;

bool near(QRgb a, QRgb b, int tolerance)
{
    return qAbs(qRed(a) - qRed(b)) <= tolerance && qAbs(qGreen(a) - qGreen(b)) <= tolerance
        && qAbs(qBlue(a) - qBlue(b)) <= tolerance;
}

QImage shot(ClipPlayer &clip)
{
    return clip.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

void patchLe32(const QString &path, qint64 at, quint32 value)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    file.seek(at);
    const char bytes[4] = {char(value), char(value >> 8), char(value >> 16), char(value >> 24)};
    file.write(bytes, 4);
}

// A parent that counts the pointer events reaching it.
class Screen : public QWidget {
public:
    int moves = 0;
    int presses = 0;

protected:
    void mouseMoveEvent(QMouseEvent *) override { ++moves; }
    void mousePressEvent(QMouseEvent *) override { ++presses; }
};

} // namespace

class TestClipPlayer : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void opening();
    void playsEveryFrameInALoop_data();
    void playsEveryFrameInALoop();
    void stopShowsFirstFrame();
    void fileNameChanges();
    void failedOpen_data();
    void failedOpen();
    void keyingAndCentre();
    void headerClaimsMoreFrames_data();
    void headerClaimsMoreFrames();
    void memoryStaysBounded();
    void playsOnItsTimer();
    void sleepsWhileHidden();
    void pointerStopsAtTheClip();

private:
    QTemporaryDir m_dir;
};

void TestClipPlayer::initTestCase()
{
    // Frames drawn as they are, as on a 120-dpi screen.
    Scaling::setFactor(1.0);
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir::setCurrent(m_dir.path()));
    QVERIFY(QDir().mkpath("base/video"));
    QVERIFY(AviWriter::writeSplit("base/video/bgr.avi", kClipSize, kFps, kFrames, ClipCodec::Bgr24,
                                  kBackground));
    QVERIFY(AviWriter::writeSplit("base/video/pal.avi", kClipSize, kFps, kFrames, ClipCodec::Pal8,
                                  kBackground));
    QVERIFY(AviWriter::writeSplit("base/video/other.avi", QSize(48, 32), 25, 3, ClipCodec::Bgr24,
                                  kBackground));
}

// Opening reads the frame count and size from the file's header, shows frame 1, sizes the widget
// when AutoSize is on (and only then), and plays at the clip's own rate; the game's backslashed,
// case-blind names find the file.
void TestClipPlayer::opening()
{
    ClipPlayer clip;
    clip.resize(95, 131);
    clip.setFileName("Base\\VIDEO\\bgr.avi");
    QVERIFY(clip.isOpen());
    QVERIFY(!clip.active());
    QCOMPARE(clip.frameCount(), kFrames);
    QCOMPARE(clip.frameSize(), kClipSize);
    QCOMPARE(clip.currentFrame(), 1);
    QCOMPARE(clip.size(), kClipSize);
    QCOMPARE(clip.frameIntervalMs(), 1000 / kFps);
    QVERIFY(!clip.isTicking());

    ClipPlayer fixed;
    fixed.setAutoSize(false);
    fixed.resize(95, 131);
    fixed.setFileName("base\\video\\other.avi");
    QCOMPARE(fixed.size(), QSize(95, 131));
    QCOMPARE(fixed.frameIntervalMs(), 40);
}

void TestClipPlayer::playsEveryFrameInALoop_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<qint64>("cacheLimit");
    QTest::addColumn<int>("tolerance");
    QTest::addColumn<int>(
        "repeat"); // the 0-based frame written empty, which repeats the one before
    struct Variant {
        const char *name;
        ClipCodec codec;
        ClipLayout layout;
        int tolerance; // 5-bit channels round
    };
    const Variant variants[] = {
        {"pal8", ClipCodec::Pal8, {}, 0},
        {"pal8 top-down", ClipCodec::Pal8, {.topDown = true}, 0},
        {"rgb555", ClipCodec::Rgb555, {}, 8},
        {"bgr24", ClipCodec::Bgr24, {}, 0},
        {"bgr24 no index", ClipCodec::Bgr24, {.index = false}, 0},
        {"bgr32 after sound", ClipCodec::Bgr32, {.sound = true}, 0},
        {"bgr32 after sound no index", ClipCodec::Bgr32, {.index = false, .sound = true}, 0},
        {"rle8", ClipCodec::Rle8, {}, 0},
        {"rle8 no index after sound", ClipCodec::Rle8, {.index = false, .sound = true}, 0},
        {"bgr24 absolute index in records",
         ClipCodec::Bgr24,
         {.sound = true, .absoluteIndex = true, .records = true},
         0},
        {"pal8 records no index", ClipCodec::Pal8, {.index = false, .records = true}, 0},
        {"bgr24 frame 3 empty", ClipCodec::Bgr24, {.repeatFrame = 2}, 0},
        {"rle8 frame 3 empty", ClipCodec::Rle8, {.repeatFrame = 2}, 0},
    };
    for (const Variant &v : variants) {
        const QString name = QString(v.name).replace(' ', '_');
        QVERIFY(AviWriter::writeSplit(QString("base/video/%1.avi").arg(name), kClipSize, kFps,
                                      kFrames, v.codec, kBackground, v.layout));
        const QString path = QString("base\\video\\%1.avi").arg(name);
        QTest::addRow("%s cached", v.name)
            << path << ClipPlayer::kDefaultCacheLimit << v.tolerance << v.layout.repeatFrame;
        QTest::addRow("%s decoded when due", v.name)
            << path << qint64(0) << v.tolerance << v.layout.repeatFrame;
    }
}

// Playing shows frames 1 to N and then 1 again, endlessly, with the right pictures in every loop,
// in every layout the reader takes (an empty frame repeats the one before), whether the frames come
// from the cache or are decoded anew (run-length frames, coded as changes, are rebuilt from the
// first at each loop); the background shows Color.
void TestClipPlayer::playsEveryFrameInALoop()
{
    QFETCH(QString, file);
    QFETCH(qint64, cacheLimit);
    QFETCH(int, tolerance);
    QFETCH(int, repeat);

    ClipPlayer clip;
    clip.setCacheLimit(cacheLimit);
    clip.setColor(kFill);
    clip.setFileName(file);
    clip.setActive(true);
    for (int loop = 0; loop < 3; ++loop) {
        for (int frame = 1; frame <= kFrames; ++frame) {
            if (loop > 0 || frame > 1)
                clip.frameTimer();
            QCOMPARE(clip.currentFrame(), frame);
            const QImage image = shot(clip);
            const int picture = frame - 1 == repeat ? frame - 2 : frame - 1;
            QVERIFY2(near(image.pixel(24, 8), AviWriter::frameColor(picture).rgb(), tolerance),
                     qPrintable(QString("loop %1 frame %2").arg(loop).arg(frame)));
            QCOMPARE(image.pixel(3, 3), kFill.rgb());
            QVERIFY(near(image.pixel(3, 28), AviWriter::kFloor.rgb(), tolerance));
        }
    }
}

// Active false stops the clip on frame 1 (not where it stood) and further ticks change nothing;
// starting again plays on from frame 1.
void TestClipPlayer::stopShowsFirstFrame()
{
    ClipPlayer clip;
    clip.setCacheLimit(0); // the decoder must go back to the start, too
    clip.setFileName("base\\video\\pal.avi");
    clip.setActive(true);
    clip.frameTimer();
    clip.frameTimer();
    QCOMPARE(clip.currentFrame(), 3);

    clip.setActive(false);
    QVERIFY(!clip.active());
    QCOMPARE(clip.currentFrame(), 1);
    QCOMPARE(shot(clip).pixel(24, 8), AviWriter::frameColor(0).rgb());
    clip.frameTimer();
    QCOMPARE(clip.currentFrame(), 1);

    clip.setActive(true);
    clip.frameTimer();
    QCOMPARE(clip.currentFrame(), 2);
    QCOMPARE(shot(clip).pixel(24, 8), AviWriter::frameColor(1).rgb());
}

// The same name in other letter case changes nothing (a playing clip plays on where it is); a new
// name stops the clip and opens the new one on frame 1; an empty name closes; Active with no name
// is skipped in silence.
void TestClipPlayer::fileNameChanges()
{
    ClipPlayer clip;
    clip.setFileName("base\\video\\bgr.avi");
    clip.setActive(true);
    clip.frameTimer();
    clip.setFileName("BASE\\Video\\BGR.AVI");
    QVERIFY(clip.active());
    QCOMPARE(clip.currentFrame(), 2);
    QCOMPARE(clip.fileName(), QString("base\\video\\bgr.avi"));

    clip.setFileName("base\\video\\other.avi");
    QVERIFY(!clip.active());
    QCOMPARE(clip.currentFrame(), 1);
    QCOMPARE(clip.frameCount(), 3);
    QCOMPARE(clip.size(), QSize(48, 32));

    clip.setFileName(QString());
    QVERIFY(!clip.isOpen());
    QCOMPARE(clip.currentFrame(), 0);
    clip.setActive(true);
    QVERIFY(!clip.active());
    QVERIFY(!clip.isOpen());
}

void TestClipPlayer::failedOpen_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // empty: no file at all

    QFile good("base/video/bgr.avi");
    QVERIFY(good.open(QIODevice::ReadOnly));
    const QByteArray bytes = good.readAll();
    QByteArray noFrames = bytes;
    noFrames[48] = noFrames[49] = noFrames[50] = noFrames[51] = 0;
    noFrames.truncate(noFrames.indexOf("movi") + 4);
    QByteArray tooWide = bytes;
    tooWide[64] = char(0xff);
    tooWide[65] = char(0xff);

    QTest::newRow("no such file") << "base\\video\\missing.avi" << QByteArray();
    QTest::newRow("not an AVI")
        << "base\\video\\text.avi"
        << QByteArray("just some text, not a clip at all....................................");
    QTest::newRow("header only") << "base\\video\\cut.avi" << bytes.left(200);
    QByteArray huge = bytes; // a 4096 x 4096 picture in a 30 KB file
    huge[64] = huge[68] = 0;
    huge[65] = huge[69] = 0x10;
    QByteArray noVideo = bytes;
    noVideo.replace(noVideo.indexOf("vids"), 4, "txts");
    QByteArray fourBits = AviWriter::bytes(kClipSize, kFps, kFrames, ClipCodec::Rle8, [](int) {
        return QImage(kClipSize, QImage::Format_RGB32);
    });
    const int bitCount = fourBits.indexOf("strf") + 8 + 14;
    fourBits[bitCount] = 4;
    const auto split = [](int i) { return AviWriter::splitFrame(kClipSize, kBackground, i); };

    QTest::newRow("no frames in it") << "base\\video\\empty.avi" << noFrames;
    QTest::newRow("header too wide") << "base\\video\\wide.avi" << tooWide;
    QTest::newRow("header claims 4096 x 4096") << "base\\video\\giant.avi" << huge;
    QTest::newRow("no video stream") << "base\\video\\novideo.avi" << noVideo;
    QTest::newRow("compressed (MJPEG)")
        << "base\\video\\mjpeg.avi"
        << AviWriter::bytes(kClipSize, kFps, kFrames, ClipCodec::Mjpeg, split);
    QTest::newRow("4-bit run-length") << "base\\video\\rle4.avi" << fourBits;
    QTest::newRow("a pipe (would block)") << "base\\video\\pipe.avi" << QByteArray("pipe");
}

// A file that cannot be opened raises "Cannot open AVI"; the previous name comes back but its clip
// stays closed (also when that name is given again) until Active is set, which reopens it.
void TestClipPlayer::failedOpen()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    if (content == "pipe") {
        QCOMPARE(mkfifo("base/video/pipe.avi", 0600), 0);
    } else if (!content.isEmpty()) {
        QFile file(QString(name).replace('\\', '/'));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    ClipPlayer clip;
    clip.setColor(kFill);
    clip.setFileName("base\\video\\bgr.avi");
    clip.setActive(true);
    clip.frameTimer();
    try {
        clip.setFileName(name);
        QFAIL("no error");
    } catch (const GameError &error) {
        QCOMPARE(error.text(), QString("Cannot open AVI"));
    }
    QCOMPARE(clip.fileName(), QString("base\\video\\bgr.avi"));
    QVERIFY(!clip.isOpen());
    QVERIFY(!clip.active());
    QCOMPARE(shot(clip).pixel(24, 8), kFill.rgb());

    clip.setFileName("base\\video\\bgr.avi");
    QVERIFY(!clip.isOpen());

    clip.setActive(true);
    QVERIFY(clip.isOpen());
    QVERIFY(clip.active());
    QCOMPARE(clip.currentFrame(), 1);
    clip.frameTimer();
    QCOMPARE(clip.currentFrame(), 2);

    // With nothing to fall back on, the name stays empty and Active does nothing.
    ClipPlayer fresh;
    QVERIFY_THROWS_EXCEPTION(GameError, fresh.setFileName(name));
    QCOMPARE(fresh.fileName(), QString());
    fresh.setActive(true);
    QVERIFY(!fresh.active());
}

// The clip's background pixels and the area around the clip show Color; Center puts the clip in
// the middle of a larger widget, otherwise it sits at the top left.
void TestClipPlayer::keyingAndCentre()
{
    ClipPlayer clip;
    clip.setAutoSize(false);
    clip.resize(40, 40);
    clip.setColor(kFill);
    clip.setFileName("base\\video\\bgr.avi");

    // Centred at (4, 4).
    QImage image = shot(clip);
    QCOMPARE(image.pixel(0, 0), kFill.rgb());
    QCOMPARE(image.pixel(39, 39), kFill.rgb());
    QCOMPARE(image.pixel(4 + 2, 4 + 2), kFill.rgb()); // the clip's background
    QCOMPARE(image.pixel(4 + 2, 4 + 30), AviWriter::kFloor.rgb());
    QCOMPARE(image.pixel(4 + 20, 4 + 2), AviWriter::frameColor(0).rgb());
    QCOMPARE(image.pixel(37, 20), kFill.rgb()); // right of the clip

    clip.setCenter(false);
    image = shot(clip);
    QCOMPARE(image.pixel(20, 2), AviWriter::frameColor(0).rgb());
    QCOMPARE(image.pixel(2, 30), AviWriter::kFloor.rgb());
    QCOMPARE(image.pixel(35, 2), kFill.rgb());

    clip.setColor(QColor(255, 255, 0));
    QCOMPARE(shot(clip).pixel(2, 2), qRgb(255, 255, 0));
}

void TestClipPlayer::headerClaimsMoreFrames_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("frameCount");
    QTest::addColumn<QList<int>>("shown");
    QFile file("base/video/bgr.avi");
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();

    QByteArray claimsNine = bytes;
    claimsNine[48] = 9;
    // Cut inside frame 4: the index at the end is lost, the movi list is walked up to the cut.
    const qsizetype frameBytes = kClipSize.width() * kClipSize.height() * 3 + 8;
    const QByteArray cut = bytes.left(bytes.indexOf("movi") + 4 + 3 * frameBytes + 100);
    // An index whose offsets point nowhere near the frames: the movi list is walked instead.
    QByteArray strayIndex = bytes;
    for (qsizetype at = strayIndex.indexOf("idx1") + 8 + 8; at + 4 <= strayIndex.size(); at += 16)
        strayIndex[at + 1] = char(0x7f);

    QTest::newRow("header claims 9")
        << claimsNine << 9 << QList<int>{2, 3, 4, 5, 1, 2, 3, 4, 5, 1, 2, 3};
    QTest::newRow("cut inside frame 4")
        << cut << kFrames << QList<int>{2, 3, 1, 2, 3, 1, 2, 3, 1, 2, 3, 1};
    QTest::newRow("index points elsewhere")
        << strayIndex << kFrames << QList<int>{2, 3, 4, 5, 1, 2, 3, 4, 5, 1, 2, 3};
}

// A file that holds fewer frames than its header claims (or an index that is of no use): the loop
// ends with the last frame the file holds, in both memory modes, without stalling on the rest.
void TestClipPlayer::headerClaimsMoreFrames()
{
    QFETCH(QByteArray, content);
    QFETCH(int, frameCount);
    QFETCH(QList<int>, shown);
    QFile file("base/video/short.avi");
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
    file.close();
    for (const qint64 limit : {ClipPlayer::kDefaultCacheLimit, qint64(0)}) {
        ClipPlayer clip;
        clip.setCacheLimit(limit);
        clip.setFileName("base\\video\\short.avi");
        QCOMPARE(clip.frameCount(), frameCount);
        clip.setActive(true);
        QList<int> seen;
        for (int i = 0; i < 12; ++i) {
            clip.frameTimer();
            seen << clip.currentFrame();
        }
        QCOMPARE(seen, shown);
    }
}

// Decoded frames stay within the cache limit: a clip that fits keeps all its frames after one
// loop; a larger one keeps no more than two; a header's absurd frame count costs nothing, since
// what is kept is bounded by the frames the file holds.
void TestClipPlayer::memoryStaysBounded()
{
    const qint64 frameBytes = qint64(kClipSize.width()) * kClipSize.height() * 4;
    ClipPlayer cached;
    cached.setFileName("base\\video\\bgr.avi");
    cached.setActive(true);
    for (int i = 0; i < 2 * kFrames; ++i)
        cached.frameTimer();
    QCOMPARE(cached.cachedBytes(), kFrames * frameBytes);

    ClipPlayer sequential;
    sequential.setCacheLimit(3 * frameBytes);
    sequential.setFileName("base\\video\\bgr.avi");
    sequential.setActive(true);
    for (int i = 0; i < 2 * kFrames; ++i) {
        sequential.frameTimer();
        QVERIFY(sequential.cachedBytes() <= 2 * frameBytes);
    }

    QVERIFY(QFile::copy("base/video/bgr.avi", "base/video/huge.avi"));
    patchLe32("base/video/huge.avi", 48, 0x7fffffff);
    ClipPlayer huge;
    huge.setFileName("base\\video\\huge.avi");
    QCOMPARE(huge.frameCount(), 0x7fffffff);
    huge.setActive(true);
    for (int i = 0; i < 2 * kFrames - 1; ++i) // 2..5, 1 after the last frame there is, 2..5
        huge.frameTimer();
    QCOMPARE(huge.cachedBytes(), kFrames * frameBytes);
    QCOMPARE(huge.currentFrame(), kFrames);
}

// An active clip in a visible window advances on its own timer.
void TestClipPlayer::playsOnItsTimer()
{
    ClipPlayer clip;
    clip.setFileName("base\\video\\other.avi");
    clip.show();
    QVERIFY(QTest::qWaitForWindowExposed(&clip));
    clip.setActive(true);
    QVERIFY(clip.isTicking());
    QTRY_VERIFY_WITH_TIMEOUT(clip.currentFrame() > 1, 10000);
}

// A clip on a hidden screen sleeps: no timer runs, yet its place in the loop follows the clock
// while it sleeps, and when the screen shows again the clip shows the frame it has reached and
// plays on. Stopping and starting while hidden work as when shown. Waking up is bounded.
void TestClipPlayer::sleepsWhileHidden()
{
    constexpr int kLong = 50; // frames: 5 s a loop at 10 frames a second
    QVERIFY(AviWriter::writeSplit("base/video/long10.avi", QSize(8, 8), 10, kLong, ClipCodec::Pal8,
                                  kBackground));
    QWidget screen;
    auto *clip = new ClipPlayer(&screen);
    clip->setFileName("base\\video\\long10.avi");
    clip->setActive(true);
    QVERIFY(!clip->isTicking()); // made on a screen not shown yet

    screen.show();
    QVERIFY(QTest::qWaitForWindowExposed(&screen));
    QVERIFY(clip->isTicking());
    screen.hide();
    QVERIFY(!clip->isTicking());

    const int asleep = clip->currentFrame();
    QTRY_VERIFY_WITH_TIMEOUT(clip->currentFrame() != asleep, 10000);
    QVERIFY(!clip->isTicking());

    const int due = clip->currentFrame();
    screen.show();
    QVERIFY(clip->isTicking());
    const int shown = clip->currentFrame();
    QVERIFY2((shown - due + kLong) % kLong <= 5,
             qPrintable(QString("%1 then %2").arg(due).arg(shown)));
    QCOMPARE(clip->grab().toImage().pixel(6, 2), AviWriter::frameColor(shown - 1).rgb());

    screen.hide();
    clip->setActive(false);
    QCOMPARE(clip->currentFrame(), 1);
    clip->setActive(true);
    QVERIFY(!clip->isTicking());
    clip->frameTimer();
    QCOMPARE(clip->currentFrame(), 2);

    // Catching up decodes no more than one frame period allows: a 1024 x 1024 run-length clip at
    // 100 frames a second with no key frame but the first (each frame a few ms of work) shows the
    // frame reached by then when it wakes, well before its due frame, and plays on from there.
    QFile catchUp("base/video/catchup.avi");
    QVERIFY(catchUp.open(QIODevice::WriteOnly));
    catchUp.write(HostileFiles::catchUpClip(1024, 100, 100000));
    catchUp.close();
    auto *big = new ClipPlayer(&screen);
    big->setFileName("base\\video\\catchup.avi");
    big->setActive(true);
    QTRY_VERIFY_WITH_TIMEOUT(big->currentFrame() > 100, 10000);
    const int bigDue = big->currentFrame();
    screen.show();
    const int reached = big->currentFrame();
    QVERIFY2(reached > 1 && reached < bigDue,
             qPrintable(QString("%1 of %2").arg(reached).arg(bigDue)));
    big->frameTimer();
    QCOMPARE(big->currentFrame(), reached + 1);

    // It starts from the nearest key frame when that lies closer than the frame decoded last: with
    // its time up at once, the decoder gives the key frame, then the frame after it.
    const QSize small(8, 8);
    QVERIFY(AviWriter::writeSplit("base/video/keyed.avi", small, 10, 40, ClipCodec::Rle8,
                                  kBackground, {.keyEvery = 10}));
    AviDecoder decoder;
    QVERIFY(decoder.open("base/video/keyed.avi"));
    int step = -1;
    decoder.frame(37, QDeadlineTimer(0), &step);
    QCOMPARE(step, 30);
    decoder.frame(37, QDeadlineTimer(0), &step);
    QCOMPARE(step, 31);
    QCOMPARE(decoder.frame(37).pixel(6, 2), AviWriter::frameColor(37).rgb());
    QCOMPARE(decoder.frame(12).pixel(6, 2), AviWriter::frameColor(12).rgb());
}

// Pointer moves and presses over a clip stop at the clip: the screen below sees only those beside
// it.
void TestClipPlayer::pointerStopsAtTheClip()
{
    Screen screen;
    screen.setMouseTracking(true);
    screen.resize(200, 200);
    auto *clip = new ClipPlayer(&screen);
    clip->setGeometry(10, 10, 50, 50);
    QVERIFY(clip->hasMouseTracking());
    screen.show();
    QVERIFY(QTest::qWaitForWindowExposed(&screen));

    QTest::mouseMove(clip, QPoint(20, 20));
    QTest::mousePress(clip, Qt::LeftButton, {}, QPoint(20, 20));
    QTest::mouseRelease(clip, Qt::LeftButton, {}, QPoint(20, 20));
    QCOMPARE(screen.moves, 0);
    QCOMPARE(screen.presses, 0);

    QTest::mouseMove(&screen, QPoint(150, 150));
    QTRY_COMPARE(screen.moves, 1);
}

QTEST_MAIN(TestClipPlayer)
#include "test_ClipPlayer.moc"
