#include "music/SdlAudio.h"

#include <QFileInfo>

#include <dlfcn.h>

namespace {

// SDL2_mixer's run-time library; SDL2's functions are found through it, as it depends on SDL2.
const char *const kLibraryName = "libSDL2_mixer-2.0.so.0";
// The output SDL falls back to when no sound device opens: silent, in real time.
const char *const kSilentDriver = "dummy";
// General MIDI soundfonts, in order of preference; the first that exists is given to FluidSynth.
// The program names it: the environment has no say in what the game sounds like.
const char *const kSoundFonts[] = {
    "/usr/share/sounds/sf2/TimGM6mb.sf2",
    "/usr/share/sounds/sf2/default-GM.sf2",
};
constexpr int kChannels = 2;
// About 46 ms of sound per chunk at any rate.
int chunkSamples(int rate)
{
    return rate >= 44100 ? 2048 : 1024;
}

// alsa-lib reports on stderr every step of a failed device open, eight lines on a machine without
// a sound card, while SDL looks for a driver that works. The game says it in one line of its own.
void ignoreAlsaMessage(const char *, int, const char *, int, const char *, ...) {}

void silenceAlsa()
{
    // Loaded here, and kept, so that SDL's ALSA driver finds the library with the handler set.
    static void *const alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
    if (!alsa)
        return;
    using Handler = void (*)(const char *, int, const char *, int, const char *, ...);
    using SetHandler = int (*)(Handler);
    if (auto set = reinterpret_cast<SetHandler>(dlsym(alsa, "snd_lib_error_set_handler")))
        set(&ignoreAlsaMessage);
}

template <class Function>
bool resolve(void *library, const char *name, Function *function)
{
    *function = reinterpret_cast<Function>(dlsym(library, name));
    return *function != nullptr;
}

} // namespace

SdlAudio &SdlAudio::instance()
{
    static SdlAudio audio;
    return audio;
}

SdlAudio::~SdlAudio()
{
    if (m_worker.joinable())
        m_worker.join();
}

void SdlAudio::acquire(const QByteArray &driver, int rate)
{
    if (m_users++ > 0)
        return;
    if (m_worker.joinable())
        m_worker.join();
    m_driver = driver;
    m_rate = rate;
    m_failure.clear();
    m_state.store(State::Starting);
    m_worker = std::thread([this] { startOnWorker(); });
}

void SdlAudio::release()
{
    if (m_users == 0 || --m_users > 0)
        return;
    waitSettled();
    if (m_state.load() == State::Ready) {
        m_api.hookMusicFinished(nullptr);
        m_api.closeAudio();
        m_api.quit();
        m_api.quitSubSystem(SDL_INIT_AUDIO);
    }
    m_state.store(State::Idle);
}

bool SdlAudio::waitSettled()
{
    // The worker ends right after it has settled the state.
    if (m_worker.joinable())
        m_worker.join();
    return m_state.load() == State::Ready;
}

void SdlAudio::whenSettled(QObject *context, std::function<void()> done)
{
    const State state = m_state.load();
    if (state == State::Ready || state == State::Failed)
        QMetaObject::invokeMethod(context, std::move(done), Qt::QueuedConnection);
    else
        m_waiting.append({QPointer<QObject>(context), std::move(done)});
}

bool SdlAudio::setRate(int rate)
{
    if (m_state.load() != State::Ready)
        return false;
    if (rate == m_rate)
        return true;
    m_api.closeAudio();
    if (m_api.openAudio(rate, MIX_DEFAULT_FORMAT, kChannels, chunkSamples(rate)) != 0) {
        m_failure = QString::fromUtf8(m_api.getError());
        m_api.quit();
        m_api.quitSubSystem(SDL_INIT_AUDIO);
        m_state.store(State::Failed);
        return false;
    }
    m_rate = rate;
    return true;
}

