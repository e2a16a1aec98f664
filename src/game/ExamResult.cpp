#include "game/ExamResult.h"

namespace {

// The best mark.
constexpr int kMaxPoints = 5;
// A share is a percentage.
constexpr int kFullShare = 100;

} // namespace

QString ExamResult::separator()
{
    return QStringLiteral("-----------------");
}

int ExamResult::points(int share)
{
    const int scaled = share * kMaxPoints;
    int whole = scaled / kFullShare;
    const int rest = scaled % kFullShare;
    if (rest * 2 > kFullShare || (rest * 2 == kFullShare && whole % 2 != 0))
        ++whole;
    return whole;
}

QString ExamResult::resultLine(const QString &name, int share, bool caught)
{
    const QString suffix = caught
        ? QStringLiteral(" баллов. Но Вы пытальсь списать! и Ваша оценка и все предыдущие = 0!")
        : QStringLiteral(" баллов");
    return name + QStringLiteral(" - ") + QString::number(share)
        + QStringLiteral(" % списано! Или = ") + QString::number(points(share)) + suffix;
}
