#include "clip/TAnimate.h"
#include "formats/JpegDecoder.h"
#include "formats/Pictures.h"
#include "music/SdlMusicBackend.h"
#include "toolkit/AssetPath.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <cmath>

// The integrated loudness at which the game plays every piece, in LUFS.
constexpr double GameLoudness = -20.0;

// The game's own data, read through the game's own loaders, from the folder that holds base/.
class TestAssets : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        m_oldDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(QStringLiteral(PEMY_SOURCE_DIR)));
    }
    void cleanupTestCase() { QDir::setCurrent(m_oldDir); }

    // The room and the built-in room decode through libjpeg at the background's size, and differ.
    void backgrounds()
    {
        const QImage room = JpegDecoder::decodeFile(AssetPath::resolve("base\\image\\fon.jpg"));
        QFile builtinFile(":/builtin/fon.jpg");
        QVERIFY(builtinFile.open(QIODevice::ReadOnly));
        const QImage builtin = JpegDecoder::decode(builtinFile.readAll());
        QCOMPARE(room.size(), QSize(688, 368));
        QCOMPARE(builtin.size(), QSize(688, 368));
        QVERIFY(room != builtin);
    }

    // Each clip opens in the clip player with its frame size and a loop of 1 to 4 s at 8 to 15
    // frames a second.
    void clips_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QSize>("maxSize");
        QTest::newRow("examiner") << "base\\video\\pemik.avi" << QSize(95, 131);
        QTest::newRow("newspaper") << "base\\video\\pemik_sit.avi" << QSize(95, 131);
        QTest::newRow("dozing") << "base\\video\\pemik_sit2.avi" << QSize(95, 131);
        QTest::newRow("desk") << "base\\video\\table.avi" << QSize(176, 93);
        QTest::newRow("copybook") << "base\\video\\copybook.avi" << QSize(121, 89);
    }
    void clips()
    {
        QFETCH(QString, path);
        QFETCH(QSize, maxSize);
        TAnimate clip(nullptr);
        clip.setFileName(path);
        QVERIFY(clip.isOpen());
        QCOMPARE(clip.currentFrame(), 1);
        QVERIFY(clip.frameSize().width() <= maxSize.width());
        QVERIFY(clip.frameSize().height() <= maxSize.height());
        if (maxSize.width() != 95) // the desk and the copybook fill their widgets exactly
            QCOMPARE(clip.frameSize(), maxSize);
        const int interval = clip.frameIntervalMs();
        QVERIFY2(interval >= 1000 / 15 && interval <= 1000 / 8,
                 qPrintable(QString::number(interval)));
        const int loopMs = clip.frameCount() * interval;
        QVERIFY2(loopMs >= 1000 && loopMs <= 4000, qPrintable(QString::number(loopMs)));
    }

    // The five frames and the built-in sheet icon load as 32 x 32 icons that also hold a 16 x 16
    // image.
    void icons()
    {
        QStringList paths;
        for (int i = 1; i <= 5; ++i)
            paths << AssetPath::resolve(QStringLiteral("Base\\image\\Ico\\b%1.ico").arg(i));
        paths << ":/builtin/sheet.ico";
        for (const QString &path : paths) {
            QCOMPARE(Pictures::loadIcon(path).size(), QSize(32, 32));
            QImageReader reader(path, "ico");
            QCOMPARE(reader.imageCount(), 2);
        }
    }

    // The sound switch pictures are 32 x 32 with the light grey ground drawn transparent, and the
    // game's own decoding of them (the built-in one's at start-up) is Qt's.
    void soundSwitch()
    {
        for (const QString &path :
             {AssetPath::resolve("Base\\image\\Ico\\son.bmp"),
              AssetPath::resolve("Base\\image\\Ico\\sof.bmp"), QString(":/builtin/ns.bmp")}) {
            const QImage raw(path);
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(Pictures::decodeIndexedBitmap(file.readAll()), raw);
            QCOMPARE(raw.size(), QSize(32, 32));
            QCOMPARE(raw.pixelColor(0, 31), QColor(192, 192, 192));
            const QImage keyed = Pictures::loadTransparentBitmap(path);
            QCOMPARE(qAlpha(keyed.pixel(0, 31)), 0);
            QCOMPARE(qAlpha(keyed.pixel(16, 16)), 255);
        }
        const QImage ns(":/builtin/ns.bmp");
        QCOMPARE(ns.format(), QImage::Format_Indexed8);
        bool ring = false;
        for (int y = 0; y < 32 && !ring; ++y)
            for (int x = 0; x < 32 && !ring; ++x)
                ring = ns.pixelColor(x, y) == QColor(241, 162, 57);
        QVERIFY(ring);
    }

    // Every piece opens with the music player's sound library.
    void music()
    {
        SdlMusicBackend backend;
        backend.setFinishedHandler([] {});
        for (const char *path : {"base\\sound\\pms.mp3", "base\\sound\\pms2.mp3",
                                 "base\\soundLite\\pms.mid", "base\\soundLite\\pms1.mid"}) {
            QString error;
            QVERIFY2(backend.open(AssetPath::resolve(path), &error), qPrintable(error));
        }
        backend.close();
    }

    // Every piece plays at the same loudness through the game's own output: the music back-end
    // plays it into SDL's disk output, as fast as it can be made, and FFmpeg's EBU R128 meter
    // gives its integrated loudness, which lies within 1 LU of the game's level.
    void loudness_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("menu") << "base\\sound\\pms.mp3";
        QTest::newRow("exam") << "base\\sound\\pms2.mp3";
        QTest::newRow("fanfare") << "base\\soundLite\\pms.mid";
        QTest::newRow("about") << "base\\soundLite\\pms1.mid";
    }
    void loudness()
    {
        QFETCH(QString, path);
        QTemporaryDir dir;
        const QString output = dir.filePath("output.raw");
        qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(output));
        qputenv("SDL_DISKAUDIODELAY", "0");
        int rate = 0;
        {
            SdlMusicBackend backend("disk");
            std::atomic<bool> ended{false};
            backend.setFinishedHandler([&] { ended = true; });
            QString error;
            QVERIFY2(backend.open(AssetPath::resolve(path), &error), qPrintable(error));
            QCOMPARE(backend.driverName(), QByteArray("disk"));
            QVERIFY(backend.play());
            QTRY_VERIFY_WITH_TIMEOUT(ended.load(), 60000);
            rate = backend.outputRate();
        }
        QProcess meter;
        meter.start("ffmpeg",
                    {"-nostats", "-hide_banner", "-f", "s16le", "-ar", QString::number(rate), "-ac",
                     "2", "-i", output, "-af", "ebur128", "-f", "null", "-"});
        QVERIFY(meter.waitForFinished(60000));
        const QString report = QString::fromUtf8(meter.readAllStandardError());
        const QRegularExpressionMatch integrated =
            QRegularExpression(R"(Integrated loudness:\s*I:\s*(-?[0-9.]+) LUFS)").match(report);
        QVERIFY2(integrated.hasMatch(), qPrintable(report.right(400)));
        const double lufs = integrated.captured(1).toDouble();
        qInfo("%s: %.1f LUFS", qPrintable(path), lufs);
        QVERIFY2(std::abs(lufs - GameLoudness) <= 1.0, qPrintable(QString::number(lufs)));
    }

private:
    QString m_oldDir;
};

QTEST_MAIN(TestAssets)
#include "test_Assets.moc"
