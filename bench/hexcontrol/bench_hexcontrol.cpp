// The hex editor's whole-file load and its full paint, each against a floor.
//
//   Load/Editor      LoadFromFile of a 256 MiB file.
//   Load/Read        the same file read with plain read() calls into a fresh
//                    buffer: the least any load can cost.
//   Paint/FullLog    an 800 x 600 paint with 1024 undo entries, many of them
//                    on visible bytes (each cell's colour asks the log).
//   Paint/EmptyLog   the same paint with an empty log.
//   Paint/Big        an 800 x 600 paint of a 256 MiB buffer, scrolled to its
//                    middle.
//   Paint/Small      the same paint of a 1 KiB buffer (all rows still data).
//
// The temporary file lives in its own temporary folder and is removed at
// the end. Ratios are printed last, with the peak resident memory of the
// load measured before any other big allocation.
#include "Hexcontrol.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QScrollBar>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

const qint64 kBigSize = qint64(256) << 20;
QByteArray FilePath;
long PeakAfterLoadKiB = 0;

long PeakRssKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

bool MakeFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QByteArray block(1 << 20, 0);
    for (int i = 0; i < block.size(); ++i)
        block[i] = char((i * 31) >> 3);
    for (qint64 done = 0; done < kBigSize; done += block.size())
        if (f.write(block) != block.size())
            return false;
    return true;
}

void BM_LoadEditor(benchmark::State& state)
{
    THexEditor editor;
    for (auto _ : state) {
        const int result = editor.LoadFromFile(FilePath.constData());
        if (result != 0 || editor.DataSize() != kBigSize)
            state.SkipWithError("load failed");
        benchmark::DoNotOptimize(editor.Data());
    }
    PeakAfterLoadKiB = PeakRssKiB();
}

void BM_LoadRead(benchmark::State& state)
{
    for (auto _ : state) {
        const int fd = ::open(FilePath.constData(), O_RDONLY);
        const off_t size = ::lseek(fd, 0, SEEK_END);
        ::lseek(fd, 0, SEEK_SET);
        char* buffer = static_cast<char*>(std::malloc(size_t(size)));
        off_t done = 0;
        while (done < size) {
            const ssize_t n = ::read(fd, buffer + done, size_t(size - done));
            if (n <= 0)
                break;
            done += n;
        }
        ::close(fd);
        benchmark::DoNotOptimize(buffer);
        std::free(buffer);
    }
}

void Render(THexEditor& editor, QImage& image)
{
    editor.render(&image);
}

void BM_PaintLog(benchmark::State& state)
{
    const bool full = state.range(0) != 0;
    THexEditor editor;
    editor.resize(800, 600);
    editor.SetCursorPanel(0);
    editor.SetColorChange(0x0000C0);
    if (full) {
        // 1024 entries: every other byte of the first rows, then beyond view.
        for (int i = 0; i < 1024; ++i) {
            editor.SetByte(i < 300 ? 2 * i : 600 + i % 400, static_cast<unsigned char>(i));
            editor.MoveCursor(i);
        }
        editor.MoveCursor(5);
    }
    if ((editor.ChangeLog().UndoCount == 1024) != full)
        state.SkipWithError("log not as intended");
    QImage image(editor.size(), QImage::Format_RGB32);
    for (auto _ : state)
        Render(editor, image);
}

void BM_PaintSize(benchmark::State& state)
{
    const bool big = state.range(0) != 0;
    QScrollBar bar;
    THexEditor editor;
    editor.resize(800, 600);
    editor.SetScrollBar(&bar);
    if (big) {
        editor.FreeData();
        editor.AllocData(int(kBigSize));
        if (editor.DataSize() != kBigSize) {
            state.SkipWithError("no memory for the big buffer");
            return;
        }
        std::vector<unsigned char> block(1 << 20);
        for (qint64 at = 0; at < kBigSize; at += qint64(block.size())) {
            for (size_t i = 0; i < block.size(); ++i)
                block[i] = static_cast<unsigned char>((at + qint64(i)) * 13);
            editor.Document()->Write(at, block.data(), qint64(block.size()));
        }
        bar.setValue(bar.maximum() / 2);
    }
    QImage image(editor.size(), QImage::Format_RGB32);
    for (auto _ : state)
        Render(editor, image);
    editor.SetNull(); // gives the big buffer back before the next run
}

BENCHMARK(BM_LoadEditor)->Name("Load/Editor")->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_LoadRead)->Name("Load/Read")->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_PaintLog)->Name("Paint/FullLog")->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaintLog)->Name("Paint/EmptyLog")->Arg(0)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaintSize)->Name("Paint/Big")->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaintSize)->Name("Paint/Small")->Arg(0)->Unit(benchmark::kMicrosecond);

class TRatioReporter : public benchmark::ConsoleReporter
{
public:
    std::map<std::string, double> FTimes;
    std::map<std::string, double> FCpuTimes;

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            FTimes[run.benchmark_name()] = run.GetAdjustedRealTime();
            FCpuTimes[run.benchmark_name()] = run.GetAdjustedCPUTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

double Ratio(std::map<std::string, double>& times, const char* a, const char* b)
{
    for (auto& [name, t] : times)
        if (name.rfind(b, 0) == 0 && t > 0)
            for (auto& [name2, t2] : times)
                if (name2.rfind(a, 0) == 0)
                    return t2 / t;
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QTemporaryDir dir;
    const QString path = dir.filePath("big.bin");
    if (!dir.isValid() || !MakeFile(path)) {
        std::fprintf(stderr, "cannot create the 256 MiB test file\n");
        return 1;
    }
    FilePath = QFile::encodeName(path);
    const long baseRss = PeakRssKiB();

    benchmark::Initialize(&argc, argv);
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    QFile::remove(path);

    // CPU time is the steadier measure on a machine shared with other work;
    // wall-clock ratios are printed beside it.
    auto& t = reporter.FCpuTimes;
    auto& w = reporter.FTimes;
    std::printf("ratios of CPU time (wall clock in brackets)\n");
    std::printf("LoadFromFile / plain read():        %.2fx [%.2fx] (aim: within 1.2x)\n",
                Ratio(t, "Load/Editor", "Load/Read"), Ratio(w, "Load/Editor", "Load/Read"));
    if (PeakAfterLoadKiB > 0)
        std::printf("peak memory of the loads:           %.0f MiB over %.0f MiB before (file 256 MiB)\n",
                    (PeakAfterLoadKiB - baseRss) / 1024.0, baseRss / 1024.0);
    std::printf("paint, full log / empty log:        %.2fx [%.2fx] (aim: within 1.3x)\n",
                Ratio(t, "Paint/FullLog", "Paint/EmptyLog"), Ratio(w, "Paint/FullLog", "Paint/EmptyLog"));
    std::printf("paint, 256 MiB / 1 KiB buffer:      %.2fx [%.2fx] (aim: within 1.1x)\n",
                Ratio(t, "Paint/Big", "Paint/Small"), Ratio(w, "Paint/Big", "Paint/Small"));
    return 0;
}
