#include "formats/Cp1251.h"
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
        QTest::newRow("Cyrillic, LF only") << QString("Вася\nПетя") << QString("Вася\r\nПетя");
        QTest::newRow("mixed") << QString("\na\r\nb\rc\n") << QString("\r\na\r\nb\r\nc\r\n");
        QTest::newRow("CR LF before a lone LF")
            << QString("a\r\nb\nc\r\n") << QString("a\r\nb\r\nc\r\n");
        QTest::newRow("CR LF before a lone CR") << QString("a\r\n\r") << QString("a\r\n\r\n");
    }
    void normaliseLineBreaks()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(ScoreText::normaliseLineBreaks(text), expected);
        // The same told from the file's bytes without the copy: that text and no other.
        const QByteArray bytes = Cp1251::encode(text);
        QVERIFY(ScoreText::readsAs(bytes, expected));
        QVERIFY(!ScoreText::readsAs(bytes, expected + "\r\n"));
        QVERIFY(expected.isEmpty() || !ScoreText::readsAs(bytes, expected.chopped(1)));
        QVERIFY(expected.isEmpty() || !ScoreText::readsAs(bytes, "?" + expected.mid(1)));
        QVERIFY(ScoreText::readsAs(bytes + QByteArray("\0tail", 5), expected));
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
    // The size the bound applies to is that of the text as it would be saved: up to the first zero
    // byte, each lone CR or LF counted as CR LF.
    void normalisedSize()
    {
        QCOMPARE(ScoreText::normalisedSize("a\r\nb"), 4);
        QCOMPARE(ScoreText::normalisedSize("a\rb\r"), 6);
        QCOMPARE(ScoreText::normalisedSize("\na\n\r"), 7);
        QCOMPARE(ScoreText::normalisedSize(QByteArray("a\r\0\r\r\r", 6)), 3);
        QCOMPARE(ScoreText::normalisedSize(QByteArray("\0\r\r", 3)), 0);
    }

    // A save writes the list as the player left it plus the results that the file gained since
    // the list was read: a result is the separator with its line, never split; what the player
    // deleted stays deleted, even when the file was rewritten meanwhile.
    void merge_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("ours");
        QTest::addColumn<QString>("theirs"); // "<none>": no file
        QTest::addColumn<QString>("expected");
        const QString s = "-----------------\r\n";
        QTest::newRow("no file") << "A\r\n"
                                 << "A\r\nB\r\n"
                                 << "<none>"
                                 << "A\r\nB\r\n";
        QTest::newRow("file unchanged") << "A\r\n"
                                        << "B\r\n"
                                        << "A\r\n"
                                        << "B\r\n";
        QTest::newRow("both added") << s + "a\r\n"
                                    << s + "a\r\n" + s + "b\r\n"
                                    << s + "a\r\n" + s + "c\r\n"
                                    << s + "a\r\n" + s + "c\r\n" + s + "b\r\n";
        QTest::newRow("a pair deleted, another game added one") << s + "a\r\n" + s
                + "b\r\n" << s + "b\r\n" << s + "a\r\n" + s + "b\r\n" + s + "c\r\n"
                                                                << s + "b\r\n" + s + "c\r\n";
        QTest::newRow("a pair deleted, the file rewritten and added to")
            << s + "a\r\n" + s + "b\r\n"
            << s + "b\r\n"
            << "X\r\n" + s + "a\r\n" + s + "b\r\n" + s + "c\r\n"
            << s + "b\r\n" + "X\r\n" + s + "c\r\n";
        QTest::newRow("a result line deleted, its separator kept") << s
                + "a\r\n" << s << s + "a\r\n" + s + "c\r\n" << s + s + "c\r\n";
        QTest::newRow("another game added the same result") << s + "a\r\n"
                                                            << s + "a\r\n" + s
                + "b\r\n" << s + "a\r\n" + s + "b\r\n" << s + "a\r\n" + s + "b\r\n" + s + "b\r\n";
        QTest::newRow("the same result twice, once added")
            << s + "a\r\n"
            << s + "a\r\n" + "Z\r\n"
            << "Q\r\n" + s + "a\r\n" + s + "a\r\n"
            << s + "a\r\n" + "Q\r\n" + s + "a\r\n" + "Z\r\n";
    }
    void merge()
    {
        QFETCH(QString, base);
        QFETCH(QString, ours);
        QFETCH(QString, theirs);
        QFETCH(QString, expected);
        const std::optional<QString> file =
            theirs == "<none>" ? std::nullopt : std::optional<QString>(theirs);
        QCOMPARE(ScoreText::merge(base, ours, file, base), expected);
    }

    // The results of one text that another lacks, counted, in their order.
    void missingResults()
    {
        const QString s = "-----------------\r\n";
        QCOMPARE(ScoreText::missingResults(s + "a\r\n" + s + "b\r\nX\r\n", s + "b\r\n"),
                 s + "a\r\nX\r\n");
        QCOMPARE(ScoreText::missingResults(s + "a\r\n" + s + "a\r\n", s + "a\r\n"), s + "a\r\n");
        QCOMPARE(ScoreText::missingResults(s + "a", s + "a\r\n"), QString());
        QCOMPARE(ScoreText::missingResults(QString(), "x\r\n"), QString());
    }
};

QTEST_GUILESS_MAIN(TestScoreText)
#include "test_ScoreText.moc"
