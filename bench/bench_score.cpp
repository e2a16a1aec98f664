// The score list's costs on the real score screen and its list widget: loading a 100,000-line score
// file into the list (start-up, screen hidden), saving that list, the two lines that the end of an
// exam appends with the screen shown (until it is painted), showing a file of one 1 MB (and 5 MB)
// line without spaces, the resident memory that 3,000 exam ends with their saves add, and score
// files of 2 to 61 MB from start-up to the shown screen and its save (time and peak memory). The
// floor is one paint of an empty window of the same size. Report CPU time: the wall time on a
// shared machine mostly measures the neighbours (and a save's fsync, the disk).

#include "formats/Cp1251.h"
#include "game/ExamResult.h"
#include "score/ScoreFile.h"
#include "score/ScoreScreen.h"
#include "toolkit/MultiLineEdit.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <malloc.h>

namespace {

// Lines of the large score file: 50,000 exams, each a separator and a result line.
constexpr int kLines = 100000;
// Size of the one-line score file.
constexpr int kOneLineBytes = 1 << 20;

// A working directory with base/data, for the whole process.
void enterWorkingDirectory()
{
    static QTemporaryDir dir;
    static const bool entered = QDir::setCurrent(dir.path()) && QDir().mkpath("base/data");
    Q_UNUSED(entered);
}

void writeScoreFile(const QByteArray &bytes)
{
    enterWorkingDirectory();
    QFile file("base/data/score.inf");
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write the score file");
}

// The file the game writes after 50,000 exams by players of varied names and results.
QByteArray largeScoreFile()
{
    static const QStringList names{QStringLiteral("Вася"), QStringLiteral("Петя"),
                                   QStringLiteral("Студент Иванов"), QStringLiteral("Маша")};
    QString text;
    for (int exam = 0; exam < kLines / 2; ++exam) {
        text += ExamResult::separator() + QStringLiteral("\r\n");
        text += ExamResult::resultLine(names[exam % names.size()], exam % 101, exam % 7 == 0)
            + QStringLiteral("\r\n");
    }
    return Cp1251::encode(text);
}

void paint(ScoreScreen &screen)
{
    screen.repaint();
    QCoreApplication::processEvents();
}

void BM_ScoreLoad(benchmark::State &state)
{
    writeScoreFile(largeScoreFile());
    ScoreScreen screen;
    for (auto _ : state)
        screen.loadScoreFile();
}
BENCHMARK(BM_ScoreLoad)->Unit(benchmark::kMillisecond);

void BM_ScoreSave(benchmark::State &state)
{
    writeScoreFile(largeScoreFile());
    ScoreScreen screen;
    screen.loadScoreFile();
    const ScoreFile::Loaded loaded = ScoreFile::load();
    for (auto _ : state)
        ScoreFile::save(screen.scoreList->text(), loaded);
}
BENCHMARK(BM_ScoreSave)->Unit(benchmark::kMillisecond);

// The exam's end: the screen is shown, then its two lines are appended and painted.
void BM_ScoreAppendExamEnd(benchmark::State &state)
{
    writeScoreFile(largeScoreFile());
    ScoreScreen screen;
    screen.loadScoreFile();
    screen.showScreen();
    paint(screen);
    int exam = 0;
    for (auto _ : state) {
        screen.appendLine(ExamResult::separator());
        screen.appendLine(ExamResult::resultLine(QStringLiteral("Вася"), ++exam % 101, false));
        paint(screen);
    }
}
BENCHMARK(BM_ScoreAppendExamEnd)->Unit(benchmark::kMillisecond);

// A line without spaces of `bytes`, loaded and shown until its first paint.
void showOneLongLine(benchmark::State &state, int bytes)
{
    writeScoreFile(QByteArray(bytes, 'x'));
    ScoreScreen screen;
    for (auto _ : state) {
        screen.loadScoreFile();
        screen.showScreen();
        paint(screen);
        state.PauseTiming();
        screen.hide();
        state.ResumeTiming();
    }
}

void BM_ScoreOneLongLine(benchmark::State &state)
{
    showOneLongLine(state, kOneLineBytes);
}
BENCHMARK(BM_ScoreOneLongLine)->Unit(benchmark::kMillisecond);

void BM_ScoreOneLongLine5MB(benchmark::State &state)
{
    showOneLongLine(state, 5 * kOneLineBytes);
}
BENCHMARK(BM_ScoreOneLongLine5MB)->Unit(benchmark::kMillisecond);

// Resident memory over 3,000 exam ends, each with its two lines and a paint, every tenth with the
// save of "Назад", after 300 to warm up. The list holds each line once, in its document's text,
// short lines sharing a paragraph, in arrays that grow by doubling: about 0.25 kB an exam on this
// machine, twice the text's UTF-16 (text_kB). Paints and saves add nothing to it, and there is no
// undo history; anything beyond that figure would show here.
void BM_ScoreMemoryOver3000Exams(benchmark::State &state)
{
    writeScoreFile("-----------------\r\n");
    // Free heap pages are given back first, so that the figure counts what is held.
    const auto residentKb = [] {
        malloc_trim(0);
        QFile status("/proc/self/status");
        status.open(QIODevice::ReadOnly);
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("VmRSS:"))
                return line.mid(6).trimmed().split(' ').first().toLong();
        return 0L;
    };
    for (auto _ : state) {
        ScoreScreen screen;
        screen.loadScoreFile();
        screen.showScreen();
        ScoreFile::Loaded saved = ScoreFile::load();
        long before = 0;
        for (int exam = 0; exam < 3300; ++exam) {
            if (exam == 300)
                before = residentKb();
            screen.appendLine(ExamResult::separator());
            screen.appendLine(ExamResult::resultLine(QStringLiteral("Вася"), exam % 101, false));
            paint(screen);
            if (exam % 10 == 0)
                saved = ScoreFile::save(screen.scoreList->text(), saved);
        }
        state.counters["growth_kB"] = double(residentKb() - before);
        state.counters["text_kB"] = double(screen.scoreList->text().size() * 2 / 1024);
    }
}
BENCHMARK(BM_ScoreMemoryOver3000Exams)->Unit(benchmark::kMillisecond)->Iterations(1);

