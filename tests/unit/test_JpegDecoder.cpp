#include "formats/GameError.h"
#include "formats/JpegDecoder.h"
#include "unit/HostileFiles.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>
#include <functional>
#include <vector>

#include <sys/stat.h>

#include <jerror.h>
#include <jpeglib.h>

namespace {

// Four quadrants: red, green, blue, white.
QImage quadrants()
{
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            if (y < 24)
                image.setPixel(x, y, x < 32 ? qRgb(255, 0, 0) : qRgb(0, 255, 0));
            else if (x < 32)
                image.setPixel(x, y, qRgb(0, 0, 255));
        }
    return image;
}

// Encoded with Qt's own writer, so the decoder is checked against an independent encoder.
QByteArray encodeWithQt(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "JPG", 95))
        qFatal("Qt cannot write JPEG here");
    return bytes;
}

// A 16 × 16 Adobe CMYK JPEG (inks stored inverted, as Adobe writes them): pure red ink everywhere.
QByteArray encodeCmykRed()
{
    return writeJpeg({.components = 4}, [](std::vector<JSAMPLE> &row, unsigned) {
        for (size_t x = 0; x < row.size(); x += 4) { // no cyan, full magenta, full yellow, no black
            row[x] = 255;
            row[x + 1] = 0;
            row[x + 2] = 0;
            row[x + 3] = 255;
        }
    });
}

// A JPEG written by libjpeg: 16 x 16 of stripes, baseline or progressive.
QByteArray encodeStripes(bool progressive)
{
    return writeJpeg({.progressive = progressive}, [](std::vector<JSAMPLE> &row, unsigned y) {
        for (size_t i = 0; i < row.size(); ++i)
            row[i] = JSAMPLE(i * 5 + y * 16);
    });
}

// `bytes` with the frame header claiming `side` x `side` pixels.
QByteArray claimSide(QByteArray bytes, int side)
{
    qsizetype at = bytes.indexOf("\xff\xc0");
    if (at < 0)
        at = bytes.indexOf("\xff\xc2");
    bytes[at + 5] = bytes[at + 7] = char(side >> 8);
    bytes[at + 6] = bytes[at + 8] = char(side);
    return bytes;
}

bool near(QRgb actual, QRgb expected, int tolerance = 12)
{
    return qAbs(qRed(actual) - qRed(expected)) <= tolerance
        && qAbs(qGreen(actual) - qGreen(expected)) <= tolerance
        && qAbs(qBlue(actual) - qBlue(expected)) <= tolerance;
}

QString errorOf(const QByteArray &bytes)
{
    try {
        JpegDecoder::decode(bytes);
    } catch (const GameError &error) {
        return error.text();
    }
    return {};
}

} // namespace

class TestJpegDecoder : public QObject {
    Q_OBJECT

private slots:
    // Colour, greyscale and CMYK pictures all arrive as RGB32 in their own colours.
    void decodesColourGreyAndCmyk()
    {
        const QImage colour = JpegDecoder::decode(encodeWithQt(quadrants()));
        QCOMPARE(colour.size(), QSize(64, 48));
        QCOMPARE(colour.format(), QImage::Format_RGB32);
        QVERIFY(near(colour.pixel(8, 8), qRgb(255, 0, 0)));
        QVERIFY(near(colour.pixel(56, 8), qRgb(0, 255, 0)));
        QVERIFY(near(colour.pixel(8, 40), qRgb(0, 0, 255)));
        QVERIFY(near(colour.pixel(56, 40), qRgb(255, 255, 255)));

        QImage grey(32, 32, QImage::Format_Grayscale8);
        grey.fill(90);
        const QImage decodedGrey = JpegDecoder::decode(encodeWithQt(grey));
        QCOMPARE(decodedGrey.format(), QImage::Format_RGB32);
        QVERIFY(near(decodedGrey.pixel(16, 16), qRgb(90, 90, 90), 2));

        const QImage cmyk = JpegDecoder::decode(encodeCmykRed());
        QCOMPARE(cmyk.size(), QSize(16, 16));
        QVERIFY(near(cmyk.pixel(8, 8), qRgb(255, 0, 0)));
    }

    // A file cut short is only a warning: the picture keeps its size and what arrived is shown.
    void truncatedStreamStillDecodes()
    {
        const QByteArray whole = encodeWithQt(quadrants());
        const qsizetype scan = whole.indexOf("\xff\xda"); // start of the entropy-coded data
        QVERIFY(scan > 0);
        QImage image;
        try {
            image = JpegDecoder::decode(whole.left(scan + (whole.size() - scan) / 2));
        } catch (const GameError &error) {
            QFAIL(qPrintable("a truncated stream raised " + error.text()));
        }
        QCOMPARE(image.size(), QSize(64, 48));
        QVERIFY(near(image.pixel(8, 8), qRgb(255, 0, 0)));
    }

