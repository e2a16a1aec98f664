#pragma once

#include <QImage>
#include <QRgb>
#include <QSize>
#include <QString>

#include <cstdint>

struct AVFormatContext;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

// The fields of an AVI file's main header ("avih") that the clip player needs.
struct AviMainHeader {
    quint32 microSecPerFrame = 0; // 0 when the file leaves it unset
    int totalFrames = 0;
    QSize frameSize;
};

// Decodes the video stream of one AVI file, frame after frame, into images ready to draw.
// Every pixel that equals the key colour (the first frame's top-left pixel) comes out fully
// transparent, every other pixel fully opaque, so a painter that fills the background colour first
// and then draws the frame shows the clip "keyed" on that colour. Holds one frame's worth of
// buffers besides FFmpeg's own decoder state; the caller decides what to keep.
class AviDecoder {
public:
    // Reads the main header: frame count at byte 48, width at 64, height at 68, µs per frame at 32.
    // Returns false when the file is no RIFF AVI or its header is cut short.
    static bool readMainHeader(const QString &path, AviMainHeader *header);

    // Largest width or height accepted: far beyond any screen, small enough that one frame's
    // buffers stay bounded whatever a header claims.
    static constexpr int MaxSide = 4096;

    AviDecoder() = default;
    ~AviDecoder();
    AviDecoder(const AviDecoder &) = delete;
    AviDecoder &operator=(const AviDecoder &) = delete;

    // Opens `path` and decodes its first frame, which fixes the key colour. False on any failure,
    // with the decoder closed.
    bool open(const QString &path);
    void close();
    bool isOpen() const { return m_format != nullptr; }

    const AviMainHeader &header() const { return m_header; }
    // Frame period in microseconds: the header's, else the stream's rate, else 10 frames a second.
    qint64 frameDurationUs() const { return m_frameDurationUs; }
    QRgb keyColor() const { return m_key; }

    // The first frame, decoded at open.
    const QImage &firstFrame() const { return m_first; }

    // The next frame in file order; a null image at the end of the stream or on a decode failure.
    // The first call after open() or rewind() returns frame 2.
    QImage nextFrame();

    // Goes back so that the next call to nextFrame() returns frame 2 again. False when the file
    // cannot be read from its start any more.
    bool rewind();

private:
    bool openStream(const QString &path);
    QImage decodeOne();
    QImage convert(const AVFrame *frame);

    QString m_path;
    AviMainHeader m_header;
    qint64 m_frameDurationUs = 100000;
    QRgb m_key = 0;
    QImage m_first;

    AVFormatContext *m_format = nullptr;
    AVCodecContext *m_codec = nullptr;
    AVFrame *m_frame = nullptr;
    AVPacket *m_packet = nullptr;
    SwsContext *m_sws = nullptr;
    uint8_t *m_scratch = nullptr; // one aligned RGB32 frame, the scaler's output
    int m_scratchStride = 0;
    int m_streamIndex = -1;
    bool m_draining = false;
};
