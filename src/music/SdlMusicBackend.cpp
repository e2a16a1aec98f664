#include "music/SdlMusicBackend.h"

#include "music/SdlAudio.h"

#include <QFile>

#include <malloc.h>

namespace {

// The text of an open that fails because no sound output can be had at all.
const char *const kNoOutputText = "No sound output can be opened";

// Output rates: MP3 as recorded, MIDI synthesised at half the rate (see the class comment).
constexpr int kMp3Rate = 44100;
constexpr int kMidiRate = 22050;

// The music volume on the library's scale of 0..128. An MP3 plays as recorded, levelled by the
// asset generator to the game's loudness. For MIDI the volume sets FluidSynth's gain, 1.2 at the
// full 128, at which the game's MIDI pieces play 7 to 10 LU louder than the MP3s; 60 brings them to
// the same loudness (the generator levels the pieces among themselves at this gain).
constexpr int kMp3Volume = MIX_MAX_VOLUME;
constexpr int kMidiVolume = 60;

int rateFor(MusicFileCheck::Result kind)
{
    return kind == MusicFileCheck::Result::Midi ? kMidiRate : kMp3Rate;
}

// The back-end whose handler the mixer's end-of-piece hook calls.
std::atomic<SdlMusicBackend *> current{nullptr};

} // namespace

SdlMusicBackend::SdlMusicBackend(const QByteArray &audioDriver) : m_driver(audioDriver) {}

SdlMusicBackend::~SdlMusicBackend()
{
    if (!m_holdsOutput)
        return;
    SdlAudio &audio = SdlAudio::instance();
    SdlMusicBackend *self = this;
    if (current.compare_exchange_strong(self, nullptr) && audio.state() == SdlAudio::State::Ready)
        audio.api().hookMusicFinished(
            nullptr); // waits for a hook that is running on the audio thread
    close();
    audio.release();
}

bool SdlMusicBackend::open(const QString &path, QString *error)
{
    error->clear();
    close();
    const MusicFileCheck::Result kind = MusicFileCheck::check(path);
    if (kind != MusicFileCheck::Result::Mp3 && kind != MusicFileCheck::Result::Midi) {
        *error = MusicFileCheck::text(kind);
        return false;
    }
    SdlAudio &audio = SdlAudio::instance();
    if (!m_holdsOutput) {
        audio.acquire(m_driver, rateFor(kind));
        m_holdsOutput = true;
        audio.whenSettled(&m_context, [this] { outputSettled(); });
    }
    current.store(this);
    m_path = path;
    m_kind = kind;
    m_want = Want::Stopped;
    switch (audio.state()) {
    case SdlAudio::State::Ready:
        if (load(error))
            return true;
        break;
    case SdlAudio::State::Starting:
        m_waitingForOutput = true;
        return true;
    case SdlAudio::State::Idle:
    case SdlAudio::State::Failed:
        *error = QString::fromLatin1(kNoOutputText);
        break;
    }
    m_path.clear();
    return false;
}

bool SdlMusicBackend::load(QString *error)
{
    SdlAudio &audio = SdlAudio::instance();
    if (!audio.setRate(rateFor(m_kind))) {
        *error = QString::fromLatin1(kNoOutputText);
        return false;
    }
    audio.api().hookMusicFinished(&SdlMusicBackend::musicFinished);
    ++m_loads;
    m_music = audio.api().loadMusic(QFile::encodeName(m_path).constData());
    if (!m_music) {
        // The check passed but the decoder refuses: to the player the file is as good as damaged.
        *error = MusicFileCheck::text(MusicFileCheck::Result::Damaged);
        return false;
    }
    // A synthesiser reads the whole soundfont into many small blocks and frees about as many it
    // used on the way (some 3 MB), which the allocator would otherwise keep while the piece plays.
    if (m_kind == MusicFileCheck::Result::Midi)
        malloc_trim(0);
    return true;
}

void SdlMusicBackend::outputSettled()
{
    if (!m_waitingForOutput)
        return;
    m_waitingForOutput = false;
    QString error = QString::fromLatin1(kNoOutputText);
    if (SdlAudio::instance().state() == SdlAudio::State::Ready && load(&error)) {
        // A play asked for and then paused starts at the resume.
        m_startAtResume = m_want == Want::Paused;
        if (m_want == Want::Playing)
            startOrEnd();
        return;
    }
    m_path.clear();
    m_want = Want::Stopped;
    if (m_failed)
        m_failed(error);
}

