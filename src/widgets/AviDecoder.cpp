#include "widgets/AviDecoder.h"

#include <QFile>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

namespace {

// Offsets into an AVI file: the RIFF form, the first chunk of the header list, and the main
// header's fields (each a 32-bit little-endian value).
constexpr int RiffTagAt = 0;
constexpr int FormTypeAt = 8;
constexpr int MainHeaderTagAt = 24;
constexpr int MicroSecPerFrameAt = 32;
constexpr int TotalFramesAt = 48;
constexpr int WidthAt = 64;
constexpr int HeightAt = 68;
constexpr int MainHeaderEnd = 72;

// Without a usable rate in the file, a clip plays at 10 frames a second.
constexpr qint64 DefaultFrameUs = 100000;

quint32 readLe32(const QByteArray &bytes, int at)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData() + at);
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

// FFmpeg logs to stderr by default; a clip that a player dropped in may be damaged, and what
// matters to the game is only whether it opens and which frames decode.
void quietFfmpeg()
{
    static const bool once = [] {
        av_log_set_level(AV_LOG_FATAL);
        return true;
    }();
    Q_UNUSED(once);
}

} // namespace

bool AviDecoder::readMainHeader(const QString &path, AviMainHeader *header)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.read(MainHeaderEnd);
    if (bytes.size() < MainHeaderEnd)
        return false;
    if (bytes.mid(RiffTagAt, 4) != "RIFF" || bytes.mid(FormTypeAt, 4) != "AVI "
        || bytes.mid(MainHeaderTagAt, 4) != "avih")
        return false;

    header->microSecPerFrame = readLe32(bytes, MicroSecPerFrameAt);
    // Values above INT_MAX are as wrong as negative ones; treat them as unset.
    const auto asInt = [](quint32 v) { return v > 0x7fffffffu ? 0 : int(v); };
    header->totalFrames = asInt(readLe32(bytes, TotalFramesAt));
    header->frameSize = QSize(asInt(readLe32(bytes, WidthAt)), asInt(readLe32(bytes, HeightAt)));
    return true;
}

AviDecoder::~AviDecoder()
{
    close();
}

bool AviDecoder::open(const QString &path)
{
    close();
    quietFfmpeg();
    AviMainHeader header;
    if (!readMainHeader(path, &header))
        return false;
    m_path = path;
    m_header = header;
    if (!openStream(path)) {
        close();
        return false;
    }

    const AVStream *stream = m_format->streams[m_streamIndex];
    // A header that leaves a value unset is completed from what the demuxer found.
    if (m_header.totalFrames <= 0 && stream->nb_frames > 0 && stream->nb_frames <= 0x7fffffff)
        m_header.totalFrames = int(stream->nb_frames);
    if (m_header.frameSize.width() <= 0 || m_header.frameSize.height() <= 0)
        m_header.frameSize = QSize(m_codec->width, m_codec->height);
    const QSize size = m_header.frameSize;
    if (m_header.totalFrames <= 0 || size.width() <= 0 || size.height() <= 0
        || size.width() > MaxSide || size.height() > MaxSide) {
        close();
        return false;
    }

    if (m_header.microSecPerFrame > 0) {
        m_frameDurationUs = m_header.microSecPerFrame;
    } else {
        const AVRational rate = stream->avg_frame_rate.num > 0 ? stream->avg_frame_rate : stream->r_frame_rate;
        m_frameDurationUs = rate.num > 0 && rate.den > 0 ? av_rescale(1000000, rate.den, rate.num) : DefaultFrameUs;
        if (m_frameDurationUs <= 0)
            m_frameDurationUs = DefaultFrameUs;
    }

    m_scratchStride = FFALIGN(size.width() * 4, 64);
    m_scratch = static_cast<uint8_t *>(av_malloc(size_t(m_scratchStride) * size.height()));
    if (!m_scratch) {
        close();
        return false;
    }

    m_first = decodeOne();
    if (m_first.isNull()) {
        close();
        return false;
    }
    return true;
}

