#pragma once

// Folder clip/: the clip stack, a silent AVI player widget over the AVI reader in formats/.
// Includes from toolkit/ and formats/ only.

#include "formats/AviDecoder.h"

#include <QColor>
#include <QElapsedTimer>
#include <QImage>
#include <QString>
#include <QTimer>
#include <QVector>
#include <QWidget>

#include <memory>

class QPainter;

// A silent AVI clip player. Setting the file name opens the clip and shows its first frame;
// Active plays the whole clip over and over at the clip's own frame rate. The clip's background
// (every pixel of the first frame's top-left colour) and the area around the clip show Color.
//
// Memory: a clip whose decoded frames fit in cacheLimit() keeps them all after the first pass and
// then drops its decoder; a larger clip keeps only its first and current frame and decodes each
// frame when it is due.
//
// A playing clip whose window is hidden sleeps: no timer wakes the program and nothing is drawn or
// decoded. Its place in the loop still follows the clock, so currentFrame() read while it sleeps,
// and the frame it shows when its window is shown again, are those it would have reached had it
// played all along; except that reaching a frame never takes longer than one frame period: a
// run-length clip whose due frame lies too many frames after the last one decoded or its nearest
// key frame shows the frame reached by then, and plays on from there.
//
// The widget takes every pointer move and press over it, so the pointer over a clip never reaches
// the screen below.
class ClipPlayer : public QWidget {
    Q_OBJECT

public:
    // Decoded frames a clip may keep (bytes): the game's clips take about 2 MB each.
    static constexpr qint64 kDefaultCacheLimit = qint64(8) * 1024 * 1024;

    explicit ClipPlayer(QWidget *parent = nullptr);
    ~ClipPlayer() override;

    // The clip, named the game's way ("base\video\pemik.avi"). A name equal to the current one,
    // letter case ignored, changes nothing. Otherwise the clip stops and closes, the new one opens
    // with the whole clip as its range, the widget takes the frame size when autoSize is on, and
    // frame 1 shows. An empty name only closes the clip. Throws GameError("Cannot open AVI") when
    // the file cannot be opened; the previous name is then kept, with its clip stopped and closed
    // until setActive(true).
    void setFileName(const QString &gamePath);
    QString fileName() const { return m_fileName; }

    // True plays the clip endlessly from frame 1, opening it first if it is closed (throws
    // "Cannot open AVI" when that fails); with no file name it does nothing. False stops it and
    // shows frame 1.
    void setActive(bool active);
    bool active() const { return m_active; }

    void setColor(const QColor &color);
    QColor color() const { return m_color; }
    void setAutoSize(bool autoSize) { m_autoSize = autoSize; }
    bool autoSize() const { return m_autoSize; }
    void setCenter(bool center);
    bool center() const { return m_center; }

    bool isOpen() const { return m_open; }
    int frameCount() const { return m_frameCount; }
    int currentFrame() const; // 1-based; 0 while closed
    // Whether the playback timer runs: only while the clip plays in a visible window.
    bool isTicking() const { return m_timer.isActive(); }
    QSize frameSize() const { return m_frameSize; }
    int frameIntervalMs() const { return m_timer.interval(); }

    // Bytes held by decoded frames, the first frame included.
    qint64 cachedBytes() const;
    qint64 cacheLimit() const { return m_cacheLimit; }
    // Takes effect at the next opening.
    void setCacheLimit(qint64 bytes) { m_cacheLimit = bytes; }

    // The playback timer's handler: shows the frame after currentFrame(), frame 1 after the last.
    void frameTimer();

    // Draws the widget: Color everywhere, the current frame keyed on top.
    void drawFrame(QPainter &painter) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void openClip(); // opens m_fileName or throws
    void closeClip();
    void stop();
    void showFrame(int frame, const QImage &image);
    void showDueFrame(int frame);
    QImage frameImage(int frame,
                      int *reached); // `reached`: the frame it is, maybe one before `frame`
    bool sleeping() const;
    int dueFrame() const;
    void updateTimer();

    QString m_fileName;
    QColor m_color;
    bool m_autoSize = true;
    bool m_center = true;
    bool m_active = false;

    bool m_open = false;
    int m_frameCount = 0;
    int m_stopFrame = 0; // last frame of the range: the frame count, less when the file holds fewer
    QSize m_frameSize;
    int m_current = 0;
    QImage m_shown;

    std::unique_ptr<AviDecoder> m_decoder; // null once every frame is cached
    bool m_caching = false;                // whether every decoded frame is kept
    QVector<QImage> m_frames;              // index 0 = frame 1; filled as frames are first decoded
    qint64 m_cacheLimit = kDefaultCacheLimit;

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_shownAtMs = 0; // when the frame on screen became current: the loop's phase
};
