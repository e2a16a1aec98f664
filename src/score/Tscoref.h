#pragma once

#include "toolkit/Screen.h"

class TFlatButton;
class TImage;
class TMemo;
class TPanel;

// The score screen: every recorded result, as plain lines in one list that is loaded from the score
// file at start, grows at the end of every exam and is saved back when the player leaves.
class Tscoref : public Screen {
    Q_OBJECT
public:
    Tscoref();
    ~Tscoref() override;

    // Creation handler: loads the score file into the list.
    void FormCreate();

    // Adds `line` at the very end of the list: after a break-terminated (or empty) text, the line
    // and CR LF; after a last line without a break, CR LF and the line.
    void appendLine(const QString &line);

    // Handlers.
    void backClick();
    void Image1Click();
    void backMouseMove();
    void Panel1MouseMove();
    void ScoreMouseMove();

    // Widgets, in creation order.
    TMemo *Score;
    TPanel *Panel1;
    TFlatButton *back;
    TImage *Image1;
};
