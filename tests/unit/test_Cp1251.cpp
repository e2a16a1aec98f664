#include "toolkit/Cp1251.h"
#include "toolkit/TEdit.h"
#include "toolkit/TMemo.h"

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
        TEdit edit(nullptr);
        edit.show();
        typeText(&edit, QString::fromUtf8("Жé"));
        QCOMPARE(edit.text(), QString::fromUtf8("Ж?"));
        edit.clear();
        QApplication::clipboard()->setText(QString::fromUtf8("Пётр😀"));
        edit.paste();
        QCOMPARE(edit.text(), QString::fromUtf8("Пётр?"));

        TMemo memo(nullptr);
        memo.show();
        memo.setFocus();
        typeText(&memo, QString::fromUtf8("Яé"));
        memo.paste();
        QCOMPARE(memo.text(), QString::fromUtf8("Я?Пётр?"));
    }

    // The text box gives and takes its text with CR LF line breaks, and appends at the very end.
    void memoLineBreaks()
    {
        TMemo memo(nullptr);
        memo.setText("one\r\ntwo\r\n");
        QCOMPARE(memo.text(), QString("one\r\ntwo\r\n"));
        memo.appendRaw("three\r\n");
        QCOMPARE(memo.text(), QString("one\r\ntwo\r\nthree\r\n"));
    }
};

QTEST_MAIN(TestCp1251)
#include "test_Cp1251.moc"
