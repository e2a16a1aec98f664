#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QIODevice>
#include <QImage>
#include <QRgb>
#include <QSize>
#include <QString>
#include <QVector>

#include <memory>
#include <vector>

// The fields of an AVI file's main header ("avih") that the clip player needs.
struct AviMainHeader {
    quint32 microSecPerFrame = 0; // 0 when the file leaves it unset
    int totalFrames = 0;          // as the header claims; the file may hold fewer
    QSize frameSize;
};

// Reads the first video stream of a RIFF AVI file, frame by frame, into images ready to draw.
//
// Exactly what the game's clips come in: uncompressed 8-bit palette, 16-bit (5-5-5 or bit fields),
// 24-bit and 32-bit frames, and 8-bit run-length coded frames. Frames are found through the file's
// index ("idx1") or, without a usable one, by walking the "movi" list. Every other stream (sound)
// is skipped, and every other file is refused at open().
//
// Strict and bounded: every size, count and offset is checked against the file before it is used,
// a frame's sides are at most kMaxSide, and no read is larger than one frame can need, so that
// whatever a header claims the reader holds no more than a few frames' worth of memory.
//
// Every pixel that equals the key colour (the first frame's top-left pixel) comes out fully
// transparent, every other pixel fully opaque, so a painter that fills the background colour first
// and then draws the frame shows the clip "keyed" on that colour.
class AviDecoder {
public:
    // Largest width or height accepted: more than any window of the game can show; one frame of
    // this size at 32 bits is 4 MB.
    static constexpr int kMaxSide = 1024;
    // Most frames listed: more than two hours at the game's rates, 16 bytes each.
    static constexpr int kMaxFrames = 100000;
    // Most chunk headers looked at while finding the frames (and the index entries read): four a
    // frame of kMaxFrames, more than a clip with sound, in records, needs. A file of more empty or
    // foreign chunks than this is read no further, so that no clip costs more than a moment.
    static constexpr int kMaxChunkHeaders = 4 * kMaxFrames;

    AviDecoder() = default;
    ~AviDecoder();
    AviDecoder(const AviDecoder &) = delete;
    AviDecoder &operator=(const AviDecoder &) = delete;

    // Opens the file (a regular file only) and decodes its first frame, which fixes the key colour.
    // False on any failure, with the decoder closed.
    bool open(const QString &path);
    // The same over any open, seekable device (the reader keeps it until close()).
    bool open(std::unique_ptr<QIODevice> device);
    void close();
    bool isOpen() const { return m_device != nullptr; }

    // The main header, completed from the stream where it leaves a value unset.
    const AviMainHeader &header() const { return m_header; }
    // Frames the file holds, at most the header's count when that is set.
    int framesInFile() const { return int(m_chunks.size()); }
    // Frame period in microseconds: the header's, else the stream's rate, else 10 frames a second.
    qint64 frameDurationUs() const { return m_frameDurationUs; }
    QRgb keyColor() const { return m_key; }

    // The first frame, decoded at open.
    const QImage &firstFrame() const { return m_first; }

    // Frame `index` (0-based) of header().frameSize; a null image when the file does not hold it or
    // its data cannot be read. Any order works. A run-length frame builds on the frames before it,
    // from the frame decoded last or from the nearest key frame at or before it (the first frame is
    // one), whichever is closer; the work is bounded by `deadline`: once it has passed, the frame
    // reached so far comes back instead (at least one frame further than before), and `reached`
    // (when given) says which frame that is.
    QImage frame(int index, QDeadlineTimer deadline = QDeadlineTimer(QDeadlineTimer::Forever),
                 int *reached = nullptr);

private:
    enum class Coding { Raw, Rle8 };

    // Where one frame's data lies in the file.
    struct Chunk {
        qint64 offset;
        quint32 size;
    };

    bool parse();
    bool parseHeaderList(qint64 begin, qint64 end);
    // The main header "avih" of `size` bytes at `at`.
    bool parseMainHeader(qint64 at, quint32 size);
    bool parseStreamFormat(qint64 at, quint32 size);
    void readIndex(qint64 at, quint32 size, qint64 moviTag);
    void walkMovi(qint64 begin, qint64 end);
    bool addChunk(qint64 dataOffset, quint32 size, bool key = false);
    bool isVideoChunk(quint32 id) const;

    QByteArray readAt(qint64 offset, qint64 size);
    // A chunk's header (at most 12 bytes) at `offset`, read through a window of the file; empty
    // when the file ends first or kMaxChunkHeaders have been looked at.
    QByteArray headerAt(qint64 offset, qint64 size);
    QImage decodeRaw(int index);
    QImage decodeRle(int index, QDeadlineTimer deadline, int *reached);
    void applyRle(const QByteArray &data);
    QImage finish(QImage image);

    std::unique_ptr<QIODevice> m_device;
    qint64 m_fileSize = 0;

    AviMainHeader m_header;
    qint64 m_frameDurationUs = 100000;
    quint32 m_streamScale = 0;
    quint32 m_streamRate = 0;

    // The video stream's format.
    int m_streamNumber = -1; // its place among the streams: chunk ids begin with it in two digits
    Coding m_coding = Coding::Raw;
    int m_bitCount = 0;
    QSize m_storedSize; // as the stream stores frames; scaled to header().frameSize when it differs
    bool m_bottomUp = true;
    QVector<QRgb> m_palette;
    quint32 m_masks[3] = {0, 0,
                          0}; // red, green, blue; zero for the plain 5-5-5, 24 and 32-bit layouts

    // The part of the file that chunk headers are read from, and how many more may be looked at.
    QByteArray m_window;
    qint64 m_windowAt = 0;
    int m_headersLeft = kMaxChunkHeaders;

    std::vector<Chunk> m_chunks;
    // Frames that the index marks as key frames (whole pictures), in order; the first frame always.
    std::vector<int> m_keyFrames;

    // Run-length frames draw over the frame before: the palette indices so far, and the next frame
    // that applying a chunk to them gives.
    std::vector<uchar> m_indices;
    int m_rleNext = 0;

    QRgb m_key = 0;
    QImage m_first;
};
