#include "AviWriter.h"
#include "formats/AviDecoder.h"

#include <QTemporaryFile>
#include <QTest>

class TestAviDecoder : public QObject {
    Q_OBJECT
private slots:
    // Chunks that are no video frames cost little whatever their number: no more than
    // kMaxChunkHeaders headers are looked at, so a clip whose frames lie behind a million empty
    // chunks is refused, and one whose frames come first opens with them. (The time it takes is
    // bench_clip's BM_OpenClipOfEmptyChunks.)
    void emptyChunksAreBounded_data()
    {
        QTest::addColumn<int>("empty");
        QTest::addColumn<bool>("after");
        QTest::addColumn<bool>("inHeader");
        QTest::addColumn<bool>("opens");
        QTest::newRow("a few before the frames") << 1000 << false << false << true;
        QTest::newRow("a million before the frames") << 1000000 << false << false << false;
        QTest::newRow("a million in the header list") << 1000000 << false << true << false;
        QTest::newRow("four million after the frames") << 4000000 << true << false << true;
    }
    void emptyChunksAreBounded()
    {
        QFETCH(int, empty);
        QFETCH(bool, after);
        QFETCH(bool, inHeader);
        QFETCH(bool, opens);
        const QSize size(16, 8);
        ClipLayout layout;
        layout.index = false;
        const QByteArray clip = AviWriter::bytes(
            size, 10, 3, ClipCodec::Pal8,
            [&](int i) { return AviWriter::splitFrame(size, Qt::white, i); }, layout);
        QTemporaryFile file;
        QVERIFY(file.open());
        file.write(AviWriter::withEmptyChunks(clip, empty, after, inHeader));
        file.close();
        AviDecoder decoder;
        QCOMPARE(decoder.open(file.fileName()), opens);
        if (opens)
            QCOMPARE(decoder.framesInFile(), 3);
    }
};

QTEST_GUILESS_MAIN(TestAviDecoder)
#include "test_AviDecoder.moc"
