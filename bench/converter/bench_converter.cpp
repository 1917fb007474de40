// One keystroke in the converter window against the floor it cannot go below.
//
//   Typing    the typed field's own text change, with its notification muted:
//             what every keystroke costs before the window does anything.
//   Refresh   the same text change followed by the window's whole refresh
//             (parse, format, four field writes, swatch).
//   Bare      the same text change followed by only the four setText calls
//             the refresh must make, with the texts prepared in advance.
//
// The ratio printed at the end (CPU time) is Refresh / Bare, and the same with the
// shared typing cost taken out of both sides.
#include "Fmorvic.h"

#include <QApplication>
#include <QLineEdit>
#include <QSignalBlocker>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

#include <unistd.h>

namespace {

TFormMorvic* Form = nullptr;

// Two values whose every field text differs, so each iteration really changes
// every field.
const QString Typed[2] = {QStringLiteral("deadbeef"), QStringLiteral("12345678")};

QLineEdit* Field(const char* name)
{
    return Form->findChild<QLineEdit*>(name);
}

void TypeMuted(QLineEdit* field, const QString& text)
{
    const QSignalBlocker block(field);
    field->setText(text);
}

void BM_Typing(benchmark::State& state)
{
    QLineEdit* hex = Field("EditInspectHex");
    int i = 0;
    for (auto _ : state) {
        i ^= 1;
        TypeMuted(hex, Typed[i]);
    }
}

void BM_Refresh(benchmark::State& state)
{
    QLineEdit* hex = Field("EditInspectHex");
    int i = 0;
    for (auto _ : state) {
        i ^= 1;
        TypeMuted(hex, Typed[i]);
        Form->InspectorChange(hex);
    }
}

void BM_Bare(benchmark::State& state)
{
    QLineEdit* hex = Field("EditInspectHex");
    QLineEdit* others[4] = {Field("EditInspectDecimal"), Field("EditInspectBinary"),
        Field("EditInspectOctal"), Field("EditInspectAscii")};
    const QString texts[2][4] = {
        {"3735928559", "11011110101011011011111011101111", "33653337357", QString::fromLatin1("\xDE\xAD\xBE\xEF")},
        {"305419896", "00010010001101000101011001111000", "2215053170", "\x12\x34Vx"},
    };
    int i = 0;
    for (auto _ : state) {
        i ^= 1;
        TypeMuted(hex, Typed[i]);
        for (int f = 0; f < 4; ++f) {
            const QSignalBlocker block(others[f]);
            others[f]->setText(texts[i][f]);
        }
    }
}

BENCHMARK(BM_Typing);
BENCHMARK(BM_Refresh);
BENCHMARK(BM_Bare);

// Keeps the CPU time per iteration of every benchmark so main can print
// ratios; with repetitions the median wins. CPU time, because the wall clock
// of a shared machine says more about the neighbours than about this code.
class TRatioReporter : public benchmark::ConsoleReporter
{
public:
    // Colour codes only on a terminal, so piped output stays readable.
    TRatioReporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_Color : OO_None) {}

    std::map<std::string, double> FTimes;

    void ReportRuns(const std::vector<Run>& runs) override
    {
        // A benchmark's aggregates come after its single runs, so its median
        // overwrites them.
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Aggregate || run.aggregate_name == "median")
                FTimes[run.run_name.function_name] = run.GetAdjustedCPUTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TFormMorvic form;
    form.show();
    QApplication::processEvents();
    Form = &form;

    benchmark::Initialize(&argc, argv);
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double typing = reporter.FTimes["BM_Typing"];
    const double refresh = reporter.FTimes["BM_Refresh"];
    const double bare = reporter.FTimes["BM_Bare"];
    if (bare > 0 && bare > typing) {
        std::printf("refresh / bare setText:                    %.2fx\n", refresh / bare);
        std::printf("refresh / bare setText, typing cost taken out: %.2fx\n",
            (refresh - typing) / (bare - typing));
    }
    return 0;
}