    // Undecodable input raises "JPEG error #<libjpeg's message number>" and nothing else escapes:
    // not a JPEG at all (libjpeg's "Not a JPEG file", 53), an empty file (its "Empty input file",
    // 42), and a stream that ends inside the header.
    void undecodableInputRaisesTheDecodersNumber()
    {
        QCOMPARE(JERR_NO_SOI, 53);
        QCOMPARE(errorOf("GIF89a, not a picture we read"), QString("JPEG error #53"));
        QCOMPARE(JERR_INPUT_EMPTY, 42);
        QCOMPARE(errorOf(QByteArray()), QString("JPEG error #42"));

        const QString headerCut = errorOf(encodeWithQt(quadrants()).left(40));
        QVERIFY2(headerCut.startsWith("JPEG error #"), qPrintable(headerCut));
    }

    // With the picture area given, only that much of a larger picture is decoded, pixel for pixel
    // the same as the top left of the whole picture, also where the area ends inside a block.
    void decodesOnlyThePictureArea()
    {
        const QByteArray bytes = encodeWithQt(quadrants());
        const QImage whole = JpegDecoder::decode(bytes);
        const QImage part = JpegDecoder::decode(bytes, QSize(37, 30));
        QCOMPARE(part.size(), QSize(37, 30));
        QCOMPARE(part, whole.copy(0, 0, 37, 30));
        QCOMPARE(JpegDecoder::decode(bytes, QSize(688, 368)), whole);
    }

    void smallFilesOfHugeCost_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error"); // empty: the picture area decodes
        const QString badProgression = QString("JPEG error #%1").arg(JERR_BAD_PROGRESSION);
        QTest::newRow("baseline 16383 x 16383")
            << claimSide(encodeStripes(false), 16383) << QString();
        QTest::newRow("baseline 65500 x 65500")
            << claimSide(encodeStripes(false), 65500) << QString();
        QTest::newRow("progressive 16383 x 16383")
            << claimSide(encodeStripes(true), 16383)
            << QString("JPEG error #%1").arg(JERR_NO_BACKING_STORE);
        const QByteArray background = HostileFiles::progressiveJpeg(688, 368);
        QTest::newRow("progressive, its last scan 1000 times")
            << HostileFiles::repeatLastScan(background, 1000) << badProgression;
        QTest::newRow("progressive 688 x 368, 90 scans")
            << HostileFiles::repeatLastScan(background, 81) << QString();
        const QByteArray large = HostileFiles::progressiveJpeg(4000, 4000);
        QTest::newRow("progressive 4000 x 4000") << large << QString();
        QTest::newRow("progressive 4000 x 4000, its last scan 20 times")
            << HostileFiles::repeatLastScan(large, 20) << badProgression;
    }

    // A small file that claims a huge picture, or that asks for the same work over and over, is
    // shown or refused within a second and takes no memory to speak of (the game's limit is 100 MB
    // over its normal use): a baseline one decodes the picture area only; a progressive one, which
    // libjpeg must hold whole, is refused with libjpeg's number for needing more than its memory
    // allows ("Backing store not supported"), or for a bad progression when it has more scans than
    // an encoder writes (a few dozen; some are repeated thousands of times) or its scans would
    // visit more blocks than the largest picture that fits that memory needs.
    void smallFilesOfHugeCost()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        QVERIFY(bytes.size() < 200 * 1024);
        const qint64 before = HostileFiles::peakMegabytes();
        QElapsedTimer clock;
        clock.start();
        try {
            const QImage image = JpegDecoder::decode(bytes, QSize(688, 368));
            QVERIFY2(error.isEmpty(), "no error");
            QCOMPARE(image.size(), QSize(688, 368));
        } catch (const GameError &raised) {
            QCOMPARE(raised.text(), error);
        }
        // Generous for a loaded machine or a sanitizer build: some took 3 to 100 s before the work
        // was bounded.
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(HostileFiles::peakMegabytes() - before < 100,
                 qPrintable(QString::number(HostileFiles::peakMegabytes() - before)));
    }

    // decodeFile reads the file as it decodes; an empty or missing file, or a pipe in the picture's
    // place (which would block start-up for ever), is a GameError, never a crash or a hang.
    void decodesFiles()
    {
        QTemporaryDir dir;
        const QString good = dir.filePath("fon.jpg");
        QFile file(good);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(encodeWithQt(quadrants()));
        file.close();
        QCOMPARE(JpegDecoder::decodeFile(good).size(), QSize(64, 48));

        const QString empty = dir.filePath("empty.jpg");
        QFile emptyFile(empty);
        QVERIFY(emptyFile.open(QIODevice::WriteOnly));
        emptyFile.close();
        QVERIFY_THROWS_EXCEPTION(GameError, JpegDecoder::decodeFile(empty));

        try {
            JpegDecoder::decodeFile(dir.filePath("missing.jpg"));
            QFAIL("a missing file decoded");
        } catch (const GameError &error) {
            QVERIFY(error.text().startsWith("Cannot open file"));
        }

        const QString pipe = dir.filePath("pipe.jpg");
        QCOMPARE(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        try {
            JpegDecoder::decodeFile(pipe);
            QFAIL("a pipe decoded");
        } catch (const GameError &error) {
            QVERIFY(error.text().startsWith("Cannot open file"));
        }
    }
};

QTEST_GUILESS_MAIN(TestJpegDecoder)
#include "test_JpegDecoder.moc"
