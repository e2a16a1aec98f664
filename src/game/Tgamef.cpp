#include "game/Tgamef.h"

#include "toolkit/Scaling.h"
#include "toolkit/TFlatButton.h"
#include "toolkit/TPanel.h"
#include "toolkit/Timer.h"
#include "widgets/TGauge.h"

#include <QApplication>

namespace {

template <class W>
W *place(W *widget, int left, int top, int width, int height)
{
    widget->setGeometry(Scaling::rect(left, top, width, height));
    return widget;
}

const QColor kMediumGrey(160, 160, 164);
const QColor kGreen(0, 128, 0);
const QColor kMaroon(128, 0, 0);

} // namespace

Tgamef::Tgamef()
    : Screen(QStringLiteral("Игра нового поколения! PEMy\" v 1.0.0.1 alpha"), 688, 463, Frame::Single,
             QColor(0, 128, 128))
{
    setFont(Scaling::font(13));

    Panel1 = place(new TPanel(this, Qt::black, true), 0, 368, 688, 95);
    process = place(new TGauge(Panel1), 272, 32, 129, 28);
    process->setBackColor(kMediumGrey);
    process->setForeColor(kMaroon);
    time = place(new TGauge(Panel1), 16, 24, 105, 65);
    time->setKind(gkVerticalBar);
    time->setBackColor(kMediumGrey);
    time->setForeColor(kGreen);
    time->setProgress(100);
    zopa = place(new TGauge(Panel1), 560, 24, 105, 65);
    zopa->setKind(gkVerticalBar);
    zopa->setBackColor(kMediumGrey);
    zopa->setForeColor(kGreen);
    exit = place(new TFlatButton(Panel1, QStringLiteral("Выход")), 136, 64, 401, 25);
    exit->setFont(Scaling::font(17, true));
    exit->setFontColor(Qt::white);
    exit->onClick = [] { QApplication::quit(); };

    bfg = place(new TPanel(this, Qt::black, true), 360, 104, 273, 65);
    bfg->hide();

    timet = new Timer(500, false, this);
}

Tgamef::~Tgamef() = default;

void Tgamef::FormCreate() {}
