#pragma once

#include "formats/MusicFileCheck.h"
#include "music/MusicBackend.h"

#include <QByteArray>
#include <QObject>

#include <atomic>
#include <functional>

// SDL_mixer's own name for Mix_Music, declared so that this header need not include SDL's.
struct _Mix_Music; // NOLINT(bugprone-reserved-identifier)

// The music back-end over SDL2_mixer: MP3 through mpg123, MIDI through FluidSynth with the General
// MIDI soundfont that this program names. Every file is checked by MusicFileCheck first, so a file
// that is not a whole MP3 or MIDI file fails to open with one of the game's own texts.
//
// The first open starts loading the library and opening the sound output on a thread of their own
// (SdlAudio) and accepts the piece at once; the piece is loaded when the output is ready, and a
// play asked for before that starts then. When no device can be opened the output goes to SDL's
// dummy driver: every piece then "plays" silently in real time and ends when it would have ended
// aloud.
//
// The output runs at 44.1 kHz for MP3 and at 22.05 kHz while a MIDI piece is open, which halves
// the synthesiser's own work: the game's soundfont puts nothing above 11 kHz that can be heard
// (rendered at 44.1 kHz, the band above holds -84 dB against -31 dB for the whole). A MIDI piece
// that has played to its end gives its synthesiser (some 17 MB) back and takes a new one at the
// next play.
//
// SDL2_mixer has a single music channel and a single end-of-piece hook, so a process holds one
// back-end that plays at a time (the game has one music player).
class SdlMusicBackend : public MusicBackend {
public:
    // `audioDriver` names an SDL audio driver to try first; empty tries the system's default.
    explicit SdlMusicBackend(const QByteArray &audioDriver = {});
    ~SdlMusicBackend() override;

    bool open(const QString &path, QString *error) override;
    void close() override;
    bool play() override;
    void pause() override;
    void resume() override;
    void setFinishedHandler(std::function<void()> handler) override;
    void setFailureHandler(std::function<void(const QString &)> handler) override;

    // The SDL audio driver in use ("dummy" for the silent output); waits for the output to open.
    QByteArray driverName() const;
    bool isSilent() const { return driverName() == "dummy"; }
    // Whether the open piece is held by the library (a MIDI piece holds a synthesiser).
    bool isLoaded() const { return m_music != nullptr; }
    // The output's sample rate now, in Hz (0 before it is open).
    int outputRate() const;

private:
    enum class Want { Stopped, Playing, Paused };

    bool load(QString *error);
    bool start();
    void startOrEnd();
    void freeMusic();
    void outputSettled();
    void endedOnUiThread(quint64 generation);
    static void musicFinished();

    QByteArray m_driver;
    bool m_holdsOutput = false;
    QString m_path;
    MusicFileCheck::Result m_kind = MusicFileCheck::Result::Mp3;
    bool m_waitingForOutput = false; // accepted before the output was open; loaded when it is
    Want m_want = Want::Stopped;     // what the player last asked of a piece not yet loaded
    bool m_startAtResume = false;    // loaded with its play paused: the resume starts it
    _Mix_Music *m_music = nullptr;
    // Counts the pieces loaded: an end reported for an earlier one is stale. Read on the audio
    // thread.
    std::atomic<quint64> m_loads{0};
    std::function<void()> m_finished;
    std::function<void(const QString &)> m_failed;
    QObject m_context; // receives the calls that other threads post to this back-end
};
