#pragma once

#include "toolkit/Screen.h"

class TMemo;

// The score screen: every recorded result, loaded from and saved to the score file.
class Tscoref : public Screen {
    Q_OBJECT
public:
    Tscoref();
    ~Tscoref() override;

    // Creation handler: loads the score file.
    void FormCreate();

    TMemo *Score;
};
