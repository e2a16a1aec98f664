#include "score/Tscoref.h"

#include "toolkit/Scaling.h"
#include "toolkit/TMemo.h"

Tscoref::Tscoref() : Screen(QStringLiteral("Очки"), 694, 440, Frame::Single, QColor(0, 128, 128))
{
    setFont(Scaling::font(13));
    Score = new TMemo(this);
    Score->setGeometry(Scaling::rect(0, 0, 694, 345));
    Score->setReadOnly(true);
}

Tscoref::~Tscoref() = default;

void Tscoref::FormCreate() {}
