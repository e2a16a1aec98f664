#include "about/AboutMotion.h"

#include <QTest>

using namespace AboutMotion;

namespace {

// The frame and the nickname at design size: the room the label has is 613 - 108 by 177 - 37.
constexpr int kLimitX = 613 - 108;
constexpr int kLimitY = 177 - 37;

constexpr Horizontal kRight = Horizontal::Right;
constexpr Horizontal kLeft = Horizontal::Left;
constexpr Vertical kDown = Vertical::Down;
constexpr Vertical kUp = Vertical::Up;

struct State {
    int left, top;
    Horizontal horizontal;
    Vertical vertical;
    bool operator==(const State &) const = default;
};

State tick(State s, int limitX = kLimitX, int limitY = kLimitY)
{
    bounce(s.left, s.top, s.horizontal, s.vertical, limitX, limitY);
    return s;
}

} // namespace

QT_BEGIN_NAMESPACE
namespace QTest {
template <>
char *toString(const State &s)
{
    return qstrdup(QByteArray::number(s.left) + "," + QByteArray::number(s.top) + " h"
                   + QByteArray::number(int(s.horizontal)) + " v"
                   + QByteArray::number(int(s.vertical)));
}
} // namespace QTest
QT_END_NAMESPACE

class TestAboutMotion : public QObject {
    Q_OBJECT
private slots:
    // Away from every edge a tick moves the label one pixel on each axis, in its two directions.
    void ordinaryTick()
    {
        QCOMPARE(tick({488, 8, kRight, kDown}), (State{489, 9, kRight, kDown}));
        QCOMPARE(tick({100, 50, kLeft, kUp}), (State{99, 49, kLeft, kUp}));
        QCOMPARE(tick({100, 50, kRight, kUp}), (State{101, 49, kRight, kUp}));
        QCOMPARE(tick({100, 50, kLeft, kDown}), (State{99, 51, kLeft, kDown}));
    }

    // At the right limit or the left edge the tick only turns the label round: no vertical move.
    void sidewaysEdgesTurnOnly()
    {
        QCOMPARE(tick({kLimitX, 50, kRight, kDown}), (State{kLimitX, 50, kLeft, kDown}));
        QCOMPARE(tick({0, 50, kLeft, kUp}), (State{0, 50, kRight, kUp}));
        // In a corner the horizontal turn ends the tick before the vertical one.
        QCOMPARE(tick({kLimitX, kLimitY, kRight, kDown}), (State{kLimitX, kLimitY, kLeft, kDown}));
    }

    // At the bottom limit or the top edge the horizontal move is made first, then the turn.
    void verticalEdgesMoveThenTurn()
    {
        QCOMPARE(tick({100, kLimitY, kRight, kDown}), (State{101, kLimitY, kRight, kUp}));
        QCOMPARE(tick({100, 0, kLeft, kUp}), (State{99, 0, kLeft, kDown}));
    }

    // A label moving right that finds itself beyond a limit that just shrank (the long caption)
    // stands still sideways and goes on vertically, until the limit has grown back to it.
    void beyondShrunkLimit()
    {
        const int narrowLimit = 613 - 330;
        State s{450, 20, kRight, kDown};
        for (int i = 0; i < 5; ++i)
            s = tick(s, narrowLimit);
        QCOMPARE(s, (State{450, 25, kRight, kDown}));
        s = tick(s, kLimitX);
        QCOMPARE(s, (State{451, 26, kRight, kDown}));
        // Moving left, a label beyond the limit simply comes back in.
        QCOMPARE(tick({450, 20, kLeft, kDown}, narrowLimit), (State{449, 21, kLeft, kDown}));
    }

    // From the design start the label stays inside the frame and reaches all four edges.
    void staysInsideAndBounces()
    {
        State s{488, 8, kRight, kDown};
        bool seen[4] = {};
        for (int i = 0; i < 5000; ++i) {
            s = tick(s);
            QVERIFY(s.left >= 0 && s.left <= kLimitX);
            QVERIFY(s.top >= 0 && s.top <= kLimitY);
            seen[0] |= s.left == 0;
            seen[1] |= s.left == kLimitX;
            seen[2] |= s.top == 0;
            seen[3] |= s.top == kLimitY;
        }
        QVERIFY(seen[0] && seen[1] && seen[2] && seen[3]);
    }

    // The caption course of steps 0 to 11, back to 0, with the interval changes at 1 and 8.
    void captionCourse()
    {
        const QStringList captions{"rodVK",
                                   "rodVK",
                                   "r odVK",
                                   "r o dVK",
                                   "r o d VK",
                                   "r o dVK",
                                   "r odVK",
                                   "rodVK",
                                   "rodVK",
                                   "rodVK - ",
                                   QString::fromUtf8("rodVK - Это"),
                                   QString::fromUtf8("rodVK - Это круто!")};
        for (int step = 0; step < 12; ++step) {
            const auto result = captionStep(step);
            QVERIFY(result);
            QCOMPARE(result->caption, captions[step]);
            QCOMPARE(result->next, (step + 1) % 12);
            QCOMPARE(result->interval, step == 1 ? 100 : step == 8 ? 1000 : 0);
        }
        QVERIFY(!captionStep(12));
        QVERIFY(!captionStep(-1));
    }

    // In the steady cycle each caption lasts until the next tick, at the interval it leaves behind:
    // 5.7 s in all, "rodVK" for 1.1 s twice, the spread letters 0.1 s each, the sentence 1 s a
    // word.
    void steadyCycleTiming()
    {
        int interval = 1000; // as step 8 of the previous round left it
        int total = 0;
        QList<QPair<QString, int>> shown;
        for (int step = 0; step < 12; ++step) {
            const auto result = captionStep(step);
            if (result->interval)
                interval = result->interval;
            total += interval;
            if (!shown.isEmpty() && shown.last().first == result->caption)
                shown.last().second += interval;
            else
                shown << qMakePair(result->caption, interval);
        }
        QCOMPARE(total, 5700);
        const QList<QPair<QString, int>> expected{{"rodVK", 1100},
                                                  {"r odVK", 100},
                                                  {"r o dVK", 100},
                                                  {"r o d VK", 100},
                                                  {"r o dVK", 100},
                                                  {"r odVK", 100},
                                                  {"rodVK", 1100},
                                                  {"rodVK - ", 1000},
                                                  {QString::fromUtf8("rodVK - Это"), 1000},
                                                  {QString::fromUtf8("rodVK - Это круто!"), 1000}};
        QCOMPARE(shown, expected);
    }
};

QTEST_GUILESS_MAIN(TestAboutMotion)
#include "test_AboutMotion.moc"
