// The hex editor at any size, each figure against a floor timed in the same
// run. The large files are sparse: they cost no disk, and the kernel reads
// their holes as zeros as it would read data from the page cache.
//
//   Open/Huge, Open/Small       LoadFromFile and the first paint of a 16 GiB
//                               file, and of a 1 KiB file.
//   PaintEnd/Huge, Paint/Small  a paint of the last rows of the 16 GiB file,
//                               and of the 1 KiB buffer.
//   Find/Document, Find/Read    a search of a 4 GiB file (64 MiB of it data)
//                               for bytes at its very end through a
//                               THexDocument, and a plain read() + memmem
//                               loop with the same block size; the file is
//                               read once before, so its pages are cached.
//   Save/OneByte, Save/Cp       saving another such file after one changed
//                               byte, and `cp` of it followed by an fsync of
//                               the copy (a save that survives a crash syncs
//                               what it wrote; cp alone leaves it in memory).
//                               Wall clock: most of the work is the disk's.
//   Idle/Full, Idle/Empty       ten cursor blinks (an idle second) of an
//                               800 x 600 editor showing varied bytes, and
//                               showing an empty buffer.
//   Insert/Huge, Insert/Small   one byte inserted at offset 0 through the
//                               editor and undone, in the 16 GiB file and in
//                               the 1 KiB file.
//   Paste/Insert, Paste/Memcpy  a paste of 1 MiB in insert mode at the start
//                               of the 1 KiB file and a repaint of the
//                               editor, and a memcpy of 1 MiB and the same
//                               repaint (the paste is undone, untimed).
//   Save/Insert                 saving the 4 GiB file after one byte
//                               inserted at its start (every byte after it
//                               moves), against Save/Cp. Wall clock.
//
// Resident memory is measured in child processes of this program: after
// opening and painting each file, and after searching the 4 GiB file.
//
// HEXDOC_BOUNDARY=1 adds Boundary/Memory/<size> and Boundary/Paged/<size>:
// open and first paint of files of several sizes read whole and in pages,
// the measurement behind THexDocument::DefaultMemoryLimit.
#include "Hexcontrol.h"
#include "Hexdocument.h"

#include <QApplication>
#include <QFile>
#include <QMimeData>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const qint64 kHuge = qint64(16) << 30;
const qint64 kBig = qint64(4) << 30;
const QByteArray kNeedle("\x7f" "Tarvolin needle at the end");
QString Small, Huge, Big, Saved, Folder;

bool Fill(int fd, qint64 at, qint64 length, quint32 seed)
{
    QRandomGenerator rng(seed);
    std::vector<quint32> block(size_t(length / 4));
    rng.fillRange(block.data(), block.size());
    return ::pwrite(fd, block.data(), size_t(length), off_t(at)) == length;
}

