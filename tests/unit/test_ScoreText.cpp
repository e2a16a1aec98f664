#include "score/ScoreText.h"

#include <QTest>

class TestScoreText : public QObject {
    Q_OBJECT
private slots:
    // Every lone CR and every lone LF becomes CR LF; CR LF pairs stay single breaks, and an LF
    // before a CR is two breaks, not one reversed pair.
    void normaliseLineBreaks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("no break") << QString("abc") << QString("abc");
        QTest::newRow("CR LF kept") << QString("a\r\nb\r\n") << QString("a\r\nb\r\n");
        QTest::newRow("LF only") << QString("a\nb\n") << QString("a\r\nb\r\n");
        QTest::newRow("CR only") << QString("a\rb\r") << QString("a\r\nb\r\n");
        QTest::newRow("LF CR") << QString("a\n\rb") << QString("a\r\n\r\nb");
        QTest::newRow("CR CR LF") << QString("a\r\r\nb") << QString("a\r\n\r\nb");
        QTest::newRow("ends with CR") << QString("a\r") << QString("a\r\n");
        QTest::newRow("mixed") << QString("\na\r\nb\rc\n") << QString("\r\na\r\nb\r\nc\r\n");
        QTest::newRow("CR LF before a lone LF") << QString("a\r\nb\nc\r\n") << QString("a\r\nb\r\nc\r\n");
        QTest::newRow("CR LF before a lone CR") << QString("a\r\n\r") << QString("a\r\n\r\n");
    }
    void normaliseLineBreaks()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(ScoreText::normaliseLineBreaks(text), expected);
    }

    // The text ends at the first zero byte, wherever it stands.
    void untilZero()
    {
        QCOMPARE(ScoreText::untilZero(QByteArray("abc")), QByteArray("abc"));
        QCOMPARE(ScoreText::untilZero(QByteArray("ab\0c\0d", 6)), QByteArray("ab"));
        QCOMPARE(ScoreText::untilZero(QByteArray("\0abc", 4)), QByteArray());
        QCOMPARE(ScoreText::untilZero(QByteArray("ab\r\n\0", 5)), QByteArray("ab\r\n"));
    }

    // Appending after an empty last line (an empty or break-terminated text) adds the line and a
    // break; after a last line without a break it adds a break and the line, so the text again
    // ends without one.
    void appendPiece()
    {
        QCOMPARE(ScoreText::appendPiece(true, "x"), QString("x\r\n"));
        QCOMPARE(ScoreText::appendPiece(false, "x"), QString("\r\nx"));
    }
};

QTEST_GUILESS_MAIN(TestScoreText)
#include "test_ScoreText.moc"
