#include "music/MusicPlayer.h"

#include "formats/GameError.h"
#include "music/SdlMusicBackend.h"
#include "toolkit/AssetPath.h"
#include "toolkit/Guard.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QToolButton>

namespace {

const char *const kNoDevice = "No MCI device open";
const char *const kUnknownError = "Unknown error code";

// The button bar's size, and its glyphs' size inside the buttons.
constexpr QSize kBarSize(85, 30);
constexpr int kGlyphSide = 12;

enum class Glyph { Play, Pause, Stop };

QIcon glyphIcon(Glyph glyph, const QColor &color)
{
    QPixmap pixmap(kGlyphSide, kGlyphSide);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    switch (glyph) {
    case Glyph::Play: {
        QPainterPath path;
        path.moveTo(2, 1);
        path.lineTo(kGlyphSide - 1, kGlyphSide / 2.0);
        path.lineTo(2, kGlyphSide - 1);
        path.closeSubpath();
        painter.drawPath(path);
        break;
    }
    case Glyph::Pause:
        painter.drawRect(QRectF(2, 1, 3, kGlyphSide - 2));
        painter.drawRect(QRectF(kGlyphSide - 5, 1, 3, kGlyphSide - 2));
        break;
    case Glyph::Stop:
        painter.drawRect(QRectF(2, 2, kGlyphSide - 4, kGlyphSide - 4));
        break;
    }
    return QIcon(pixmap);
}

} // namespace

MusicPlayer::MusicPlayer(QWidget *parent, std::unique_ptr<MusicBackend> backend)
    : QWidget(parent), m_backend(backend ? std::move(backend) : std::make_unique<SdlMusicBackend>())
{
    m_backend->setFinishedHandler([this] {
        // Any thread: only the play it belongs to is recorded, and the rest is done on the UI
        // thread.
        const quint64 generation = m_generation.load();
        QMetaObject::invokeMethod(
            this, [this, generation] { pieceFinished(generation); }, Qt::QueuedConnection);
    });
    m_backend->setFailureHandler([this](const QString &error) { pieceFailed(error); });

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    const auto addButton = [this, layout](Glyph glyph, const QColor &color,
                                          void (MusicPlayer::*operation)()) {
        auto *button = new QToolButton(this);
        button->setIcon(glyphIcon(glyph, color));
        button->setIconSize(QSize(kGlyphSide, kGlyphSide));
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        button->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(button);
        connectGuarded(button, &QToolButton::clicked, this, operation);
        return button;
    };
    m_playButton = addButton(Glyph::Play, QColor(0, 128, 0), &MusicPlayer::play);
    m_pauseButton = addButton(Glyph::Pause, QColor(0, 0, 128), &MusicPlayer::pause);
    m_stopButton = addButton(Glyph::Stop, QColor(128, 0, 0), &MusicPlayer::stop);
    resize(kBarSize);
}

MusicPlayer::~MusicPlayer()
{
    m_pending = false;
    if (isOpen()) {
        m_backend->close();
        ++m_generation;
    }
    m_backend->setFinishedHandler({});
    m_backend->setFailureHandler({});
    m_backend.reset();
}

void MusicPlayer::open()
{
    close();
    QString path = AssetPath::resolve(m_fileName);
    if (path.isEmpty())
        path = QString(m_fileName).replace(u'\\', u'/'); // fails in the back-end, with its own text
    QString error;
    if (!m_backend->open(path, &error))
        throw GameError(error.isEmpty() ? QString::fromLatin1(kUnknownError) : error);
    m_mode = Mode::Stopped;
    m_held = false;
    m_atEnd = false;
}

void MusicPlayer::close()
{
    if (!isOpen())
        return;
    m_backend->close();
    ++m_generation; // whatever the back-end said about the closed piece is stale from here
    m_mode = Mode::NotOpen;
    m_held = false;
    m_atEnd = false;
    endRequest();
}

void MusicPlayer::play()
{
    requireOpen();
    startRequest();
    switch (m_mode) {
    case Mode::Playing:
        return; // plays on; the new request ends with the piece
    case Mode::Paused:
        m_backend->resume();
        m_mode = Mode::Playing;
        return;
    case Mode::Stopped:
        if (m_held) {
            m_backend->resume();
            m_held = false;
            m_mode = Mode::Playing;
        } else if (m_atEnd && !autoRewind) {
            endRequest(); // a play from the end is over at once
        } else {
            ++m_generation;
            if (m_backend->play()) {
                m_atEnd = false;
                m_mode = Mode::Playing;
            } else {
                endRequest(); // failed: its notification still comes
            }
        }
        return;
    case Mode::NotOpen:
        return;
    }
}

void MusicPlayer::stop()
{
    requireOpen();
    if (m_mode == Mode::Playing || m_mode == Mode::Paused) {
        // Held paused in the back-end, so that the next play goes on from here whatever the format.
        if (m_mode == Mode::Playing)
            m_backend->pause();
        m_held = true;
        m_mode = Mode::Stopped;
    }
    endRequest();
}

void MusicPlayer::pause()
{
    requireOpen();
    if (m_mode == Mode::Playing) {
        m_backend->pause();
        m_mode = Mode::Paused;
    } else if (m_mode == Mode::Paused) {
        startRequest();
        m_backend->resume();
        m_mode = Mode::Playing;
    }
}

void MusicPlayer::requireOpen() const
{
    if (!isOpen())
        throw GameError(QString::fromLatin1(kNoDevice));
}

void MusicPlayer::startRequest()
{
    endRequest(); // superseded
    m_pending = true;
}

void MusicPlayer::endRequest()
{
    if (!m_pending)
        return;
    m_pending = false;
    QMetaObject::invokeMethod(this, &MusicPlayer::notified, Qt::QueuedConnection);
}

void MusicPlayer::pieceFailed(const QString &error)
{
    if (!isOpen())
        return;
    ++m_generation;
    m_mode = Mode::NotOpen;
    m_held = false;
    m_atEnd = false;
    // As if the open had failed: the play asked of the piece never started, so it is answered by
    // no notification (one would restart the failed piece), and the error goes to the box as the
    // open's error does from the handler that called it.
    m_pending = false;
    guarded([&error] {
        throw GameError(error.isEmpty() ? QString::fromLatin1(kUnknownError) : error);
    });
}

void MusicPlayer::pieceFinished(quint64 generation)
{
    if (generation != m_generation.load() || !isOpen())
        return;
    m_mode = Mode::Stopped;
    m_held = false;
    m_atEnd = true;
    endRequest();
}