void SdlAudio::startOnWorker()
{
    bool ready = loadLibrary();
    if (ready) {
        // SDL would otherwise take over Ctrl+C and the termination signal; the game leaves them
        // alone.
        m_api.setHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        silenceAlsa();
        ready = openOutput(m_driver.constData());
        if (!ready) {
            const QByteArray why = m_api.getError();
            ready = openOutput(kSilentDriver);
            if (ready)
                qWarning("No sound output (%s): the music plays silently", why.constData());
        }
        if (!ready)
            m_failure = QString::fromUtf8(m_api.getError());
    }
    if (ready) {
        for (const char *font : kSoundFonts) {
            if (QFileInfo(QString::fromUtf8(font)).isFile()) {
                m_api.setSoundFonts(font);
                break;
            }
        }
        // Loads the decoders here rather than at the first piece; a missing one only fails its
        // format.
        m_api.init(MIX_INIT_MP3 | MIX_INIT_MID);
    }
    // SDL keeps per-thread data (its error text) that it frees only for threads of its own.
    if (m_library)
        m_api.cleanUpThread();
    m_state.store(ready ? State::Ready : State::Failed);
    QMetaObject::invokeMethod(
        this, [this] { settledOnUiThread(); }, Qt::QueuedConnection);
}

bool SdlAudio::loadLibrary()
{
    if (m_library)
        return true;
    void *library = dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        m_failure = QString::fromLocal8Bit(dlerror());
        return false;
    }
    Api api{};
    const bool complete = resolve(library, "SDL_SetHint", &api.setHint)
        && resolve(library, "SDL_SetHintWithPriority", &api.setHintWithPriority)
        && resolve(library, "SDL_InitSubSystem", &api.initSubSystem)
        && resolve(library, "SDL_QuitSubSystem", &api.quitSubSystem)
        && resolve(library, "SDL_TLSCleanup", &api.cleanUpThread)
        && resolve(library, "SDL_GetError", &api.getError)
        && resolve(library, "SDL_GetCurrentAudioDriver", &api.currentAudioDriver)
        && resolve(library, "Mix_Init", &api.init) && resolve(library, "Mix_Quit", &api.quit)
        && resolve(library, "Mix_OpenAudio", &api.openAudio)
        && resolve(library, "Mix_CloseAudio", &api.closeAudio)
        && resolve(library, "Mix_SetSoundFonts", &api.setSoundFonts)
        && resolve(library, "Mix_LoadMUS", &api.loadMusic)
        && resolve(library, "Mix_FreeMusic", &api.freeMusic)
        && resolve(library, "Mix_PlayMusic", &api.playMusic)
        && resolve(library, "Mix_VolumeMusic", &api.volumeMusic)
        && resolve(library, "Mix_HaltMusic", &api.haltMusic)
        && resolve(library, "Mix_PauseMusic", &api.pauseMusic)
        && resolve(library, "Mix_ResumeMusic", &api.resumeMusic)
        && resolve(library, "Mix_PlayingMusic", &api.playingMusic)
        && resolve(library, "Mix_PausedMusic", &api.pausedMusic)
        && resolve(library, "Mix_HookMusicFinished", &api.hookMusicFinished);
    if (!complete) {
        m_failure = QString::fromLocal8Bit(dlerror());
        dlclose(library);
        return false;
    }
    m_api = api;
    m_library = library; // kept for the life of the process: the library cannot be unloaded safely
    return true;
}

bool SdlAudio::openOutput(const char *driver)
{
    if (driver && *driver)
        m_api.setHintWithPriority(SDL_HINT_AUDIODRIVER, driver, SDL_HINT_OVERRIDE);
    if (m_api.initSubSystem(SDL_INIT_AUDIO) != 0)
        return false;
    if (m_api.openAudio(m_rate, MIX_DEFAULT_FORMAT, kChannels, chunkSamples(m_rate)) != 0) {
        m_api.quitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    return true;
}

void SdlAudio::settledOnUiThread()
{
    const State state = m_state.load();
    if (state != State::Ready && state != State::Failed)
        return; // released and started anew since; the new start settles on its own
    const auto waiting = std::exchange(m_waiting, {});
    for (const auto &[context, done] : waiting)
        if (context)
            done();
}
