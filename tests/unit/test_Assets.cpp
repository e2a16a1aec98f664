#include "clip/ClipPlayer.h"
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

#include <algorithm>
#include <atomic>
#include <cmath>
#include <numeric>
#include <vector>

// The integrated loudness at which the game plays every piece, in LUFS.
constexpr double kGameLoudness = -20.0;
// How far the loudness of any 10 s of a piece, and of its first 30 s, may lie from it, in LU.
constexpr double kWindowSpread = 3.0;
constexpr double kOpeningSpread = 2.0;
// The meter reports the loudness of the 400 ms block that ends every 100 ms.
constexpr int kBlocksPerSecond = 10;
constexpr int kBlockSpan = 4;

namespace {

// The power of each block that the meter reports, from the first block that sounds (above the
// meter's absolute gate, -70 LUFS; the reports before a whole block was heard lie below it) to the
// last: block i starts i / 10 s into the piece.
std::vector<double> soundingBlocks(const QString &report)
{
    static const QRegularExpression line(R"(t:\s*[0-9.]+\s+TARGET:\S+ LUFS\s+M:\s*(-?[0-9.]+))");
    std::vector<double> levels;
    for (const QRegularExpressionMatch &m : line.globalMatch(report))
        levels.push_back(m.captured(1).toDouble());
    const auto sounds = [](double lufs) { return lufs > -70.0; };
    const auto first = std::find_if(levels.begin(), levels.end(), sounds);
    const auto last = std::find_if(levels.rbegin(), levels.rend(), sounds).base();
    std::vector<double> power;
    for (auto it = first; it < last; ++it)
        power.push_back(std::pow(10.0, (*it + 0.691) / 10.0));
    return power;
}

// The number of blocks that lie wholly in a stretch of `seconds`.
constexpr std::size_t blocksIn(int seconds)
{
    return std::size_t(seconds * kBlocksPerSecond - kBlockSpan + 1);
}

// The loudness of the stretch of `seconds` that starts at block `from`, or of what the piece has
// of it: the mean power of its blocks, ungated like the meter's short-term loudness.
double stretchLoudness(const std::vector<double> &power, std::size_t from, int seconds)
{
    const std::size_t to = std::min(power.size(), from + blocksIn(seconds));
    const auto begin = power.begin() + std::ptrdiff_t(from);
    const double sum = std::accumulate(begin, power.begin() + std::ptrdiff_t(to), 0.0);
    return -0.691 + 10.0 * std::log10(sum / double(to - from));
}

} // namespace

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
        ClipPlayer clip(nullptr);
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

    // The sound switch pictures are 32 x 32 with the light grey ground drawn transparent.
    void soundSwitch()
    {
        for (const QString &path :
             {AssetPath::resolve("Base\\image\\Ico\\son.bmp"),
              AssetPath::resolve("Base\\image\\Ico\\sof.bmp"), QString(":/builtin/ns.bmp")}) {
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

    // Every piece plays at the same loudness through the game's own output, and evenly: the music
    // back-end plays it into SDL's disk output, as fast as it can be made, and FFmpeg's EBU R128
    // meter gives its integrated loudness, which lies within 1 LU of the game's level, and the
    // loudness of its every 400 ms block, from which every 10 s of it lies within 3 LU and its
    // first 30 s, what a player hears on entering the menu or an exam, within 2 LU of that level.
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
        const std::vector<double> blocks = soundingBlocks(report);
        QVERIFY2(blocks.size() >= blocksIn(10), qPrintable(report.right(400)));
        std::vector<double> windows;
        for (std::size_t from = 0; from + blocksIn(10) <= blocks.size(); ++from)
            windows.push_back(stretchLoudness(blocks, from, 10));
        const auto [quietest, loudest] = std::minmax_element(windows.begin(), windows.end());
        const double opening = stretchLoudness(blocks, 0, 30);
        const QString levels = QString("%1 LUFS, 10 s from %2 to %3, first 30 s %4")
                                   .arg(lufs, 0, 'f', 1)
                                   .arg(*quietest, 0, 'f', 1)
                                   .arg(*loudest, 0, 'f', 1)
                                   .arg(opening, 0, 'f', 1);
        qInfo("%s: %s", qPrintable(path), qPrintable(levels));
        QVERIFY2(std::abs(lufs - kGameLoudness) <= 1.0, qPrintable(levels));
        QVERIFY2(kGameLoudness - *quietest <= kWindowSpread, qPrintable(levels));
        QVERIFY2(*loudest - kGameLoudness <= kWindowSpread, qPrintable(levels));
        QVERIFY2(std::abs(opening - kGameLoudness) <= kOpeningSpread, qPrintable(levels));
    }

private:
    QString m_oldDir;
};

QTEST_MAIN(TestAssets)
#include "test_Assets.moc"
