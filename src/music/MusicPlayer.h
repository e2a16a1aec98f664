#pragma once

#include "music/MusicBackend.h"

#include <QString>
#include <QWidget>

#include <atomic>
#include <memory>

class QToolButton;

// The music player: one MP3 or MIDI piece open at a time, and a bar of play, pause and stop
// buttons (85 × 30) that perform those operations.
//
// Requests and notifications: play() and the resuming pause() are requests "with notification".
// Each yields exactly one notified() signal, delivered later as an event of its own on the UI
// thread, when the piece ends by itself, when a later request with notification supersedes it,
// when stop(), close() or a new open() aborts it, or when it fails. stop() and the pausing pause()
// ask for none; a pause leaves the request pending until the piece is resumed or stopped.
//
// play(), stop() and pause() throw GameError("No MCI device open") while no piece is open, and
// raise nothing else. A piece that the back-end accepted before its sound output was ready and that
// then fails to load fails as its open would have: it is closed, its pending request ends without
// a notification, and the open's error goes to the error box.
class MusicPlayer : public QWidget {
    Q_OBJECT

public:
    enum class Mode { NotOpen, Stopped, Playing, Paused };
    Q_ENUM(Mode)

    // Without a back-end the player plays through SDL2_mixer.
    explicit MusicPlayer(QWidget *parent = nullptr,
                         std::unique_ptr<MusicBackend> backend = nullptr);
    // Closes the piece without a notification: the program is ending.
    ~MusicPlayer() override;

    // Stored for the next open(); the game's way of naming files ("base\sound\pms.mp3").
    void setFileName(const QString &gamePath) { m_fileName = gamePath; }
    QString fileName() const { return m_fileName; }

    // Closes any open piece first (aborting its pending request), then opens fileName(). On failure
    // throws GameError with the back-end's text, or "Unknown error code" when it gives none; no
    // piece is open then.
    void open();
    void close();

    // Plays from the current position: where stop() or pause() left the piece, or from the
    // beginning when it stands at its end and autoRewind is on.
    void play();
    // Stops where the piece stands; the position stays for the next play().
    void stop();
    // Playing: pauses. Paused: resumes, as a request with notification. Otherwise nothing.
    void pause();

    Mode mode() const { return m_mode; }
    bool isOpen() const { return m_mode != Mode::NotOpen; }
    MusicBackend *backend() const { return m_backend.get(); }

    bool autoRewind = true;

signals:
    // The answer to a request with notification (above).
    void notified();

private:
    void requireOpen() const;
    void startRequest();
    void endRequest();
    void pieceFinished(quint64 generation);
    void pieceFailed(const QString &error);

    std::unique_ptr<MusicBackend> m_backend;
    QString m_fileName;
    Mode m_mode = Mode::NotOpen;
    bool m_pending = false; // a request with notification is under way
    bool m_held = false;    // stopped part-way: the back-end holds the piece paused
    bool m_atEnd = false;   // the piece played to its end
    // Counts the back-end's plays: an end-of-piece word that arrives after the piece was closed
    // or started anew belongs to an earlier play and is dropped. Read on the audio thread.
    std::atomic<quint64> m_generation{0};

    QToolButton *m_playButton = nullptr;
    QToolButton *m_pauseButton = nullptr;
    QToolButton *m_stopButton = nullptr;
};
