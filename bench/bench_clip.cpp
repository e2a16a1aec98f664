// The clip player's costs: opening a clip (its first frame decoded), drawing one frame (the paint
// of every frame the clip shows), the timer tick with the frames cached or decoded when due, and
// the memory that the decoded frames of the game's three clips hold. Clips are written here, 8-bit
// palette like the game's, 30 frames each.

#include "../tests/unit/AviWriter.h"
#include "clip/ClipPlayer.h"
#include "formats/AviDecoder.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

const QColor kBackground(210, 238, 154);
constexpr int kFrames = 30;
constexpr int kFps = 10;

// The clips are written once, into a directory that lives as long as the process.
QString clipName(QSize size)
{
    static QTemporaryDir dir;
    static bool entered = QDir::setCurrent(dir.path());
    Q_UNUSED(entered);
    const QString name = QString("clip%1x%2.avi").arg(size.width()).arg(size.height());
    if (!QFile::exists(name))
        AviWriter::writeSplit(name, size, kFps, kFrames, ClipCodec::Pal8, kBackground);
    return name;
}

// Opening the examiner's clip: reading the file's headers and index and decoding frame 1, as the
// game screen does for each clip at start-up.
void BM_OpenClip(benchmark::State &state)
{
    const QString name = clipName(QSize(95, 131));
    for (auto _ : state) {
        ClipPlayer clip;
        clip.setFileName(name);
        benchmark::DoNotOptimize(clip.currentFrame());
    }
}
BENCHMARK(BM_OpenClip)->Unit(benchmark::kMicrosecond);

// Opening a clip of three frames followed by millions of empty chunks of another stream (the
// argument), without an index: the walk over chunk headers, against the floor of none.
void BM_OpenClipOfEmptyChunks(benchmark::State &state)
{
    const QSize size(95, 131);
    const QString name = QString("empty%1.avi").arg(state.range(0));
    if (!QFile::exists(clipName(size)) || !QFile::exists(name)) {
        QFile file(name);
        ClipLayout layout;
        layout.index = false;
        if (!file.open(QIODevice::WriteOnly)
            || !file.write(AviWriter::withEmptyChunks(
                AviWriter::bytes(
                    size, kFps, 3, ClipCodec::Pal8,
                    [&](int i) { return AviWriter::splitFrame(size, kBackground, i); }, layout),
                int(state.range(0) * 1000000), true))) {
            state.SkipWithError("cannot write the clip");
            return;
        }
    }
    for (auto _ : state) {
        AviDecoder decoder;
        benchmark::DoNotOptimize(decoder.open(name));
    }
}
BENCHMARK(BM_OpenClipOfEmptyChunks)->Arg(0)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);

// The examiner's clip, 95 × 131: one paint of the widget (Color, then the keyed frame) into a
// surface like a window's backing store, with the painter made per paint as a paint event does.
void BM_DrawClipFrame(benchmark::State &state)
{
    ClipPlayer clip;
    clip.setColor(kBackground);
    clip.setFileName(clipName(QSize(95, 131)));
    clip.setActive(true);
    clip.frameTimer();
    QImage surface(clip.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&surface);
        clip.drawFrame(painter);
        painter.end();
        benchmark::DoNotOptimize(surface.constBits());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DrawClipFrame);

// One timer tick of the examiner's clip: frames from the cache, or decoded from the file when due
// (a clip too large for the cache).
void BM_FrameTick(benchmark::State &state)
{
    ClipPlayer clip;
    clip.setCacheLimit(state.range(0) ? ClipPlayer::kDefaultCacheLimit : 0);
    clip.setFileName(clipName(QSize(95, 131)));
    clip.setActive(true);
    for (int i = 0; i < kFrames; ++i)
        clip.frameTimer(); // fills the cache
    for (auto _ : state)
        clip.frameTimer();
    state.SetLabel(state.range(0) ? "cached" : "decoded when due");
}
BENCHMARK(BM_FrameTick)->Arg(1)->Arg(0);

// The game's three clips opened and played through once: the time that takes, and the bytes their
// decoded frames hold afterwards (counters, per clip and together).
void BM_GameClipsMemory(benchmark::State &state)
{
    const QSize sizes[] = {QSize(95, 131), QSize(176, 93), QSize(121, 89)};
    const char *names[] = {"pema_bytes", "table_bytes", "cba_bytes"};
    qint64 bytes[3] = {};
    for (auto _ : state) {
        for (int i = 0; i < 3; ++i) {
            ClipPlayer clip;
            clip.setFileName(clipName(sizes[i]));
            clip.setActive(true);
            for (int f = 0; f < kFrames; ++f)
                clip.frameTimer();
            bytes[i] = clip.cachedBytes();
        }
    }
    for (int i = 0; i < 3; ++i)
        state.counters[names[i]] = double(bytes[i]);
    state.counters["total_bytes"] = double(bytes[0] + bytes[1] + bytes[2]);
}
BENCHMARK(BM_GameClipsMemory)->Unit(benchmark::kMillisecond);

} // namespace