bool MakeFiles(const QTemporaryDir& dir)
{
    Folder = dir.path();
    Small = dir.filePath("small.bin");
    Huge = dir.filePath("huge.bin");
    Big = dir.filePath("big.bin");
    int fd = ::open(QFile::encodeName(Small).constData(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    bool ok = fd >= 0 && Fill(fd, 0, 1024, 1);
    ::close(fd);
    // 16 GiB: a hole but for the last 64 KiB, which the end of it shows.
    fd = ::open(QFile::encodeName(Huge).constData(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    ok = ok && fd >= 0 && ::ftruncate(fd, kHuge) == 0 && Fill(fd, kHuge - 65536, 65536, 2);
    ::close(fd);
    // 4 GiB: 1 MiB of data every 64 MiB, the needle in the last bytes.
    Saved = dir.filePath("saved.bin");
    for (const QString& path : {Big, Saved}) {
        fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_TRUNC, 0600);
        ok = ok && fd >= 0 && ::ftruncate(fd, kBig) == 0;
        for (qint64 at = 0; ok && at < kBig; at += 64 << 20)
            ok = Fill(fd, at + (63 << 20), 1 << 20, quint32(at >> 20));
        ok = ok && ::pwrite(fd, kNeedle.constData(), size_t(kNeedle.size()), off_t(kBig - kNeedle.size()))
                       == kNeedle.size();
        ::close(fd);
    }
    // The search's file read once, so both searches find its pages cached.
    fd = ::open(QFile::encodeName(Big).constData(), O_RDONLY);
    std::vector<char> block(size_t(1) << 20);
    for (qint64 at = 0; ok && at < kBig; at += qint64(block.size()))
        ok = ::pread(fd, block.data(), block.size(), off_t(at)) > 0;
    ::close(fd);
    return ok;
}

void Render(THexEditor& editor)
{
    QImage image(editor.size(), QImage::Format_RGB32);
    editor.render(&image);
}

void BM_Open(benchmark::State& state, const QString* path)
{
    QScrollBar bar;
    THexEditor editor;
    editor.resize(800, 600);
    editor.SetScrollBar(&bar);
    const QByteArray name = QFile::encodeName(*path);
    for (auto _ : state) {
        if (editor.LoadFromFile(name.constData()) != THexEditor::frOk)
            state.SkipWithError("load failed");
        Render(editor);
    }
}

void BM_Paint(benchmark::State& state, const QString* path)
{
    QScrollBar bar;
    THexEditor editor;
    editor.resize(800, 600);
    editor.SetScrollBar(&bar);
    if (editor.LoadFromFile(QFile::encodeName(*path).constData()) != THexEditor::frOk)
        state.SkipWithError("load failed");
    Render(editor);
    editor.MoveCursor(editor.DataSize() - 1); // the last rows
    Render(editor);
    for (auto _ : state)
        Render(editor);
}

void BM_FindDocument(benchmark::State& state)
{
    THexDocument doc;
    if (doc.Load(Big) != THexDocument::frOk)
        state.SkipWithError("load failed");
    const auto* pattern = reinterpret_cast<const unsigned char*>(kNeedle.constData());
    for (auto _ : state) {
        if (doc.Find(0, pattern, int(kNeedle.size()), false) != kBig - kNeedle.size())
            state.SkipWithError("the search missed the needle");
    }
}

// The least a search of a file can cost: read() in blocks of the size the
// document reads, each overlapping the next by the pattern's length less one.
void BM_FindRead(benchmark::State& state)
{
    const qint64 block = 1 << 20;
    std::vector<char> buffer(size_t(block + kNeedle.size()));
    for (auto _ : state) {
        const int fd = ::open(QFile::encodeName(Big).constData(), O_RDONLY);
        qint64 found = -1, pos = 0;
        const qint64 n = kNeedle.size();
        while (found < 0 && pos + n <= kBig) {
            const qint64 want = qMin(block + n - 1, kBig - pos);
            qint64 got = 0;
            while (got < want) {
                const ssize_t r = ::pread(fd, buffer.data() + got, size_t(want - got), off_t(pos + got));
                if (r <= 0)
                    break;
                got += r;
            }
            const void* hit = memmem(buffer.data(), size_t(got), kNeedle.constData(), size_t(n));
            if (hit)
                found = pos + (static_cast<const char*>(hit) - buffer.data());
            pos += block;
        }
        ::close(fd);
        if (found != kBig - n)
            state.SkipWithError("read + memmem missed the needle");
    }
}

void BM_SaveOneByte(benchmark::State& state)
{
    QRandomGenerator rng(7);
    for (auto _ : state) {
        THexDocument doc;
        if (doc.Load(Saved) != THexDocument::frOk)
            state.SkipWithError("load failed");
        doc.SetByte(qint64(rng.bounded(1 << 30)) * 3, 0x5A);
        if (doc.Save(Saved) != THexDocument::frOk)
            state.SkipWithError("save failed");
    }
}

void BM_SaveCp(benchmark::State& state)
{
    const QString copy = Folder + "/copy.bin";
    for (auto _ : state) {
        if (QProcess::execute("cp", {Saved, copy}) != 0)
            state.SkipWithError("cp failed");
        const int fd = ::open(QFile::encodeName(copy).constData(), O_RDONLY);
        ::fsync(fd);
        ::close(fd);
        state.PauseTiming();
        QFile::remove(copy);
        state.ResumeTiming();
    }
}

void BM_Idle(benchmark::State& state, bool full)
{
    THexEditor editor;
    editor.resize(800, 600);
    editor.SetCursorPanel(0);
    if (full) {
        QByteArray bytes(64 * 1024, 0);
        QRandomGenerator(3).fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
        editor.AllocData(bytes.size());
        editor.Document()->Write(0, bytes.constData(), bytes.size());
    } else {
        editor.AllocData(0);
    }
    editor.show();
    QApplication::processEvents();
    for (auto _ : state) {
        for (int blink = 0; blink < 10; ++blink) {
            editor.AnimateCursor();
            QApplication::processEvents(); // the paint the blink asked for
        }
    }
}

void BM_Insert(benchmark::State& state, const QString* path)
{
    THexEditor editor;
    if (editor.LoadFromFile(QFile::encodeName(*path).constData()) != THexEditor::frOk)
        state.SkipWithError("load failed");
    const QByteArray byte("Z");
    for (auto _ : state) {
        if (!editor.InsertBytes(0, byte))
            state.SkipWithError("insert failed");
        editor.Undo();
    }
}

// The editor both pastes into and repaints.
struct TPasteEditor
{
    THexEditor Editor;
    TPasteEditor()
    {
        Editor.resize(800, 600);
        Editor.LoadFromFile(QFile::encodeName(Small).constData());
        Editor.SetInsertMode(true);
        Editor.SetCursorPanel(0);
        Editor.MoveCursor(0);
        Render(Editor);
    }
};

QByteArray MiB()
{
    QByteArray bytes(1 << 20, 0);
    QRandomGenerator(5).fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
    return bytes;
}

void BM_PasteInsert(benchmark::State& state)
{
    TPasteEditor paste;
    QMimeData data;
    data.setData(QStringLiteral("application/octet-stream"), MiB());
    for (auto _ : state) {
        if (!paste.Editor.PasteData(&data))
            state.SkipWithError("paste failed");
        Render(paste.Editor);
        state.PauseTiming();
        paste.Editor.Undo();
        paste.Editor.MoveCursor(0);
        state.ResumeTiming();
    }
}

void BM_PasteMemcpy(benchmark::State& state)
{
    TPasteEditor paste;
    const QByteArray from = MiB();
    std::vector<char> to(size_t(from.size()));
    for (auto _ : state) {
        std::memcpy(to.data(), from.constData(), to.size());
        benchmark::ClobberMemory();
        Render(paste.Editor);
    }
}

void BM_SaveInsert(benchmark::State& state)
{
    for (auto _ : state) {
        THexDocument doc;
        if (doc.Load(Saved) != THexDocument::frOk)
            state.SkipWithError("load failed");
        doc.Insert(0, "Z", 1);
        if (doc.Save(Saved) != THexDocument::frOk)
            state.SkipWithError("save failed");
    }
}

void BM_Boundary(benchmark::State& state, bool memory)
{
    const qint64 size = state.range(0);
    const QString path = Folder + QStringLiteral("/boundary-%1.bin").arg(size);
    if (!QFile::exists(path)) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_TRUNC, 0600);
        Fill(fd, 0, size, 9);
        ::close(fd);
    }
    THexEditor editor;
    editor.resize(800, 600);
    editor.Document()->SetMemoryLimit(memory ? size : 0);
    const QByteArray name = QFile::encodeName(path);
    for (auto _ : state) {
        editor.LoadFromFile(name.constData());
        Render(editor);
    }
}

long ResidentKiB()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

// Child: opens and paints (or searches) a file, then prints its resident
// memory in KiB.
int ResidentAfter(const QString& what, const QString& path)
{
    THexEditor editor;
    editor.resize(800, 600);
    if (editor.LoadFromFile(QFile::encodeName(path).constData()) != THexEditor::frOk)
        return 1;
    Render(editor);
    if (what == "--rss-find") {
        const auto* pattern = reinterpret_cast<const unsigned char*>(kNeedle.constData());
        if (editor.Document()->Find(0, pattern, int(kNeedle.size()), false) < 0)
            return 1;
    }
    std::printf("%ld\n", ResidentKiB());
    return 0;
}

long ChildResident(const QString& what, const QString& path)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {what, path});
    child.waitForFinished(120000);
    return child.exitCode() == 0 ? child.readAllStandardOutput().trimmed().toLong() : -1;
}

