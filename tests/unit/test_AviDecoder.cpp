#include "AviWriter.h"
#include "formats/AviDecoder.h"

#include <QTemporaryFile>
#include <QElapsedTimer>
#include <QTest>

#include <memory>

namespace {

// A clip of `frames` 8-bit frames without an index, with `empty` empty chunks of another stream
// ("01wb", eight bytes each) inside its movi list: before its frames or after them, or in its
// header list.
QByteArray clipWithEmptyChunks(int frames, int empty, const QString &where)
{
    ClipLayout layout;
    layout.index = false;
    QByteArray clip = AviWriter::bytes(
        QSize(16, 8), 10, frames, ClipCodec::Pal8,
        [](int index) { return AviWriter::splitFrame(QSize(16, 8), Qt::white, index); }, layout);
    QByteArray junk;
    junk.reserve(qsizetype(empty) * 8);
    for (int i = 0; i < empty; ++i)
        junk.append("01wb\0\0\0\0", 8);
    const char *list = where == "header" ? "hdrl" : "movi";
    const qsizetype tag = clip.indexOf(list);
    const qsizetype at = where == "after" ? clip.size() : tag + 4;
    const auto grow = [&](qsizetype sizeAt) {
        quint32 size = 0;
        memcpy(&size, clip.constData() + sizeAt, 4);
        size += quint32(junk.size());
        memcpy(clip.data() + sizeAt, &size, 4);
    };
    if (where == "after")
        grow(clip.indexOf("movi") - 4);
    else
        grow(tag - 4);
    grow(4);
    // No count of frames in the main header: the whole movi list is walked.
    memset(clip.data() + clip.indexOf("avih") + 8 + 16, 0, 4);
    clip.insert(at, junk);
    return clip;
}

} // namespace

class TestAviDecoder : public QObject {
    Q_OBJECT
private slots:
    // A clip full of empty chunks that are no video frames (a million or four, 8 or 32 MB) opens,
    // or is refused, with little work: chunk headers are read through a window of the file, not one
    // read each, and no more than AviDecoder::MaxChunkHeaders of them are looked at. The bound on
    // time is generous (a slow or instrumented build); the machine here takes some 0.05 s.
    void emptyChunksCostLittle_data()
    {
        QTest::addColumn<int>("empty");
        QTest::addColumn<QString>("where");
        QTest::addColumn<bool>("opens");
        QTest::newRow("a million before the frames") << 1000000 << "before" << false;
        QTest::newRow("a million after the frames") << 1000000 << "after" << true;
        QTest::newRow("four million after the frames") << 4000000 << "after" << true;
        QTest::newRow("a million in the header list") << 1000000 << "header" << false;
        QTest::newRow("a few before the frames") << 1000 << "before" << true;
    }
    void emptyChunksCostLittle()
    {
        QFETCH(int, empty);
        QFETCH(QString, where);
        QFETCH(bool, opens);
        QTemporaryFile file;
        QVERIFY(file.open());
        file.write(clipWithEmptyChunks(3, empty, where));
        file.close();
        AviDecoder decoder;
        QElapsedTimer took;
        took.start();
        const bool opened = decoder.open(file.fileName());
        const qint64 ms = took.elapsed();
        qInfo("%s: %lld ms", qPrintable(QString(QTest::currentDataTag())), ms);
        QCOMPARE(opened, opens);
        if (opened)
            QCOMPARE(decoder.framesInFile(), 3);
        QVERIFY2(ms < 500, qPrintable(QString::number(ms)));
    }
};

QTEST_GUILESS_MAIN(TestAviDecoder)
#include "test_AviDecoder.moc"
