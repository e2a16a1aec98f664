// The icon and bitmap loaders on files that claim more than they hold.

#include "formats/GameError.h"
#include "formats/Pictures.h"
#include "unit/HostileFiles.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QtTest>

namespace {

void le16(QByteArray &out, int v)
{
    out.append(char(v)).append(char(v >> 8));
}

void le32(QByteArray &out, qint32 v)
{
    for (int i = 0; i < 4; ++i)
        out.append(char(v >> (8 * i)));
}

// A bitmap file of `width` x `height` at `bits` bits, run-length coded or not, with `data` as its
// pixels.
QByteArray bitmap(int width, int height, int bits, bool rle, const QByteArray &data)
{
    const int colours = bits == 8 ? 256 : 0;
    const int offset = 14 + 40 + 4 * colours;
    QByteArray out("BM");
    le32(out, offset + int(data.size()));
    le32(out, 0);
    le32(out, offset);
    le32(out, 40);
    le32(out, width);
    le32(out, height);
    le16(out, 1);
    le16(out, bits);
    le32(out, rle ? 1 : 0);
    le32(out, int(data.size()));
    le32(out, 0);
    le32(out, 0);
    le32(out, colours);
    le32(out, 0);
    for (int i = 0; i < colours; ++i)
        le32(out, i * 0x010101);
    return out + data;
}

} // namespace

class TestPictures : public QObject {
    Q_OBJECT

private slots:
    void hugeClaimsAreNotValid_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("icon");
        QTest::addColumn<QSize>("loads"); // the size of the picture shown; invalid: not valid
        QTest::newRow("bitmap 5000 x 5000")
            << bitmap(5000, 5000, 24, false, QByteArray(100, '\0')) << false << QSize();
        QTest::newRow("run-length bitmap 3000 x 3000")
            << bitmap(3000, 3000, 8, true, QByteArray("\0\1", 2)) << false << QSize();
        QByteArray icon;
        le16(icon, 0);
        le16(icon, 1);
        le16(icon, 1);
        const QByteArray inner = bitmap(4000, 8000, 32, false, QByteArray(100, '\0')).mid(14);
        icon.append(4, '\0');
        le16(icon, 1);
        le16(icon, 32);
        le32(icon, int(inner.size()));
        le32(icon, 22);
        QTest::newRow("icon holding a 4000 x 4000 bitmap") << icon + inner << true << QSize();
        QTest::newRow("icon of 1000 entries of one 1000 x 1000 PNG")
            << HostileFiles::manyEntryIcon(1000, 1000) << true << QSize(1000, 1000);
        QTest::newRow("icon of 65535 entries of one 1000 x 1000 PNG")
            << HostileFiles::manyEntryIcon(65535, 1000) << true << QSize(1000, 1000);
    }

    // A picture whose header claims far more than the 32 x 32 the game draws is not valid, and
    // loading it takes no memory to speak of (Qt's readers alone would allocate it, and keying
    // the colour would convert it twice). Of an icon only the entry drawn is decoded, however
    // many entries point to a large picture (each decoding took 10 ms and more), so every icon is
    // shown or refused within a second.
    void hugeClaimsAreNotValid()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, icon);
        QFETCH(QSize, loads);
        QBuffer buffer(&bytes);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        const qint64 before = HostileFiles::peakMegabytes();
        QElapsedTimer clock;
        clock.start();
        try {
            const QImage image =
                icon ? Pictures::loadIcon(&buffer) : Pictures::loadTransparentBitmap(&buffer);
            QCOMPARE(image.size(), loads);
        } catch (const GameError &error) {
            QVERIFY2(!loads.isValid(), qPrintable(error.text()));
            QCOMPARE(error.text(),
                     icon ? QString("Icon image is not valid")
                          : QString("Bitmap image is not valid"));
        }
        // Generous for a loaded machine or a sanitizer build.
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(HostileFiles::peakMegabytes() - before < 32,
                 qPrintable(QString::number(HostileFiles::peakMegabytes() - before)));

        // A bitmap of the game's size in the same coding loads, keyed on its lower left pixel.
        if (!icon) {
            QByteArray small = bitmap(32, 32, 24, false, QByteArray(32 * 32 * 3, char(0x40)));
            QBuffer smallBuffer(&small);
            QVERIFY(smallBuffer.open(QIODevice::ReadOnly));
            const QImage image = Pictures::loadTransparentBitmap(&smallBuffer);
            QCOMPARE(image.size(), QSize(32, 32));
            QCOMPARE(qAlpha(image.pixel(5, 5)), 0);
        }
    }
};

QTEST_GUILESS_MAIN(TestPictures)
#include "test_Pictures.moc"
