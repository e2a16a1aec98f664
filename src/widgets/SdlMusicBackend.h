#pragma once

#include "widgets/MusicBackend.h"

#include <QByteArray>

#include <functional>

struct _Mix_Music;

// The music back-end over SDL2_mixer: MP3 through mpg123, MIDI through FluidSynth with the General
// MIDI soundfont that this program names. The sound device opens with the first piece. When no
// device can be opened the output goes to SDL's dummy driver: every piece then "plays" silently in
// real time and ends when it would have ended aloud.
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

    // The SDL audio driver in use once a piece was opened ("dummy" for the silent output).
    QByteArray driverName() const;
    bool isSilent() const { return driverName() == "dummy"; }

private:
    bool openDevice(QString *error);
    static void musicFinished();

    QByteArray m_driver;
    bool m_deviceOpen = false;
    _Mix_Music *m_music = nullptr;
    std::function<void()> m_finished;
};
