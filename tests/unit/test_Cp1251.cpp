#include "ScreenFixture.h"

#include "formats/Cp1251.h"
#include "toolkit/LineEdit.h"
#include "toolkit/MultiLineEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QTest>

namespace {
// Types `text` into `widget` one character at a time, as a keyboard with any layout would.
void typeText(QWidget *widget, const QString &text)
{
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
    }
}
} // namespace

class TestCp1251 : public QObject {
    Q_OBJECT
private slots:
    // Cyrillic text crosses the file boundary as single bytes, and back.
    void roundTrip()
    {
        const QByteArray bytes = Cp1251::encode(QString::fromUtf8("Вася"));
        QCOMPARE(bytes, QByteArray::fromHex("c2e0f1ff"));
        QCOMPARE(Cp1251::decode(bytes), QString::fromUtf8("Вася"));
        const QString all = QString::fromUtf8("Ёё№ - АаЯя € «»");
        QCOMPARE(Cp1251::decode(Cp1251::encode(all)), all);

        // Every byte has a character that the text boxes accept and that is saved as that byte,
        // the no-break space A0 and the byte 98 that the code page leaves undefined included.
        QByteArray everyByte(256, '\0');
        for (int byte = 0; byte < 256; ++byte)
            everyByte[byte] = char(byte);
        const QString decoded = Cp1251::decode(everyByte);
        QCOMPARE(Cp1251::encode(decoded), everyByte);
        QCOMPARE(Cp1251::sanitize(decoded), decoded);
        QCOMPARE(decoded[0xA0], QChar(0x00A0));
        QCOMPARE(decoded[0x98], QChar(0x0098));
        QCOMPARE(decoded[0xC0], QChar(0x0410));
        // The comparison without a copy agrees with the decoded text, to the last byte and length.
        QVERIFY(Cp1251::decodesTo(everyByte, decoded));
        QVERIFY(!Cp1251::decodesTo(everyByte, decoded.chopped(1)));
        QVERIFY(!Cp1251::decodesTo(everyByte.chopped(1) + '?', decoded));
    }

    // Characters outside the code page become "?", one per character, also for surrogate pairs.
    void refusal()
    {
        QCOMPARE(Cp1251::sanitize(QString::fromUtf8("a😀b漢c")), QString("a?b?c"));
        QCOMPARE(Cp1251::encode(QString::fromUtf8("é")), QByteArray("?"));
        QVERIFY(!Cp1251::holds(QChar(0x00E9)));
        QVERIFY(Cp1251::holds(QChar(0x0416)));
    }

    // An edit field and a text box keep only what the code page holds, typed or pasted.
    void textBoxes()
    {
        LineEdit edit(nullptr);
        edit.show();
        typeText(&edit, QString::fromUtf8("Жé"));
        QCOMPARE(edit.text(), QString::fromUtf8("Ж?"));
        edit.clear();
        QApplication::clipboard()->setText(QString::fromUtf8("Пётр😀"));
        edit.paste();
        QCOMPARE(edit.text(), QString::fromUtf8("Пётр?"));

        MultiLineEdit memo(nullptr);
        memo.show();
        memo.setFocus();
        typeText(&memo, QString::fromUtf8("Яé"));
        memo.paste();
        QCOMPARE(memo.text(), QString::fromUtf8("Я?Пётр?"));
    }

    // The text box gives and takes its text with CR LF line breaks, shows each line on a line of
    // its own, and appends at the very end.
    void memoLineBreaks()
    {
        MultiLineEdit memo(nullptr);
        memo.setText("one\r\ntwo\r\n");
        QCOMPARE(memo.text(), QString("one\r\ntwo\r\n"));
        QCOMPARE(shownLines(&memo), QStringList({"one", "two", ""}));
        QVERIFY(memo.endsWithEmptyLine());
        memo.appendRaw("three");
        QCOMPARE(memo.text(), QString("one\r\ntwo\r\nthree"));
        QCOMPARE(shownLines(&memo), QStringList({"one", "two", "three"}));
        QVERIFY(!memo.endsWithEmptyLine());
        // A line that fits no more into the paragraph of the lines before it is not cut.
        memo.setText(QString(2040, u'x') + "\r\n");
        memo.appendRaw(QString(20, u'y') + "\r\n");
        QCOMPARE(shownLines(&memo).mid(shownLines(&memo).size() - 2),
                 QStringList({QString(20, u'y'), ""}));
        QCOMPARE(memo.text(), QString(2040, u'x') + "\r\n" + QString(20, u'y') + "\r\n");
    }

    // The text box gives back exactly the text it was given and appended, whatever its characters
    // (the no-break space included) and however long its lines, which it shows in pieces, short
    // lines sharing a paragraph; the player's edits keep all of that.
    void memoKeepsText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("appended");
        QTest::addColumn<int>("blocks");
        QString every;
        for (int byte = 1; byte < 256; ++byte)
            if (byte != '\r' && byte != '\n')
                every += Cp1251::decode(QByteArray(1, char(byte)));
        const QString nbsp = QString::fromUtf8("a\u00A0b");
        QTest::newRow("every character") << every + "\r\n" + nbsp << QString("\r\n" + every) << 1;
        // 8000 characters without a space: pieces of 2048, 2048, 2048 and 1856.
        QTest::newRow("long line") << nbsp + QString(4997, u'x') << QString(3000, u'y') << 4;
        // Pieces of 2048 and 952 for each line; the second does not fit after the first.
        QTest::newRow("long line after a break") << QString(3000, u'x') + "\r\n"
                                                 << QString(3000, u'y') + "\r\n"
                                                 << 4;
    }
    void memoKeepsText()
    {
        QFETCH(QString, text);
        QFETCH(QString, appended);
        QFETCH(int, blocks);
        MultiLineEdit memo(nullptr);
        memo.resize(300, 200);
        memo.show();
        memo.setText(text);
        memo.appendRaw(appended);
        QCOMPARE(memo.text(), text + appended);
        QCOMPARE(memo.document()->blockCount(), blocks);

        memo.setReadOnly(false);
        memo.setFocus();
        memo.moveCursor(QTextCursor::End);
        typeText(&memo, "z");
        memo.moveCursor(QTextCursor::Start);
        typeText(&memo, "q");
        QCOMPARE(memo.text(), "q" + text + appended + "z");
    }
};

QTEST_MAIN(TestCp1251)
#include "test_Cp1251.moc"
