#pragma once

// Folder music/: the program's music. Music owns it: its rules (MusicRules, a plain class) decide
// which piece plays, played through the player widget (MusicPlayer) over the backend interface,
// its sound library implementation and the run-time loading of that library; the file check it
// relies on is in formats/. Screens and app/ tell Music what happened. Includes from toolkit/ and
// formats/ only.

#include "music/MusicPlayer.h"
#include "music/MusicRules.h"

#include <QObject>
#include <QPointer>

class QWidget;

#include <functional>
#include <memory>

class MusicBackend;
class Timer;

// The one owner of the program's music: the rules of MusicRules played through one player. The
// screens and the wiring tell it what happened; none of them touches the player. The player's
// button bar is a widget on the menu's hidden panel, which owns it.
class Music : public QObject, public MusicRules {
    Q_OBJECT
public:
    // Where the player's back-end comes from: when set, every Music made afterwards plays through
    // what it returns instead of the sound library. Empty in the game; tests set a fake.
    static std::function<std::unique_ptr<MusicBackend>()> backendFactory;

    explicit Music(QObject *parent = nullptr);
    ~Music() override;

    // Makes the player's button bar on `parent`, which owns it. Until then, and after its owner
    // has destroyed it, every player step fails as with no piece open.
    MusicPlayer *makePlayer(QWidget *parent);
    // The echo guard (100 ms, one tick after each restart of a repeating piece).
    Timer *echoGuard() const { return m_echoGuard; }

protected:
    bool hasPiece(Piece piece) const override;
    void startPiece(Piece piece) override;
    void stopPlayer() override;
    void resumePlayer() override;
    void pausePlayer() override;
    void startEchoGuard() override;

private:
    // The echo guard's one tick.
    void onEchoGuardTick();
    MusicPlayer &requirePlayer() const;

    QPointer<MusicPlayer> m_player;
    Timer *m_echoGuard;
};
