#include "toolkit/ErrorBox.h"

#include "toolkit/Scaling.h"
#include "toolkit/WindowFrame.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLabel>
#include <QLayout>
#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QWindow>

#include <cmath>
#include <utility>

namespace {

// Qt's message box with the two widths that Qt gives it in plain pixels scaled like the layouts
// (it wraps a long text at 500 pixels, or at half the screen), and at least as wide as a window
// manager's title bar needs to show its whole title. So a box at any DPI has its 120-dpi shape,
// its text broken into as many lines, and its title uncut. It is placed once its size is final,
// in the middle of its screen.
class ScaledBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    // Sent before the box is mapped, after Qt placed it for the size it had then.
    void showEvent(QShowEvent *event) override
    {
        QMessageBox::showEvent(event);
        fit();
        WindowFrame::centre(this);
    }

    // Qt's message box sizes itself anew at every layout request, and a late one follows the first
    // show on X11, once the box is mapped: Qt's own width, then this box's, two resizes while the
    // window manager may still be framing the window. Such a resize carries the place the toolkit
    // believes the window has, and under openbox it sent about one box in ten to the screen's
    // corner, its title bar off the screen. So the box is sized here alone, and only a change of
    // its size (of its text, say) resizes and places it again.
    bool event(QEvent *event) override
    {
        if (event->type() != QEvent::LayoutRequest || !isVisible())
            return QMessageBox::event(event);
        // Past QMessageBox, whose handling of this request is its sizing alone.
        // NOLINTNEXTLINE(bugprone-parent-virtual-call)
        const bool handled = QDialog::event(event);
        const QSize before = size();
        fit();
        if (size() != before)
            WindowFrame::centre(this);
        return handled;
    }

private:
    static constexpr int kWrapWidth = 500;
    // The title font where the desktop does not tell its own: larger than the common ones
    // (openbox's is 8 points, xfwm4's 9, KDE's 10, GNOME's 11).
    static constexpr int kTitlePoints = 13;
    // A title bar holds the window's icon and up to three buttons (minimise, maximise, close),
    // squares about as tall as the title's line, and it may centre the title on the whole bar
    // (openbox does), so that the room beside the title is twice that on its fuller side.
    static constexpr int kLinesBesideTitle = 9;
    // The desktop's text renderer may hint the title wider than the toolkit measures it (by 5 %
    // at 96 dpi under openbox): a tenth more.
    static constexpr double kTitleSlack = 1.1;

    // The desktop's title font. Qt answers a font that the platform does not know with its
    // default font, which it also gives for the smallest readable font where that is unknown too.
    static QFont titleFont()
    {
        QFont font = QFontDatabase::systemFont(QFontDatabase::TitleFont);
        if (font != QFontDatabase::systemFont(QFontDatabase::SmallestReadableFont))
            return font;
        font = QFont(QStringLiteral("Sans"));
        font.setStyleHint(QFont::SansSerif);
        Scaling::setPoints(font, kTitlePoints);
        font.setBold(true);
        return font;
    }

    // The width of the title bar that shows the whole title.
    int titleBarWidth() const
    {
        const QFontMetrics metrics(titleFont());
        return int(std::ceil(metrics.horizontalAdvance(windowTitle()) * kTitleSlack))
            + kLinesBesideTitle * metrics.height();
    }

    void fit()
    {
        if (!layout())
            return;
        // Qt's own width at 120 dpi (set but not yet applied to a window on its way to the screen).
        int width = minimumWidth();
        if (Scaling::factor() != 1.0)
            width = wrappedWidth();
        width = std::max(width, titleBarWidth());
        setFixedSize(width,
                     layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(width)
                                                   : layout()->totalMinimumSize().height());
        // What the size just set asks of the layout is done; as Qt does after sizing the box.
        QCoreApplication::removePostedEvents(this, QEvent::LayoutRequest);
    }

    // The width at which the text wraps as at 120 dpi.
    int wrappedWidth()
    {
        QLabel *label = nullptr;
        const auto labels = findChildren<QLabel *>();
        for (QLabel *candidate : labels)
            if (candidate->text() == text())
                label = candidate;
        if (!label)
            return minimumWidth();
        const int halfScreen = screen() ? screen()->availableGeometry().width() / 2 : kWrapWidth;
        const int wrapWidth = std::min(halfScreen, Scaling::px(kWrapWidth));
        label->setWordWrap(false);
        const int width = layout()->totalMinimumSize().width();
        if (width <= wrapWidth)
            return width;
        label->setWordWrap(true);
        return std::max(wrapWidth, layout()->totalMinimumSize().width());
    }
};

