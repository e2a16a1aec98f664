#pragma once

#include "toolkit/Screen.h"

// The about screen: the author's credit.
class Taboutf : public Screen {
    Q_OBJECT
public:
    Taboutf();
    ~Taboutf() override;
};
