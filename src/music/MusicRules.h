#pragma once

#include <QString>

// Which piece plays, and when it starts again. Four pieces exist: the menu piece and the exam piece
// repeat, the lordly piece and the about piece play once. Every switch between screens that changes
// the music is an event here; the player under it is reached only through the hooks below, so these
// rules are tested without sound or screens.
//
// Repeating: the player reports the end of a piece, and also the end of a request that a later one
// supersedes (an echo). When a report comes while repeating is armed, the looping piece starts
// again and repeating is held until the echo guard (a short timer) has run, so the echo of that
// restart is swallowed; the guard re-arms repeating only while the sound is on. A single piece
// holds repeating for good, and so does the way back from the about screen.
//
// Failures: a hook that fails throws GameError; the event ends where it was raised, with the state
// changes before it made and those after it not.
class MusicRules {
public:
    enum class Piece { Menu, Exam, Lordly, About };
    enum class Repeat {
        Armed, // a report restarts the looping piece
        Held,  // reports are ignored until the echo guard re-arms (never, after the about screen)
        SinglePiece // a single piece was started: reports are ignored for good
    };
    // The sound switch after a click; `failed` when the player could not follow it.
    struct SoundSwitch {
        bool on = true;
        bool failed = false;
    };

    virtual ~MusicRules() = default;

    // The program's start: the menu piece, or else the lordly piece.
    void start();
    // The hidden panel's two buttons: start a repeating piece from its beginning; it loops from
    // then on. A missing file changes nothing.
    void playMenuPiece();
    void playExamPiece();
    // An exam is loading: the exam piece is the one that loops from now on.
    void examLoadingStarted();
    // The loading has come far enough for the exam piece, which plays unless the player is lordly
    // or the sound is off.
    void examPieceDue();
    // Back from the score list to the menu: the menu piece, unless lordly or the sound is off.
    void backFromScores();
    // The about screen opens: its piece plays once.
    void aboutOpened();
    // Back from the about screen: the menu piece loops, but no report restarts it any more.
    void backFromAbout();
    // The player's name became lordly (the lordly piece plays once) or is not lordly.
    void setLordlyPlayer(bool lordly);
    // The sound switch: off pauses the player, on resumes it.
    SoundSwitch switchSound();
    // The player reports that a request ended (the piece played out, or a later request superseded
    // it).
    void pieceEnded();
    // The echo guard's one tick.
    void echoGuardElapsed();

    Piece loopingPiece() const { return m_looping; }
    Repeat repeat() const { return m_repeat; }
    bool soundOn() const { return m_soundOn; }

protected:
    // Whether the piece's file is there.
    virtual bool hasPiece(Piece piece) const = 0;
    // Opens the piece, closing whatever was open, and plays it from its beginning.
    virtual void startPiece(Piece piece) = 0;
    // Stop, play from where the piece stands, pause or resume: throw while no piece is open.
    virtual void stopPlayer() = 0;
    virtual void resumePlayer() = 0;
    virtual void pausePlayer() = 0;
    // Starts the echo guard, which calls echoGuardElapsed() once, shortly.
    virtual void startEchoGuard() = 0;

private:
    // Starts `piece` when its file is there; returns whether it did.
    bool playIfThere(Piece piece);
    void playLooping(Piece piece);
    void playSingle(Piece piece);

    Piece m_looping = Piece::Menu;
    Repeat m_repeat = Repeat::Armed;
    bool m_soundOn = true;
    bool m_lordly = false;
};
