#include "about/Taboutf.h"

#include "toolkit/Scaling.h"

Taboutf::Taboutf()
    : Screen(QStringLiteral("О авторе... Программа \"PEMy\" v 1.0.0.1 alpha"), 613, 235, Frame::None,
             Qt::black)
{
    setFont(Scaling::font(13));
}

Taboutf::~Taboutf() = default;