// The boxes raised and not yet dismissed, oldest first; only the oldest is on screen.
QList<QPointer<QMessageBox>> &openBoxes()
{
    static QList<QPointer<QMessageBox>> boxes;
    boxes.removeIf([](const QPointer<QMessageBox> &box) { return box.isNull(); });
    return boxes;
}

bool isBox(const QObject *object)
{
    for (const QPointer<QMessageBox> &box : openBoxes())
        if (box == object)
            return true;
    return false;
}

// Keeps open boxes in front: whenever another window of the game is shown or raised (a screen
// switch that follows the step that failed), the boxes are raised again and the newest takes the
// keyboard, once that switch is over. Without it a box would end up behind the new screen and,
// being modal, leave the game looking frozen. This works with or without a window manager: the
// boxes are also made transient for the window that came up, which managers keep them above.
class BoxKeeper : public QObject {
public:
    static BoxKeeper &instance()
    {
        static BoxKeeper *keeper = [] {
            auto *created = new BoxKeeper(qApp);
            qApp->installEventFilter(created);
            return created;
        }();
        return *keeper;
    }

    void bringToFront()
    {
        m_queued = false;
        const auto boxes = openBoxes();
        for (const QPointer<QMessageBox> &box : boxes) {
            if (!box->isVisible())
                continue;
            if (m_lastShown && box->windowHandle() && m_lastShown->windowHandle())
                box->windowHandle()->setTransientParent(m_lastShown->windowHandle());
            box->raise();
        }
        for (auto it = boxes.rbegin(); it != boxes.rend(); ++it) {
            if ((*it)->isVisible()) {
                (*it)->activateWindow();
                break;
            }
        }
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Show && event->type() != QEvent::ZOrderChange)
            return false;
        auto *window = qobject_cast<QWidget *>(watched);
        if (!window || !window->isWindow() || isBox(window) || ErrorBox::openTexts().isEmpty())
            return false;
        if (window->windowType() == Qt::Popup || window->windowType() == Qt::ToolTip)
            return false;
        m_lastShown = window;
        if (!m_queued) {
            m_queued = true;
            QMetaObject::invokeMethod(
                this, [this] { bringToFront(); }, Qt::QueuedConnection);
        }
        return false;
    }

private:
    using QObject::QObject;

    bool m_queued = false;
    QPointer<QWidget> m_lastShown;
};

// How many ErrorBox::Hold objects live now.
int holds = 0;

// Shows the oldest box not yet dismissed, in front and with the keyboard. The others wait unseen,
// so that the player reads the errors in the order they happened.
void showOldest()
{
    const auto &boxes = openBoxes();
    if (holds > 0 || boxes.isEmpty() || boxes.front()->isVisible())
        return;
    QMessageBox *box = boxes.front();
    // Tied to a shown screen, if there is one, before it is mapped: a window manager reads the tie
    // when the box is mapped, and some read it only then and ignore raising (weston).
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (window->isVisible() && !isBox(window) && window->windowType() == Qt::Window) {
            box->winId();
            box->windowHandle()->setTransientParent(window->windowHandle());
            break;
        }
    }
    box->show();
    BoxKeeper::instance().bringToFront();
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
    BoxKeeper::instance();
    auto *box =
        new ScaledBox(QMessageBox::Critical, QString::fromUtf16(kTitle), shown, QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    // Once the dismissed box has gone and the toolkit has handed the keyboard back, the next one
    // comes.
    QObject::connect(box, &QDialog::finished, box, [box] {
        openBoxes().removeOne(box);
        QMetaObject::invokeMethod(&BoxKeeper::instance(), &showOldest, Qt::QueuedConnection);
    });
    openBoxes().append(box);
    showOldest();
}

QStringList openTexts()
{
    QStringList texts;
    for (const QPointer<QMessageBox> &box : openBoxes())
        texts.append(box->text());
    return texts;
}

Hold::Hold()
{
    ++holds;
}

Hold::~Hold()
{
    if (--holds == 0)
        showOldest();
}

void closeAll()
{
    const auto boxes = std::exchange(openBoxes(), {});
    for (const QPointer<QMessageBox> &box : boxes) {
        box->close();
        box->deleteLater(); // also a box that was waiting, and so never shown
    }
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace ErrorBox
