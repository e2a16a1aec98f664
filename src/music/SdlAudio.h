#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <SDL.h>
#include <SDL_mixer.h>

#include <atomic>
#include <functional>
#include <thread>

// The sound library (SDL2 with SDL2_mixer) and the sound output, loaded and opened for the whole
// process on a thread of their own. Loading the library maps some thirty shared objects and opening
// the output may start a sound server; paid on the UI thread, the two cost more than the rest of
// the game's start-up together. The library is loaded at run time for the same reason, so the
// program starts without it.
//
// Everything but start() is called on the UI thread. Once settled() reports Ready, the UI thread
// calls the library through api(); the library itself serialises those calls with its audio thread.
class SdlAudio : public QObject {
    Q_OBJECT
public:
    enum class State { Idle, Starting, Ready, Failed };

    // The library's functions that the game uses, resolved when it is loaded.
    struct Api {
        decltype(&SDL_SetHint) setHint;
        decltype(&SDL_SetHintWithPriority) setHintWithPriority;
        decltype(&SDL_InitSubSystem) initSubSystem;
        decltype(&SDL_QuitSubSystem) quitSubSystem;
        decltype(&SDL_TLSCleanup) cleanUpThread;
        decltype(&SDL_GetError) getError;
        decltype(&SDL_GetCurrentAudioDriver) currentAudioDriver;
        decltype(&Mix_Init) init;
        decltype(&Mix_Quit) quit;
        decltype(&Mix_OpenAudio) openAudio;
        decltype(&Mix_CloseAudio) closeAudio;
        decltype(&Mix_SetSoundFonts) setSoundFonts;
        decltype(&Mix_LoadMUS) loadMusic;
        decltype(&Mix_FreeMusic) freeMusic;
        decltype(&Mix_PlayMusic) playMusic;
        decltype(&Mix_VolumeMusic) volumeMusic;
        decltype(&Mix_HaltMusic) haltMusic;
        decltype(&Mix_PauseMusic) pauseMusic;
        decltype(&Mix_ResumeMusic) resumeMusic;
        decltype(&Mix_PlayingMusic) playingMusic;
        decltype(&Mix_PausedMusic) pausedMusic;
        decltype(&Mix_HookMusicFinished) hookMusicFinished;
    };

    static SdlAudio &instance();

    // Takes a share of the output, starting to load the library and open the output at `rate` Hz
    // when nobody holds it; `driver` names an SDL audio driver to try before the silent one (empty:
    // the system's default). The last release() closes the output.
    void acquire(const QByteArray &driver, int rate);
    void release();

    State state() const { return m_state.load(); }
    // Blocks until the output is open or has failed; returns whether it is open.
    bool waitSettled();
    // Calls `done` on the UI thread once the output has opened or failed (at once when it already
    // has), unless `context` is destroyed before.
    void whenSettled(QObject *context, std::function<void()> done);

    // Reopens the output at another rate (no piece loaded); false when it cannot be reopened, which
    // leaves the output Failed.
    bool setRate(int rate);
    int rate() const { return m_rate; }

    const Api &api() const { return m_api; }
    // Why the output failed: the library's own words, for diagnostics.
    QString failure() const { return m_failure; }

private:
    SdlAudio() = default;
    ~SdlAudio() override;

    void startOnWorker();
    bool loadLibrary();
    bool openOutput(const char *driver);
    void settledOnUiThread();

    Api m_api{};
    void *m_library = nullptr;
    std::atomic<State> m_state{State::Idle};
    std::thread m_worker;
    QByteArray m_driver;
    int m_rate = 0;
    int m_users = 0;
    QString m_failure;
    QList<std::pair<QPointer<QObject>, std::function<void()>>> m_waiting;
};
