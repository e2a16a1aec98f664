#include "game/IconCycle.h"

int IconCycle::advance(int &counter)
{
    if (counter < 0 || counter >= kFrames)
        return 0;
    const int frame = counter + 1;
    counter = frame % kFrames;
    return frame;
}

QString IconCycle::framePath(int frame)
{
    return QStringLiteral("Base\\image\\Ico\\b%1.ico").arg(frame);
}
