#pragma once

// Folder score/: the score screen, the score list's text rules, the score file's policy and, under
// it, the safe replace of one file in turn with every other game. Includes toolkit/ and formats/;
// never another screen or app/.

#include "score/ScoreFile.h"
#include "toolkit/Screen.h"

class FlatButton;
class PictureBox;
class MultiLineEdit;
class Panel;

// The score screen: every recorded result, as plain lines in one list that is loaded from the score
// file at start, grows at the end of every exam and is saved back when the player leaves.
class ScoreScreen : public Screen {
    Q_OBJECT
public:
    ScoreScreen();
    ~ScoreScreen() override;

    // Right after creation: loads the score file into the list, the view at its top. A file larger
    // than the list takes (ScoreText::kMaxFileBytes) is kept out and treated as one that cannot
    // be read.
    void loadScoreFile();

    // Adds `line` at the very end of the list: after a break-terminated (or empty) text, the line
    // and CR LF; after a last line without a break, CR LF and the line. The view then shows the
    // last line.
    void appendLine(const QString &line);

signals:
    // "Назад": the screen saves the list right after this.
    void backRequested();

public:
    // Handlers.
    void onBackClicked();
    void onUnlockClicked();
    void onBackHovered();
    void onPanelHovered();
    void onListHovered();

    // Widgets, in creation order.
    MultiLineEdit *scoreList;
    Panel *bottomPanel;
    FlatButton *backButton;
    PictureBox *unlockImage;

private:
    // What the score file held when it was last read or written: a save adds what the list gained
    // since to what the file holds by then.
    ScoreFile::Loaded m_file;
};
