#pragma once

// Writes small AVI clips for the clip player's tests and benchmark through libavformat, in the
// formats the game's clips may come in: uncompressed bgr24 or 8-bit palette, or MJPEG.

#include <QColor>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QString>

#include <functional>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

enum class ClipCodec { Bgr24, Pal8, Mjpeg };

namespace AviWriter {

// The lower left quarter of every split frame: tells up from down, and is never keyed out.
inline const QColor Floor(90, 60, 30);

// Frame `index` (0-based) of a clip: the upper left quarter in `background`, the lower left in
// Floor, the right half in a colour of the frame's own, so that a pixel tells which frame is shown.
// Flat areas of 16 pixels keep MJPEG exact enough.
inline QColor frameColor(int index)
{
    return QColor(40 + (index * 37) % 200, 200 - (index * 23) % 180, 30 + (index * 11) % 90);
}

inline QImage splitFrame(QSize size, const QColor &background, int index)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(background);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            if (x >= size.width() / 2)
                image.setPixel(x, y, frameColor(index).rgb());
            else if (y >= size.height() / 2)
                image.setPixel(x, y, Floor.rgb());
        }
    }
    return image;
}

// Writes `frames` frames of `frame(i)` (RGB32 pictures of `size`) at `fps`. False on any failure.
inline bool write(const QString &path, QSize size, int fps, int frames, ClipCodec codec,
                  const std::function<QImage(int)> &frame)
{
    av_log_set_level(AV_LOG_ERROR);
    const QByteArray file = QFile::encodeName(path);
    AVFormatContext *out = nullptr;
    if (avformat_alloc_output_context2(&out, nullptr, "avi", file.constData()) < 0)
        return false;
    AVStream *stream = avformat_new_stream(out, nullptr);
    stream->time_base = AVRational{1, fps};
    stream->avg_frame_rate = AVRational{fps, 1};

    AVCodecContext *encoder = nullptr;
    SwsContext *toYuv = nullptr;
    AVFrame *yuv = nullptr;
    AVCodecParameters *par = stream->codecpar;
    if (codec == ClipCodec::Mjpeg) {
        const AVCodec *mjpeg = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
        encoder = avcodec_alloc_context3(mjpeg);
        encoder->width = size.width();
        encoder->height = size.height();
        encoder->pix_fmt = AV_PIX_FMT_YUVJ420P;
        encoder->time_base = stream->time_base;
        encoder->flags |= AV_CODEC_FLAG_QSCALE;
        encoder->global_quality = FF_QP2LAMBDA * 2;
        if (avcodec_open2(encoder, mjpeg, nullptr) < 0)
            return false;
        avcodec_parameters_from_context(par, encoder);
        toYuv = sws_getContext(size.width(), size.height(), AV_PIX_FMT_RGB32, size.width(), size.height(),
                               AV_PIX_FMT_YUVJ420P, SWS_POINT, nullptr, nullptr, nullptr);
        yuv = av_frame_alloc();
        yuv->format = AV_PIX_FMT_YUVJ420P;
        yuv->width = size.width();
        yuv->height = size.height();
        av_frame_get_buffer(yuv, 0);
    } else {
        par->codec_type = AVMEDIA_TYPE_VIDEO;
        par->codec_id = AV_CODEC_ID_RAWVIDEO;
        par->format = codec == ClipCodec::Pal8 ? AV_PIX_FMT_PAL8 : AV_PIX_FMT_BGR24;
        par->bits_per_coded_sample = codec == ClipCodec::Pal8 ? 8 : 24;
        par->width = size.width();
        par->height = size.height();
    }

    if (avio_open(&out->pb, file.constData(), AVIO_FLAG_WRITE) < 0 || avformat_write_header(out, nullptr) < 0)
        return false;

    // Pictures first: the palette holds every colour of every frame, in order of appearance
    // (tests use few), so that it is set once in the header.
    std::vector<QImage> images;
    QHash<QRgb, int> paletteIndex;
    std::vector<uint32_t> palette(256, 0xff000000u);
    for (int i = 0; i < frames; ++i) {
        images.push_back(frame(i).convertToFormat(QImage::Format_RGB32));
        for (int y = 0; codec == ClipCodec::Pal8 && y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                const QRgb pixel = images.back().pixel(x, y);
                if (!paletteIndex.contains(pixel) && paletteIndex.size() < 256) {
                    palette[paletteIndex.size()] = pixel | 0xff000000u;
                    paletteIndex.insert(pixel, int(paletteIndex.size()));
                }
            }
        }
    }
    AVPacket *packet = av_packet_alloc();
    bool ok = true;
    const auto writePacket = [&](AVPacket *p) {
        p->stream_index = stream->index;
        av_packet_rescale_ts(p, encoder ? encoder->time_base : stream->time_base, stream->time_base);
        if (av_interleaved_write_frame(out, p) < 0)
            ok = false;
    };
    const auto drain = [&] {
        while (avcodec_receive_packet(encoder, packet) == 0)
            writePacket(packet);
    };

    for (int i = 0; i < frames && ok; ++i) {
        const QImage &image = images[size_t(i)];
        if (codec == ClipCodec::Mjpeg) {
            av_frame_make_writable(yuv);
            const uint8_t *src[1] = {image.constBits()};
            const int srcStride[1] = {int(image.bytesPerLine())};
            sws_scale(toYuv, src, srcStride, 0, size.height(), yuv->data, yuv->linesize);
            yuv->pts = i;
            avcodec_send_frame(encoder, yuv);
            drain();
            continue;
        }
        const int bytesPerPixel = codec == ClipCodec::Pal8 ? 1 : 3;
        av_new_packet(packet, size.width() * size.height() * bytesPerPixel);
        uint8_t *data = packet->data;
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                const QRgb pixel = image.pixel(x, y);
                if (codec == ClipCodec::Pal8) {
                    *data++ = uint8_t(paletteIndex.value(pixel));
                } else {
                    *data++ = uint8_t(qBlue(pixel));
                    *data++ = uint8_t(qGreen(pixel));
                    *data++ = uint8_t(qRed(pixel));
                }
            }
        }
        if (codec == ClipCodec::Pal8) {
            uint8_t *side = av_packet_new_side_data(packet, AV_PKT_DATA_PALETTE, AVPALETTE_SIZE);
            memcpy(side, palette.data(), AVPALETTE_SIZE);
        }
        packet->pts = packet->dts = i;
        packet->duration = 1;
        packet->flags |= AV_PKT_FLAG_KEY;
        writePacket(packet);
    }
    if (encoder) {
        avcodec_send_frame(encoder, nullptr);
        drain();
    }
    if (av_write_trailer(out) < 0)
        ok = false;

    av_packet_free(&packet);
    av_frame_free(&yuv);
    sws_freeContext(toYuv);
    avcodec_free_context(&encoder);
    avio_closep(&out->pb);
    avformat_free_context(out);
    return ok;
}

// A clip of `frames` split frames (see splitFrame).
inline bool writeSplit(const QString &path, QSize size, int fps, int frames, ClipCodec codec, const QColor &background)
{
    return write(path, size, fps, frames, codec, [&](int i) { return splitFrame(size, background, i); });
}

} // namespace AviWriter
