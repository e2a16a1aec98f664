#include "toolkit/ErrorBox.h"

#include <QApplication>
#include <QList>
#include <QMessageBox>
#include <QPointer>

namespace {

QList<QPointer<QMessageBox>> &openBoxes()
{
    static QList<QPointer<QMessageBox>> boxes;
    boxes.removeIf([](const QPointer<QMessageBox> &box) { return box.isNull(); });
    return boxes;
}

} // namespace

namespace ErrorBox {

QString withFullStop(const QString &text)
{
    if (!text.isEmpty() && text.back().unicode() > u'.')
        return text + u'.';
    return text;
}

void show(const QString &text)
{
    const QString shown = withFullStop(text);
    if (openTexts().contains(shown))
        return;
    auto *box = new QMessageBox(QMessageBox::Critical, QString::fromUtf16(kTitle), shown, QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    openBoxes().append(box);
    box->show();
}

QStringList openTexts()
{
    QStringList texts;
    for (const QPointer<QMessageBox> &box : openBoxes())
        if (box->isVisible())
            texts.append(box->text());
    return texts;
}

void closeAll()
{
    for (const QPointer<QMessageBox> &box : openBoxes())
        box->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace ErrorBox