bool CanShareBlocks()
{
    const QByteArray a = QFile::encodeName(Folder + "/clone-a"), b = QFile::encodeName(Folder + "/clone-b");
    const int fa = ::open(a.constData(), O_RDWR | O_CREAT, 0600);
    const int fb = ::open(b.constData(), O_RDWR | O_CREAT, 0600);
    bool shared = false;
#ifdef FICLONE
    shared = fa >= 0 && fb >= 0 && ::write(fa, "x", 1) == 1 && ::ioctl(fb, FICLONE, fa) == 0;
#endif
    ::close(fa);
    ::close(fb);
    ::unlink(a.constData());
    ::unlink(b.constData());
    return shared;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc == 3 && std::strncmp(argv[1], "--rss", 5) == 0)
        return ResidentAfter(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));

    QTemporaryDir dir;
    if (!dir.isValid() || !MakeFiles(dir)) {
        std::fprintf(stderr, "cannot create the sparse test files in %s\n", qPrintable(dir.path()));
        return 1;
    }
    benchmark::RegisterBenchmark("Open/Huge", BM_Open, &Huge)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("Open/Small", BM_Open, &Small)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("PaintEnd/Huge", BM_Paint, &Huge)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("Paint/Small", BM_Paint, &Small)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("Find/Document", BM_FindDocument)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Find/Read", BM_FindRead)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Save/OneByte", BM_SaveOneByte)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
    benchmark::RegisterBenchmark("Save/Cp", BM_SaveCp)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
    benchmark::RegisterBenchmark("Idle/Full", BM_Idle, true)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("Idle/Empty", BM_Idle, false)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("Insert/Huge", BM_Insert, &Huge)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("Insert/Small", BM_Insert, &Small)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("Paste/Insert", BM_PasteInsert)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("Paste/Memcpy", BM_PasteMemcpy)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("Save/Insert", BM_SaveInsert)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
    if (qEnvironmentVariableIntValue("HEXDOC_BOUNDARY") == 1) {
        for (bool memory : {true, false})
            benchmark::RegisterBenchmark(memory ? "Boundary/Memory" : "Boundary/Paged", BM_Boundary, memory)
                ->RangeMultiplier(4)->Range(64 << 10, 16 << 20)->Unit(benchmark::kMicrosecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const long small = ChildResident("--rss", Small);
    const long huge = ChildResident("--rss", Huge);
    const long find = ChildResident("--rss-find", Big);
    std::printf("figure resident_open_huge_over_small_kib %ld (%ld KiB / %ld KiB)\n", huge - small, huge, small);
    std::printf("figure resident_find_over_small_kib %ld (%ld KiB / %ld KiB)\n", find - small, find, small);
    std::printf("figure blocks_shared %s\n", CanShareBlocks() ? "yes" : "no");
    return 0;
}