bool AviDecoder::openStream(const QString &path)
{
    const QByteArray file = QFile::encodeName(path);
    if (avformat_open_input(&m_format, file.constData(), nullptr, nullptr) < 0) {
        m_format = nullptr;
        return false;
    }
    if (avformat_find_stream_info(m_format, nullptr) < 0)
        return false;
    const AVCodec *decoder = nullptr;
    m_streamIndex = av_find_best_stream(m_format, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    if (m_streamIndex < 0 || !decoder)
        return false;
    // Only the video stream is read; the demuxer drops the others' packets early.
    for (unsigned i = 0; i < m_format->nb_streams; ++i) {
        if (int(i) != m_streamIndex)
            m_format->streams[i]->discard = AVDISCARD_ALL;
    }

    m_codec = avcodec_alloc_context3(decoder);
    if (!m_codec)
        return false;
    if (avcodec_parameters_to_context(m_codec, m_format->streams[m_streamIndex]->codecpar) < 0)
        return false;
    // One thread: no frames are held back for other threads, and clips are tiny.
    m_codec->thread_count = 1;
    if (avcodec_open2(m_codec, decoder, nullptr) < 0)
        return false;
    m_frame = av_frame_alloc();
    m_packet = av_packet_alloc();
    m_draining = false;
    return m_frame && m_packet;
}

void AviDecoder::close()
{
    sws_freeContext(m_sws);
    m_sws = nullptr;
    av_freep(&m_scratch);
    m_scratchStride = 0;
    av_packet_free(&m_packet);
    av_frame_free(&m_frame);
    avcodec_free_context(&m_codec);
    avformat_close_input(&m_format);
    m_streamIndex = -1;
    m_draining = false;
    m_first = QImage();
    m_key = 0;
}

QImage AviDecoder::nextFrame()
{
    if (!isOpen())
        return {};
    return decodeOne();
}

bool AviDecoder::rewind()
{
    if (!isOpen())
        return false;
    const AVStream *stream = m_format->streams[m_streamIndex];
    const int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    if (av_seek_frame(m_format, m_streamIndex, start, AVSEEK_FLAG_BACKWARD) >= 0) {
        // The decoder keeps what the stream set once (a palette arrives only with the first
        // packet), so it is flushed, not reopened.
        avcodec_flush_buffers(m_codec);
        m_draining = false;
    } else {
        // A file the demuxer cannot seek in is read anew from its start.
        const QImage first = m_first;
        const QRgb key = m_key;
        av_packet_free(&m_packet);
        av_frame_free(&m_frame);
        avcodec_free_context(&m_codec);
        avformat_close_input(&m_format);
        if (!openStream(m_path)) {
            close();
            return false;
        }
        m_first = first;
        m_key = key;
    }
    // Frame 1 is already at hand; skip it so that the next frame read is frame 2.
    return !decodeOne().isNull();
}

QImage AviDecoder::decodeOne()
{
    for (;;) {
        const int received = avcodec_receive_frame(m_codec, m_frame);
        if (received == 0) {
            QImage image = convert(m_frame);
            av_frame_unref(m_frame);
            return image;
        }
        if (received != AVERROR(EAGAIN))
            return {}; // end of stream, or a decoder that failed for good

        const int read = av_read_frame(m_format, m_packet);
        if (read < 0) {
            if (m_draining)
                return {};
            // Collect the frames that the decoder may still hold.
            m_draining = true;
            avcodec_send_packet(m_codec, nullptr);
            continue;
        }
        if (m_packet->stream_index == m_streamIndex) {
            // A damaged packet is skipped; the next one may decode.
            avcodec_send_packet(m_codec, m_packet);
        }
        av_packet_unref(m_packet);
    }
}

QImage AviDecoder::convert(const AVFrame *frame)
{
    const QSize size = m_header.frameSize;
    if (frame->width <= 0 || frame->height <= 0)
        return {};
    // Frames of another size than the header's are scaled to it, so that every frame of a clip
    // has the clip's size.
    m_sws = sws_getCachedContext(m_sws, frame->width, frame->height, AVPixelFormat(frame->format),
                                 size.width(), size.height(), AV_PIX_FMT_RGB32, SWS_POINT,
                                 nullptr, nullptr, nullptr);
    if (!m_sws)
        return {};
    uint8_t *dst[4] = {m_scratch, nullptr, nullptr, nullptr};
    int dstStride[4] = {m_scratchStride, 0, 0, 0};
    if (sws_scale(m_sws, frame->data, frame->linesize, 0, frame->height, dst, dstStride) <= 0)
        return {};

    // AV_PIX_FMT_RGB32 is QRgb in memory; a palette may carry any alpha, so it is forced opaque.
    constexpr QRgb Opaque = 0xff000000u;
    if (m_first.isNull())
        m_key = reinterpret_cast<const QRgb *>(m_scratch)[0] | Opaque;

    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return {};
    const QRgb key = m_key;
    for (int y = 0; y < size.height(); ++y) {
        const auto *in = reinterpret_cast<const QRgb *>(m_scratch + qsizetype(y) * m_scratchStride);
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const QRgb pixel = in[x] | Opaque;
            out[x] = pixel == key ? 0u : pixel;
        }
    }
    return image;
}
