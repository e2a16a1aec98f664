#pragma once

#include "toolkit/ActionList.h"
#include "toolkit/Screen.h"

class TFlatButton;
class TGauge;
class TPanel;
class Timer;

// The game screen: the exam.
class Tgamef : public Screen {
    Q_OBJECT
public:
    Tgamef();
    ~Tgamef() override;

    // Creation handler: the background picture and the clips.
    void FormCreate();

    TPanel *Panel1;
    TGauge *process;
    TGauge *time;
    TGauge *zopa;
    TFlatButton *exit;
    TPanel *bfg;
    Timer *timet;
    ActionList al1;
};
