#include "clip/ClipPlayer.h"

#include "formats/GameError.h"
#include "toolkit/AssetPath.h"
#include "toolkit/Guard.h"
#include "toolkit/Scaling.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace {

const char *const kCannotOpen = "Cannot open AVI";

// Colour of a clip widget that was given none: the toolkit's silver.
const QColor kDefaultColor(192, 192, 192);

// The timer's shortest period: a header may claim any rate, the screen shows no more than this.
constexpr int kMinFrameMs = 10;

} // namespace

ClipPlayer::ClipPlayer(QWidget *parent) : QWidget(parent), m_color(kDefaultColor)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    m_clock.start();
    connectGuarded(&m_timer, &QTimer::timeout, this, &ClipPlayer::frameTimer);
}

ClipPlayer::~ClipPlayer() = default;

void ClipPlayer::setFileName(const QString &gamePath)
{
    if (gamePath.compare(m_fileName, Qt::CaseInsensitive) == 0)
        return;
    const QString previous = m_fileName;
    stop();
    closeClip();
    m_fileName = gamePath;
    if (gamePath.isEmpty())
        return;
    try {
        openClip();
    } catch (const GameError &) {
        m_fileName = previous;
        throw;
    }
}

void ClipPlayer::setActive(bool active)
{
    if (active == m_active)
        return;
    if (active) {
        // A clip whose file was missing when the screen was made has no name: a missing asset
        // is skipped in silence.
        if (m_fileName.isEmpty())
            return;
        if (!m_open)
            openClip();
        m_active = true;
        m_shownAtMs = m_clock.elapsed();
        updateTimer();
    } else {
        stop();
        if (m_open)
            showFrame(1, m_frames.value(0));
    }
}

void ClipPlayer::setColor(const QColor &color)
{
    m_color = color;
    update();
}

void ClipPlayer::setCenter(bool center)
{
    m_center = center;
    update();
}

qint64 ClipPlayer::cachedBytes() const
{
    qint64 bytes = 0;
    for (const QImage &frame : m_frames)
        bytes += frame.sizeInBytes();
    // Without the cache the frame on screen is held on its own.
    if (!m_caching && m_current > 1)
        bytes += m_shown.sizeInBytes();
    return bytes;
}

void ClipPlayer::openClip()
{
    const QString path = AssetPath::resolve(m_fileName);
    auto decoder = std::make_unique<AviDecoder>();
    if (path.isEmpty() || !decoder->open(path))
        throw GameError(kCannotOpen);

    const AviMainHeader &header = decoder->header();
    m_frameCount = header.totalFrames;
    // A header may claim more frames than the file holds: the loop ends with the last one there.
    m_stopFrame = std::min(m_frameCount, decoder->framesInFile());
    m_frameSize = header.frameSize;
    // Each cached frame costs its pixels and its slot in the list.
    const qint64 perFrame =
        qint64(m_frameSize.width()) * m_frameSize.height() * 4 + qint64(sizeof(QImage));
    m_caching = qint64(m_stopFrame) * perFrame <= m_cacheLimit;
    m_frames = QVector<QImage>(m_caching ? m_stopFrame : 1);
    m_frames[0] = decoder->firstFrame();
    const qint64 frameMs = (decoder->frameDurationUs() + 500) / 1000;
    m_timer.setInterval(int(std::clamp<qint64>(frameMs, kMinFrameMs, qint64(3600) * 1000)));
    // A clip of one frame never needs its decoder again.
    if (m_stopFrame > 1)
        m_decoder = std::move(decoder);
    m_open = true;

    if (m_autoSize)
        resize(Scaling::size(m_frameSize));
    showFrame(1, m_frames[0]);
}

void ClipPlayer::closeClip()
{
    m_timer.stop();
    m_decoder.reset();
    m_frames.clear();
    m_caching = false;
    m_open = false;
    m_frameCount = 0;
    m_stopFrame = 0;
    m_frameSize = QSize();
    showFrame(0, QImage());
}

void ClipPlayer::stop()
{
    m_timer.stop();
    m_active = false;
}

