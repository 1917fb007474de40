// Searching a 256 MiB buffer whose only match sits at its very end, through
// THexEditor::FindFirst, against glibc's memmem over the same buffer for the
// same bytes. Prints each search's time as a ratio of memmem's.
#include "Hexcontrol.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

const int BufferSize = 256 * 1024 * 1024;

THexEditor* Editor = nullptr;
// The editor's bytes, held in memory as one block.
const unsigned char* Buffer()
{
    return Editor->Data();
}

struct TCase
{
    const char* Name;
    const char* Text;    // handed to FindFirst
    int Mode;
    int Flags;
    const char* Pattern; // the bytes placed at the end, handed to memmem
};

// Random bytes give every byte value equally often, so first-byte candidates
// turn up every 256 bytes (every 128 for a letter in either case).
const TCase Cases[] = {
    {"text_exact", "Tarvolin needle!", THexEditor::smText, THexEditor::sfMatchCase, "Tarvolin needle!"},
    {"text_fold", "tARVOLIN NEEDLE!", THexEditor::smText, 0, "Tarvolin needle!"},
    {"text_fold_letters", "tarvolinNEEDLES", THexEditor::smText, 0, "TarvolinNeedles"},
    {"hex", "de ad be ef 54 61 72 76", THexEditor::smHex, 0, "\xde\xad\xbe\xef" "Tarv"},
};

void PlacePattern(const char* pattern)
{
    const qint64 n = qint64(std::strlen(pattern));
    Editor->Document()->Write(BufferSize - n, pattern, n);
}

void BM_Memmem(benchmark::State& state, const TCase* c)
{
    PlacePattern(c->Pattern);
    const size_t n = std::strlen(c->Pattern);
    for (auto _ : state) {
        const void* hit = memmem(Buffer(), BufferSize, c->Pattern, n);
        benchmark::DoNotOptimize(hit);
        if (hit != Buffer() + BufferSize - n)
            state.SkipWithError("memmem missed the match");
    }
}

void BM_FindFirst(benchmark::State& state, const TCase* c)
{
    PlacePattern(c->Pattern);
    const qint64 expected = BufferSize - static_cast<int>(std::strlen(c->Pattern));
    for (auto _ : state) {
        const qint64 at = Editor->FindFirst(c->Text, c->Mode, c->Flags);
        benchmark::DoNotOptimize(at);
        if (at != expected)
            state.SkipWithError("FindFirst missed the match");
    }
}

// Keeps each run's wall and CPU time per iteration for the ratio table. On
// a busy machine the CPU time is the steadier figure of the two.
class TRatioReporter : public benchmark::ConsoleReporter
{
public:
    std::map<std::string, double> Times, CpuTimes;
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (!run.error_occurred && run.run_type == Run::RT_Iteration) {
                Times[run.benchmark_name()] = run.GetAdjustedRealTime();
                CpuTimes[run.benchmark_name()] = run.GetAdjustedCPUTime();
            }
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    THexEditor editor;
    Editor = &editor;
    editor.FreeData();
    editor.AllocData(BufferSize);
    unsigned state = 12345;
    std::vector<unsigned char> block(1 << 20);
    for (int at = 0; at < BufferSize; at += int(block.size())) {
        for (unsigned char& byte : block) {
            state = state * 1103515245u + 12345u;
            byte = static_cast<unsigned char>(state >> 16);
        }
        editor.Document()->Write(at, block.data(), qint64(block.size()));
    }

    for (const TCase& c : Cases) {
        benchmark::RegisterBenchmark((std::string("memmem/") + c.Name).c_str(), BM_Memmem, &c)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("FindFirst/") + c.Name).c_str(), BM_FindFirst, &c)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\nFindFirst time / memmem time over %d MiB, match at the end (aim: 1.25x exact, 3x folding):\n",
                BufferSize >> 20);
    std::printf("  %-18s %8s %8s\n", "search", "wall", "cpu");
    for (const TCase& c : Cases) {
        const std::string base = std::string("memmem/") + c.Name;
        const std::string ours = std::string("FindFirst/") + c.Name;
        if (!reporter.Times.count(base) || !reporter.Times.count(ours) || reporter.Times[base] <= 0
            || reporter.CpuTimes[base] <= 0)
            continue;
        std::printf("  %-18s %7.2fx %7.2fx\n", c.Name, reporter.Times[ours] / reporter.Times[base],
                    reporter.CpuTimes[ours] / reporter.CpuTimes[base]);
    }
    benchmark::Shutdown();
    return 0;
}
