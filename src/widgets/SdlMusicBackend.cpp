#include "widgets/SdlMusicBackend.h"

#include <QFile>
#include <QFileInfo>

#include <SDL.h>
#include <SDL_mixer.h>

#include <atomic>

namespace {

// General MIDI soundfonts, in order of preference; the first that exists is given to FluidSynth.
// The program names it: the environment has no say in what the game sounds like.
const char *const SoundFonts[] = {
    "/usr/share/sounds/sf2/TimGM6mb.sf2",
    "/usr/share/sounds/sf2/default-GM.sf2",
};

// The output SDL falls back to when no sound device opens: silent, in real time.
const char *const SilentDriver = "dummy";

constexpr int SampleRate = 44100;
constexpr int Channels = 2;
constexpr int ChunkSamples = 2048;

// The back-end whose handler the mixer's end-of-piece hook calls.
std::atomic<SdlMusicBackend *> current{nullptr};
// Back-ends holding the sound device; the last one to go closes it.
int deviceUsers = 0;

bool initOutput(const char *driver)
{
    // SDL would otherwise take over Ctrl+C and the termination signal; the game leaves them alone.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (driver && *driver)
        SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, driver, SDL_HINT_OVERRIDE);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return false;
    if (Mix_OpenAudio(SampleRate, MIX_DEFAULT_FORMAT, Channels, ChunkSamples) != 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    return true;
}

} // namespace

SdlMusicBackend::SdlMusicBackend(const QByteArray &audioDriver)
    : m_driver(audioDriver)
{
}

SdlMusicBackend::~SdlMusicBackend()
{
    if (!m_deviceOpen)
        return;
    SdlMusicBackend *self = this;
    if (current.compare_exchange_strong(self, nullptr))
        Mix_HookMusicFinished(nullptr); // waits for a hook that is running on the audio thread
    close();
    if (--deviceUsers == 0) {
        Mix_CloseAudio();
        Mix_Quit();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
}

bool SdlMusicBackend::openDevice(QString *error)
{
    if (m_deviceOpen)
        return true;
    if (deviceUsers == 0) {
        if (!initOutput(m_driver.constData()) && !initOutput(SilentDriver)) {
            *error = QString::fromUtf8(SDL_GetError());
            return false;
        }
        for (const char *font : SoundFonts) {
            if (QFileInfo(QString::fromUtf8(font)).isFile()) {
                Mix_SetSoundFonts(font);
                break;
            }
        }
        // Loads the decoders now rather than at the first piece; a missing one only fails its format.
        Mix_Init(MIX_INIT_MP3 | MIX_INIT_MID);
    }
    ++deviceUsers;
    m_deviceOpen = true;
    current.store(this);
    Mix_HookMusicFinished(&SdlMusicBackend::musicFinished);
    return true;
}

bool SdlMusicBackend::open(const QString &path, QString *error)
{
    error->clear();
    if (!openDevice(error))
        return false;
    close();
    current.store(this);
    m_music = Mix_LoadMUS(QFile::encodeName(path).constData());
    if (!m_music) {
        *error = QString::fromUtf8(Mix_GetError());
        return false;
    }
    return true;
}

void SdlMusicBackend::close()
{
    if (!m_music)
        return;
    if (Mix_PlayingMusic() || Mix_PausedMusic())
        Mix_HaltMusic();
    Mix_FreeMusic(m_music);
    m_music = nullptr;
}

bool SdlMusicBackend::play()
{
    if (!m_music)
        return false;
    return Mix_PlayMusic(m_music, 0) == 0;
}

void SdlMusicBackend::pause()
{
    if (m_music)
        Mix_PauseMusic();
}

void SdlMusicBackend::resume()
{
    if (m_music)
        Mix_ResumeMusic();
}

void SdlMusicBackend::setFinishedHandler(std::function<void()> handler)
{
    // Swapped with the hook off, so that the audio thread never sees a half-assigned handler.
    if (m_deviceOpen)
        Mix_HookMusicFinished(nullptr);
    m_finished = std::move(handler);
    if (m_deviceOpen)
        Mix_HookMusicFinished(&SdlMusicBackend::musicFinished);
}

QByteArray SdlMusicBackend::driverName() const
{
    if (!m_deviceOpen)
        return {};
    const char *name = SDL_GetCurrentAudioDriver();
    return name ? QByteArray(name) : QByteArray();
}

void SdlMusicBackend::musicFinished()
{
    // Runs on the audio thread at a natural end, with the mixer locked; synchronously inside
    // Mix_HaltMusic otherwise.
    SdlMusicBackend *backend = current.load();
    if (backend && backend->m_finished)
        backend->m_finished();
}