void SdlMusicBackend::close()
{
    m_waitingForOutput = false;
    m_startAtResume = false;
    m_want = Want::Stopped;
    m_path.clear();
    ++m_loads; // whatever the library reports about the closed piece from here is stale
    if (!m_music)
        return;
    const SdlAudio::Api &api = SdlAudio::instance().api();
    if (api.playingMusic() || api.pausedMusic())
        api.haltMusic();
    freeMusic();
}

void SdlMusicBackend::freeMusic()
{
    SdlAudio::instance().api().freeMusic(m_music);
    m_music = nullptr;
    // The synthesiser's memory lies in many small blocks that the allocator would otherwise keep.
    if (m_kind == MusicFileCheck::Result::Midi)
        malloc_trim(0);
}

bool SdlMusicBackend::play()
{
    if (m_path.isEmpty())
        return false;
    if (m_waitingForOutput) {
        m_want = Want::Playing;
        return true;
    }
    if (!m_music) {
        // A MIDI piece that gave back its synthesiser at its end takes a new one.
        QString error;
        if (!load(&error))
            return false;
    }
    return start();
}

bool SdlMusicBackend::start()
{
    m_startAtResume = false;
    const SdlAudio::Api &api = SdlAudio::instance().api();
    // The volume is the library's, not the piece's: set for each piece as it starts.
    api.volumeMusic(m_kind == MusicFileCheck::Result::Midi ? kMidiVolume : kMp3Volume);
    return api.playMusic(m_music, 0) == 0;
}

void SdlMusicBackend::startOrEnd()
{
    // A piece that cannot start ends at once, so that the play asked for still gets its answer.
    if (!start() && m_finished)
        m_finished();
}

void SdlMusicBackend::pause()
{
    if (m_waitingForOutput) {
        if (m_want == Want::Playing)
            m_want = Want::Paused;
    } else if (m_music && !m_startAtResume) {
        SdlAudio::instance().api().pauseMusic();
    }
}

void SdlMusicBackend::resume()
{
    if (m_waitingForOutput) {
        if (m_want == Want::Paused)
            m_want = Want::Playing;
    } else if (m_startAtResume) {
        startOrEnd();
    } else if (m_music) {
        SdlAudio::instance().api().resumeMusic();
    }
}

void SdlMusicBackend::setFinishedHandler(std::function<void()> handler)
{
    // Swapped with the hook off, so that the audio thread never sees a half-assigned handler.
    SdlAudio &audio = SdlAudio::instance();
    const bool hooked =
        m_holdsOutput && audio.state() == SdlAudio::State::Ready && current.load() == this;
    if (hooked)
        audio.api().hookMusicFinished(nullptr);
    m_finished = std::move(handler);
    if (hooked)
        audio.api().hookMusicFinished(&SdlMusicBackend::musicFinished);
}

void SdlMusicBackend::setFailureHandler(std::function<void(const QString &)> handler)
{
    m_failed = std::move(handler);
}

QByteArray SdlMusicBackend::driverName() const
{
    if (!m_holdsOutput || !SdlAudio::instance().waitSettled())
        return {};
    const char *name = SdlAudio::instance().api().currentAudioDriver();
    return name ? QByteArray(name) : QByteArray();
}

int SdlMusicBackend::outputRate() const
{
    if (!m_holdsOutput || !SdlAudio::instance().waitSettled())
        return 0;
    return SdlAudio::instance().rate();
}

void SdlMusicBackend::endedOnUiThread(quint64 generation)
{
    if (generation != m_loads.load() || !m_music || m_kind != MusicFileCheck::Result::Midi)
        return;
    const SdlAudio::Api &api = SdlAudio::instance().api();
    if (api.playingMusic() || api.pausedMusic())
        return;
    freeMusic();
}

void SdlMusicBackend::musicFinished()
{
    // Runs on the audio thread at a natural end, with the mixer locked; synchronously inside
    // Mix_HaltMusic otherwise.
    SdlMusicBackend *backend = current.load();
    if (!backend)
        return;
    if (backend->m_finished)
        backend->m_finished();
    const quint64 generation = backend->m_loads.load();
    QMetaObject::invokeMethod(
        &backend->m_context, [backend, generation] { backend->endedOnUiThread(generation); },
        Qt::QueuedConnection);
}
