#include "toolkit/ErrorBox.h"
#include "toolkit/Guard.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>

class TestErrorBox : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { ErrorBox::closeAll(); }

    // A full stop follows a letter or a digit, not "!" or "." or a blank.
    void fullStopRule()
    {
        QCOMPARE(ErrorBox::withFullStop("Cannot open AVI"), QString("Cannot open AVI."));
        QCOMPARE(ErrorBox::withFullStop("JPEG error #53"), QString("JPEG error #53."));
        QCOMPARE(ErrorBox::withFullStop("Error!"), QString("Error!"));
        QCOMPARE(ErrorBox::withFullStop("Done."), QString("Done."));
        QCOMPARE(ErrorBox::withFullStop("ends with blank "), QString("ends with blank "));
        QCOMPARE(ErrorBox::withFullStop(QString::fromUtf8("Ошибка")), QString::fromUtf8("Ошибка."));
        QCOMPARE(ErrorBox::withFullStop(""), QString(""));
    }

    // The guard turns an error into a modal error box titled with the application title.
    void guardShowsBox()
    {
        bool after = false;
        guarded([&] {
            throw GameError(QStringLiteral("No MCI device open"));
            after = true;
        });
        QVERIFY(!after);
        QCOMPARE(ErrorBox::openTexts(), QStringList{"No MCI device open."});
        const auto boxes = qApp->topLevelWidgets();
        QMessageBox *box = nullptr;
        for (QWidget *w : boxes)
            if (auto *b = qobject_cast<QMessageBox *>(w); b && b->isVisible())
                box = b;
        QVERIFY(box);
        QCOMPARE(box->windowTitle(), QString("PEMy - ultra reality game!"));
        QCOMPARE(box->icon(), QMessageBox::Critical);
        QCOMPARE(box->windowModality(), Qt::ApplicationModal);
    }

    // The same text is not opened twice while its box is open; another text is, and a closed one
    // again.
    void sameTextOnce()
    {
        ErrorBox::show("Cannot open AVI");
        ErrorBox::show("Cannot open AVI");
        ErrorBox::show("Icon image is not valid");
        QCOMPARE(ErrorBox::openTexts(),
                 (QStringList{"Cannot open AVI.", "Icon image is not valid."}));
        ErrorBox::closeAll();
        QVERIFY(ErrorBox::openTexts().isEmpty());
        ErrorBox::show("Cannot open AVI");
        QCOMPARE(ErrorBox::openTexts().size(), 1);
    }

    // Boxes come one at a time in the order raised: the next is shown, in front and with the
    // keyboard, when the one before it is dismissed; a text already waiting is not queued again.
    void oneAtATimeInOrder()
    {
        QWidget screen;
        screen.show();
        QVERIFY(QTest::qWaitForWindowActive(&screen));
        for (const char *text :
             {"The music file is damaged", "JPEG error #53", "The music file is damaged"})
            ErrorBox::show(text);
        QCOMPARE(ErrorBox::openTexts(),
                 (QStringList{"The music file is damaged.", "JPEG error #53."}));
        for (const QString &expected : ErrorBox::openTexts()) {
            QMessageBox *shown = nullptr;
            QTRY_VERIFY((shown = qobject_cast<QMessageBox *>(QApplication::activeWindow())));
            QCOMPARE(shown->text(), expected);
            int visible = 0;
            for (QWidget *w : qApp->topLevelWidgets())
                visible += qobject_cast<QMessageBox *>(w) && w->isVisible();
            QCOMPARE(visible, 1);
            QTest::keyClick(shown, Qt::Key_Return);
        }
        QTRY_VERIFY(ErrorBox::openTexts().isEmpty());
    }
};

QTEST_MAIN(TestErrorBox)
#include "test_ErrorBox.moc"
