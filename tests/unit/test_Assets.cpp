#include "toolkit/AssetPath.h"
#include "toolkit/JpegDecoder.h"
#include "toolkit/Pictures.h"
#include "widgets/SdlMusicBackend.h"
#include "widgets/TAnimate.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTest>

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

    // Each clip opens in the clip player with its frame size and a loop of 1 to 4 s at 8 to 15 frames a second.
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
        QVERIFY2(interval >= 1000 / 15 && interval <= 1000 / 8, qPrintable(QString::number(interval)));
        const int loopMs = clip.frameCount() * interval;
        QVERIFY2(loopMs >= 1000 && loopMs <= 4000, qPrintable(QString::number(loopMs)));
    }

    // The five frames and the built-in sheet icon load as 32 x 32 icons that also hold a 16 x 16 image.
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

    // The sound switch pictures are 32 x 32 with the light grey ground drawn transparent.
    void soundSwitch()
    {
        for (const QString &path : {AssetPath::resolve("Base\\image\\Ico\\son.bmp"),
                                    AssetPath::resolve("Base\\image\\Ico\\sof.bmp"),
                                    QString(":/builtin/ns.bmp")}) {
            const QImage raw(path);
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

private:
    QString m_oldDir;
};

QTEST_MAIN(TestAssets)
#include "test_Assets.moc"