void ClipPlayer::showFrame(int frame, const QImage &image)
{
    m_current = frame;
    m_shown = image;
    update();
}

int ClipPlayer::currentFrame() const
{
    return sleeping() ? dueFrame() : m_current;
}

bool ClipPlayer::sleeping() const
{
    return m_active && m_open && !isVisible();
}

// The frame that playing since the frame on screen was shown has reached by now.
int ClipPlayer::dueFrame() const
{
    const int interval = m_timer.interval();
    if (m_stopFrame <= 0 || interval <= 0)
        return m_current;
    const qint64 steps = (m_clock.elapsed() - m_shownAtMs) / interval;
    return int((qint64(m_current) - 1 + steps) % m_stopFrame) + 1;
}

void ClipPlayer::updateTimer()
{
    if (m_active && m_open && isVisible()) {
        if (!m_timer.isActive())
            m_timer.start();
    } else {
        m_timer.stop();
    }
}

void ClipPlayer::frameTimer()
{
    if (!m_active || !m_open)
        return;
    const int current = currentFrame();
    showDueFrame(current >= m_stopFrame ? 1 : current + 1);
}

void ClipPlayer::showDueFrame(int frame)
{
    QImage image = frameImage(frame, &frame);
    if (image.isNull()) {
        // The rest of the file does not decode: the range ends before this frame from now on.
        m_stopFrame = std::max(1, frame - 1);
        if (m_caching
            && std::all_of(m_frames.cbegin(), m_frames.cbegin() + m_stopFrame,
                           [](const QImage &f) { return !f.isNull(); }))
            m_decoder.reset(); // every frame of the shorter range is kept
        frame = 1;
        image = m_frames[0];
    }
    m_shownAtMs = m_clock.elapsed();
    showFrame(frame, image);
}

QImage ClipPlayer::frameImage(int frame, int *reached)
{
    *reached = frame;
    if (frame == 1)
        return m_frames[0];
    if (m_caching && !m_frames[frame - 1].isNull())
        return m_frames[frame - 1];
    if (!m_decoder)
        return {};

    // Catching up after a sleep may need many frames that build on each other: no more are decoded
    // than one frame period allows, and the frame reached is shown; playing goes on from there.
    int index = frame - 1;
    QImage image = m_decoder->frame(frame - 1, QDeadlineTimer(m_timer.interval()), &index);
    *reached = index + 1;
    if (image.isNull() || !m_caching)
        return image;
    m_frames[index] = image;
    // Once every frame of the range is kept, the decoder and its file are no longer needed.
    if (std::all_of(m_frames.cbegin(), m_frames.cbegin() + m_stopFrame,
                    [](const QImage &f) { return !f.isNull(); }))
        m_decoder.reset();
    return image;
}

void ClipPlayer::drawFrame(QPainter &painter) const
{
    painter.fillRect(rect(), m_color);
    if (m_shown.isNull())
        return;
    // Frames are in the layout's pixels: off a 120-dpi screen they are resampled to scale.
    const QSize shown = Scaling::size(m_shown.size());
    const QPoint origin = m_center
        ? QPoint((width() - shown.width()) / 2, (height() - shown.height()) / 2)
        : QPoint(0, 0);
    if (shown == m_shown.size()) {
        painter.drawImage(origin, m_shown);
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(origin, shown), m_shown);
}

// Waking up shows the frame that playing on would have reached, then the timer takes over.
void ClipPlayer::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_active && m_open) {
        const int due = dueFrame();
        if (due != m_current)
            showDueFrame(due);
    }
    updateTimer();
}

// Falling asleep keeps the phase: the frame on screen and when it was shown.
void ClipPlayer::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    updateTimer();
}

void ClipPlayer::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    drawFrame(painter);
}

// The clip is a window of its own over the screen: pointer events stop here.
void ClipPlayer::mouseMoveEvent(QMouseEvent *event)
{
    event->accept();
}

void ClipPlayer::mousePressEvent(QMouseEvent *event)
{
    event->accept();
}

void ClipPlayer::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
}

void ClipPlayer::mouseDoubleClickEvent(QMouseEvent *event)
{
    event->accept();
}