// A score file of `state.range(0)` MB as the game writes it (with `state.range(1)` 1: LF-only, 2:
// CR-only breaks, as another program may leave it), from start-up to the shown screen and its
// save: the time of the load, of showing the screen until it is painted, and of the save; and the
// process's peak resident memory over what it held before, against the file's size. Run one such
// benchmark a process (bench/run.sh does), so that the peak is its own. 10 MB is the largest file
// the list takes; the 61 MB one is left out, and its figure is the read's.
void BM_ScoreLargeList(benchmark::State &state)
{
    const auto statusKb = [](const char *field) {
        QFile status("/proc/self/status");
        status.open(QIODevice::ReadOnly);
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith(field))
                return line.mid(qstrlen(field)).trimmed().split(' ').first().toLong();
        return 0L;
    };
    QByteArray file;
    {
        const QByteArray exams = largeScoreFile();
        while (file.size() < state.range(0) << 20)
            file += exams;
        file.truncate(state.range(0) << 20);
        if (state.range(1) != 0)
            file.replace("\r\n", state.range(1) == 1 ? "\n" : "\r");
    }
    writeScoreFile(file);
    const qsizetype fileBytes = file.size();
    file = QByteArray();
    malloc_trim(0);
    const long before = statusKb("VmRSS:");
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        ScoreScreen screen;
        // What the creation handler does, with the file's text kept here, so that the save below is
        // the one "Назад" makes: over the file as it was loaded.
        const ScoreFile::Loaded loaded = ScoreFile::load();
        screen.scoreList->setText(loaded.text);
        const double loadMs = clock.nsecsElapsed() / 1e6;
        const long loadPeak = statusKb("VmHWM:");
        clock.restart();
        screen.showScreen();
        paint(screen);
        const double showMs = clock.nsecsElapsed() / 1e6;
        clock.restart();
        ScoreFile::save(screen.scoreList->text(), loaded);
        const double saveMs = clock.nsecsElapsed() / 1e6;
        state.counters["load_ms"] = loadMs;
        state.counters["show_ms"] = showMs;
        state.counters["save_ms"] = saveMs;
        malloc_trim(0);
        state.counters["held_MB"] = (statusKb("VmRSS:") - before) / 1024.0;
        state.counters["peak_MB"] = (statusKb("VmHWM:") - before) / 1024.0;
        state.counters["load_peak_MB"] = (loadPeak - before) / 1024.0;
        state.counters["file_MB"] = fileBytes / 1048576.0;
    }
}
BENCHMARK(BM_ScoreLargeList)
    ->Args({2, 0})
    ->Args({10, 0})
    ->Args({9, 1})
    ->Args({9, 2})
    ->Args({61, 0})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// The floor: one paint of an empty window as large as the score screen.
void BM_ScoreFloorEmptyWindow(benchmark::State &state)
{
    QWidget window;
    window.resize(694, 440);
    window.show();
    for (auto _ : state) {
        window.repaint();
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_ScoreFloorEmptyWindow)->Unit(benchmark::kMillisecond);

} // namespace
