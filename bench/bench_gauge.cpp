// Cost of one gauge repaint: composing its picture off screen (the copy onto the screen is not
// included). The game's clock sets three gauges every tick; the loading pie repaints every 10 ms.

#include "widgets/Gauge.h"

#include <QApplication>

#include <benchmark/benchmark.h>

namespace {

QFont gameFont(int pixels)
{
    QFont font("DejaVu Sans");
    font.setPixelSize(pixels);
    return font;
}

// Alternates between two percentages so that each iteration composes a changed picture.
void composeRepeatedly(benchmark::State &state, Gauge &gauge)
{
    int percent = 42;
    for (auto _ : state) {
        gauge.setProgress(percent);
        QImage image = gauge.renderImage();
        benchmark::DoNotOptimize(image.constBits());
        percent = 85 - percent;
    }
}

// The game screen's copying gauge: 129 × 28 horizontal bar, maroon on medium grey, 13 px text.
void BM_ProcessBarRepaint(benchmark::State &state)
{
    QWidget panel;
    panel.setFont(gameFont(13));
    Gauge gauge(&panel);
    gauge.resize(129, 28);
    gauge.setBackColor(QColor(160, 160, 164));
    gauge.setForeColor(QColor(128, 0, 0));
    composeRepeatedly(state, gauge);
}
BENCHMARK(BM_ProcessBarRepaint);

// The menu's loading gauge: 688 × 32 pie, maroon on black, 17 px text.
void BM_LoadingPieRepaint(benchmark::State &state)
{
    QWidget menu;
    menu.setFont(gameFont(17));
    Gauge gauge(&menu);
    gauge.resize(688, 32);
    gauge.setKind(GaugeKind::Pie);
    gauge.setForeColor(QColor(128, 0, 0));
    gauge.setBackColor(Qt::black);
    gauge.setColor(Qt::black);
    composeRepeatedly(state, gauge);
}
BENCHMARK(BM_LoadingPieRepaint);

} // namespace
