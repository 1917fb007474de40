// THexDocument: the contents (a block in memory, or a file read in pages
// with the pieces of the changes over it), loading, reading and writing
// bytes, byte and group changes with their undo and redo, and the driver of
// long work. Range changes are in Hexedits.cpp, searching in Hexmatch.cpp,
// saving in Hexsave.cpp.
#include "Hexdocument.h"

#include "Hexdocstate.h"
#include "Hexscan.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// Bytes per step of long work; a slice of long work runs steps for about
// this long.
const qint64 kStepBytes = 16 << 20;
const qint64 kSliceMs = 20;
// A run of file bytes this many pages long is read straight from the file,
// past the cache, so one long read does not push out what is shown.
const qint64 kDirectPages = 4;
// A file read whole is read in blocks of this size; when reading it takes
// longer than kSlowLoadMs, the rest is left to be read in pages.
const qint64 kLoadBlock = qint64(256) * 1024;
const qint64 kSlowLoadMs = 500;

unsigned char* NewBlock(qint64 size, const void* bytes)
{
    // calloc leaves untouched pages unallocated: a large empty block costs
    // nothing until it is written.
    auto* block = static_cast<unsigned char*>(bytes ? std::malloc(size_t(qMax<qint64>(size, 1)))
                                                    : std::calloc(size_t(qMax<qint64>(size, 1)), 1));
    if (block && bytes && size > 0)
        std::memcpy(block, bytes, size_t(size));
    return block;
}

} // namespace

THexDocument::THexDocument(QObject* parent, qint64 pageSize)
    : QObject(parent), D(new TState)
{
    D->PageSize = qMax<qint64>(pageSize, 1);
    D->Memory = NewBlock(0, nullptr);
    D->MemoryCapacity = 1;
    D->Timer = new QTimer(this);
    D->Timer->setSingleShot(true);
    connect(D->Timer, &QTimer::timeout, this, &THexDocument::RunSlice);
}

THexDocument::~THexDocument()
{
    if (D->Save)
        AbortSave();
}

// ---------------------------------------------------------------------------
// Settings and reading

void THexDocument::SetPaging(qint64 pageSize, qint64 cacheSize)
{
    D->PageSize = qMax<qint64>(pageSize, 1);
    D->CacheSize = qMax<qint64>(cacheSize, 0);
}

qint64 THexDocument::PageSize() const
{
    return D->PageSize;
}

void THexDocument::SetMemoryLimit(qint64 bytes)
{
    D->MemoryLimit = bytes;
}

qint64 THexDocument::MemoryLimit() const
{
    return D->MemoryLimit;
}

qint64 THexDocument::Size() const
{
    return D->Size();
}

bool THexDocument::InMemory() const
{
    return !D->Source;
}

bool THexDocument::ReadOnly() const
{
    return D->ReadOnly;
}

QString THexDocument::FilePath() const
{
    return D->Path;
}

QString THexDocument::ErrorText() const
{
    return D->Error;
}

const unsigned char* THexDocument::Data() const
{
    return D->Source ? nullptr : D->Memory;
}

const TChangeLog& THexDocument::ChangeLog() const
{
    return D->Log;
}

bool THexDocument::Busy() const
{
    return D->Job != TState::jNone;
}

unsigned char THexDocument::GetByte(qint64 offset) const
{
    if (offset < 0 || offset >= D->Size())
        return 0;
    if (!D->Source)
        return D->Memory[offset];
    unsigned char byte = 0;
    ReadRange(offset, &byte, 1, false);
    return byte;
}

qint64 THexDocument::Read(qint64 offset, void* out, qint64 length) const
{
    const qint64 size = D->Size();
    if (offset < 0 || offset >= size || length <= 0)
        return 0;
    length = qMin(length, size - offset);
    ReadRange(offset, static_cast<unsigned char*>(out), length, false);
    return length;
}

qint64 THexDocument::ReadRange(qint64 offset, unsigned char* out, qint64 length, bool direct) const
{
    TState& d = *D;
    if (!d.Source) {
        std::memcpy(out, d.Memory + offset, size_t(length));
        return length;
    }
    const auto& pieces = d.Pieces.Pieces();
    const unsigned char* added = d.Pieces.AddedBytes();
    const qint64 directFrom = kDirectPages * d.Source->PageSize();
    size_t k = d.Pieces.IndexAt(offset);
    qint64 pos = offset;
    const qint64 end = offset + length;
    while (pos < end && k < pieces.size()) {
        const THexPiece& piece = pieces[k];
        const qint64 within = pos - piece.Start;
        const qint64 n = qMin(piece.Length - within, end - pos);
        unsigned char* to = out + (pos - offset);
        if (piece.Added) {
            std::memcpy(to, added + piece.From + within, size_t(n));
        } else {
            const bool whole = (direct || n >= directFrom) ? d.Source->ReadDirect(piece.From + within, to, n)
                                                           : d.Source->Read(piece.From + within, to, n);
            if (!whole)
                NoteReadFault();
        }
        pos += n;
        ++k;
    }
    return length;
}

void THexDocument::NoteReadFault() const
{
    D->ReadFault = true;
    // Reads happen while a host paints; it hears of the fault from the event
    // loop, where it may ask the user.
    if (!D->FaultQueued) {
        D->FaultQueued = true;
        auto* self = const_cast<THexDocument*>(this);
        QMetaObject::invokeMethod(self, [self] {
            self->D->FaultQueued = false;
            self->CheckSource();
        }, Qt::QueuedConnection);
    }
}

// ---------------------------------------------------------------------------
// Replacing the contents

bool THexDocument::SetMemory(qint64 size, const void* bytes)
{
    if (size < 0)
        return false;
    unsigned char* block = NewBlock(size, bytes);
    if (!block)
        return false;
    Cancel();
    TState& d = *D;
    std::free(d.Memory);
    d.Memory = block;
    d.MemorySize = size;
    d.MemoryCapacity = qMax<qint64>(size, 1);
    d.Source.reset();
    d.Pieces.Reset(0);
    d.ReadOnly = false;
    d.Path.clear();
    d.Stamp = THexFileStamp();
    d.Reported = 0;
    d.ReadFault = false;
    ClearMatches();
    // Range changes hold bytes of the contents just replaced; the byte and
    // group changes of the log stay, as they always did.
    if (d.LogHoldsRanges()) {
        d.Log.Clear();
        emit ChangeLogUpdated();
    }
    d.SavePoint = ~0ull; // new bytes, saved nowhere
    return true;
}

int THexDocument::Load(const QString& path)
{
    Cancel();
    TState& d = *D;
    THexOpened opened = HexOpenForReading(path);
    if (opened.Fd < 0) {
        d.Error = opened.Error;
        return frCannotOpen;
    }
    int result = frOk;
    bool whole = !opened.BlockDevice && opened.Size <= d.MemoryLimit;
    unsigned char* block = whole ? NewBlock(opened.Size, nullptr) : nullptr;
    if (whole && !block) {
        ::close(opened.Fd);
        d.Error = QStringLiteral("There is not enough memory to read it.");
        return frCannotOpen;
    }
    if (whole) {
        qint64 done = 0;
        QElapsedTimer clock;
        clock.start();
        {
            QFile file;
            if (file.open(opened.Fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle)) {
                while (done < opened.Size) {
                    const qint64 n = ReadBlock(file, reinterpret_cast<char*>(block) + done,
                                               qMin(kLoadBlock, opened.Size - done));
                    if (n <= 0)
                        break;
                    done += n;
                    // A disk this slow would keep the host waiting: the rest
                    // is read as it is shown instead.
                    if (done < opened.Size && clock.elapsed() > kSlowLoadMs) {
                        whole = false;
                        break;
                    }
                }
            }
        }
        if (whole) {
            ::close(opened.Fd);
            // calloc'd: the tail that was not read stays zero.
            std::free(d.Memory);
            d.Memory = block;
            d.MemorySize = opened.Size;
            d.MemoryCapacity = qMax<qint64>(opened.Size, 1);
            d.Source.reset();
            d.Pieces.Reset(0);
            if (done < opened.Size)
                result = frReadShort;
        } else {
            std::free(block);
        }
    }
    if (!whole) {
        std::free(d.Memory);
        d.Memory = nullptr;
        d.MemorySize = 0;
        d.MemoryCapacity = 0;
        d.Source.reset(new THexFileSource(opened.Fd, opened.Size, d.PageSize, d.CacheSize));
        d.Pieces.Reset(opened.Size);
    }
    d.ReadOnly = opened.BlockDevice;
    // A file read only in part is not the file: it is not bound to it.
    d.Path = result == frOk ? path : QString();
    d.Stamp = result == frOk ? opened.Stamp : THexFileStamp();
    d.Reported = 0;
    d.ReadFault = false;
    d.Error = result == frOk ? QString() : QStringLiteral("The file ended before all of it was read.");
    ClearMatches();
    d.Log.Clear();
    MarkSavePoint();
    emit ChangeLogUpdated();
    return result;
}

// ---------------------------------------------------------------------------
// Changing bytes and the change log

void THexDocument::WriteRaw(qint64 offset, const unsigned char* bytes, qint64 length)
{
    ClearMatches();
    if (!D->Source)
        std::memcpy(D->Memory + offset, bytes, size_t(length));
    else
        D->Pieces.Overwrite(offset, bytes, length);
}

bool THexDocument::Write(qint64 offset, const void* bytes, qint64 length)
{
    const auto* src = static_cast<const unsigned char*>(bytes);
    if (Busy() || D->ReadOnly || !src || length <= 0)
        return false;
    if (offset < 0) {
        if (length <= -offset)
            return false;
        src += -offset;
        length += offset;
        offset = 0;
    }
    const qint64 size = D->Size();
    if (offset >= size)
        return false;
    WriteRaw(offset, src, qMin(length, size - offset));
    return true;
}

void THexDocument::SetByte(qint64 offset, unsigned char value)
{
    if (Busy() || D->ReadOnly || offset < 0 || offset >= D->Size())
        return;
    D->Log.AddChange(TChangeLog::ckByte, offset, GetByte(offset), value);
    emit ChangeLogUpdated();
    WriteRaw(offset, &value, 1);
}

unsigned THexDocument::GetWord(qint64 start, int length) const
{
    unsigned value = 0;
    for (int i = 0; i < length; ++i)
        value = (value << 8) | GetByte(start + i);
    return value;
}

void THexDocument::SetWord(qint64 start, int length, unsigned value)
{
    if (Busy() || D->ReadOnly || length < 1 || start < 0 || start >= D->Size())
        return; // no byte of the group exists: nothing to write or record
    D->Log.AddChange(TChangeLog::ckWord, start, GetWord(start, length), value, length);
    emit ChangeLogUpdated();
    ApplyEntry(TChangeEntry{TChangeLog::ckWord, 0, start, 0, value, length}, true);
}

void THexDocument::ApplyEntry(const TChangeEntry& entry, bool redo)
{
    unsigned value = redo ? entry.NewValue : entry.OldValue;
    const qint64 size = D->Size();
    if (entry.Kind == TChangeLog::ckByte) {
        const auto byte = static_cast<unsigned char>(value & 0xFF);
        if (entry.Offset >= 0 && entry.Offset < size)
            WriteRaw(entry.Offset, &byte, 1);
    } else if (entry.Kind == TChangeLog::ckWord) {
        // The last byte of the group takes the least significant bits.
        for (int n = entry.Size - 1; n >= 0; --n, value >>= 8) {
            const qint64 at = entry.Offset + n;
            const auto byte = static_cast<unsigned char>(value & 0xFF);
            if (at >= 0 && at < size)
                WriteRaw(at, &byte, 1);
        }
    }
}

void THexDocument::Seal()
{
    D->Log.Seal();
}

void THexDocument::ClearLog()
{
    D->Log.Clear();
    emit ChangeLogUpdated();
}

bool THexDocument::Undo(TChangeEntry* applied)
{
    const TChangeEntry* next = D->Log.Newest();
    if (Busy() || !next)
        return false;
    // A range change is applied before it moves between the stacks: when
    // memory runs out, nothing has changed.
    const bool range = TChangeLog::IsRange(next->Kind);
    if (range && !ApplyRange(*next, false))
        return false;
    TChangeEntry entry;
    D->Log.TakeUndo(entry);
    if (!range)
        ApplyEntry(entry, false);
    D->Log.Seal();
    if (applied)
        *applied = entry;
    emit ChangeLogUpdated();
    return true;
}

bool THexDocument::Redo(TChangeEntry* applied)
{
    TChangeLog& log = D->Log;
    if (Busy() || log.RedoCount <= 0 || log.RedoEntries.empty())
        return false;
    const bool range = TChangeLog::IsRange(log.RedoEntries.back().Kind);
    if (range && !ApplyRange(log.RedoEntries.back(), true))
        return false;
    TChangeEntry entry;
    log.TakeRedo(entry);
    if (!range)
        ApplyEntry(entry, true);
    D->Log.Seal();
    if (applied)
        *applied = entry;
    emit ChangeLogUpdated();
    return true;
}

// ---------------------------------------------------------------------------
// Long work

void THexDocument::RunSlice()
{
    TState& d = *D;
    QElapsedTimer clock;
    clock.start();
    if (d.Job == TState::jFind && d.FindBackward) {
        const auto* pattern = reinterpret_cast<const unsigned char*>(d.FindPattern.constData());
        const int n = int(d.FindPattern.size());
        qint64 found = -1;
        while (found < 0 && d.FindPos >= 0 && clock.elapsed() < kSliceMs) {
            const qint64 stepFirst = qMax<qint64>(0, d.FindPos - kStepBytes + 1);
            found = ScanBackward(stepFirst, d.FindPos, pattern, n, d.FindFold);
            d.FindLast = found >= 0 ? found : stepFirst;
            d.FindPos = stepFirst - 1;
        }
        if (found >= 0 || d.FindPos < 0) {
            EndWork();
            emit FindFinished(found, d.FindLast);
            return;
        }
        emit Progress(d.FindStart - d.FindPos, d.FindStart + 1);
        if (d.Job == TState::jFind)
            d.Timer->start(0);
    } else if (d.Job == TState::jFind) {
        const auto* pattern = reinterpret_cast<const unsigned char*>(d.FindPattern.constData());
        const int n = int(d.FindPattern.size());
        const qint64 lastFit = d.Size() - n;
        qint64 found = -1;
        while (found < 0 && d.FindPos <= lastFit && clock.elapsed() < kSliceMs) {
            const qint64 stepLast = qMin(lastFit, d.FindPos + kStepBytes - 1);
            found = Scan(d.FindPos, stepLast, pattern, n, d.FindFold, &d.FindLast);
            d.FindPos = d.FindLast + 1;
        }
        if (found >= 0 || d.FindPos > lastFit) {
            EndWork();
            emit FindFinished(found, d.FindLast);
            return;
        }
        emit Progress(d.FindPos - d.FindStart, lastFit + 1 - d.FindStart);
        if (d.Job == TState::jFind) // not cancelled from a Progress slot
            d.Timer->start(0);
    } else if (d.Job == TState::jSave) {
        bool finished = false;
        while (!finished && clock.elapsed() < kSliceMs)
            finished = SaveStep(kStepBytes);
        if (finished) {
            int result = D->Save->Failure;
            if (result != frOk)
                AbortSave();
            else
                result = FinishSave();
            EndWork();
            emit SaveFinished(result);
            return;
        }
        emit Progress(d.Save->Done, d.Save->Total);
        if (d.Job == TState::jSave)
            d.Timer->start(0);
    } else if (d.Job == TState::jFindAll) {
        const qint64 lastFit = d.Size() - d.FindPattern.size();
        auto finished = [&] { return d.FindPos > lastFit || (d.Replacing && d.FoundCount > MaxMatches); };
        while (!finished() && clock.elapsed() < kSliceMs)
            FindAllStep(kStepBytes);
        if (finished()) {
            EndWork();
            const bool replacing = d.Replacing;
            const qint64 count = FinishFindAll();
            if (replacing)
                emit ReplaceFinished(count);
            else
                emit FindAllFinished(count);
            return;
        }
        emit Progress(d.FindPos - d.FindStart, lastFit + 1 - d.FindStart);
        if (d.Job == TState::jFindAll)
            d.Timer->start(0);
    }
}

void THexDocument::EndWork()
{
    D->Job = TState::jNone;
    D->Timer->stop();
}

void THexDocument::Cancel()
{
    const int job = D->Job;
    if (job == TState::jNone)
        return;
    if (job == TState::jSave)
        AbortSave();
    EndWork();
    if (job == TState::jFind) {
        emit FindFinished(FindCancelled, D->FindLast);
    } else if (job == TState::jFindAll) {
        // Find all keeps what it found; replace all replaces nothing.
        const bool replacing = D->Replacing;
        if (!replacing)
            FinishFindAll();
        D->Found.clear();
        D->Replacing = false;
        if (replacing)
            emit ReplaceFinished(FindCancelled);
        else
            emit FindAllFinished(FindCancelled);
    } else {
        emit SaveFinished(frCancelled);
    }
}

// ---------------------------------------------------------------------------
// The file on disk

int THexDocument::CheckSource()
{
    TState& d = *D;
    if (d.Path.isEmpty() || !d.Stamp.Valid)
        return 0;
    int changes = 0;
    const THexFileStamp now = HexStampOfPath(d.Path);
    if (!now.SameFile(d.Stamp)) {
        changes |= scReplaced;
    } else if (now.Size != d.Stamp.Size || now.ModifiedNs != d.Stamp.ModifiedNs) {
        changes |= scModified;
        if (now.Size < d.Stamp.Size)
            changes |= scShortened;
    }
    // The file read from may be another than the one the path names now.
    if (d.Source) {
        const qint64 now = HexFileSize(d.Source->Fd());
        if (now >= 0 && now < d.Source->Size())
            changes |= scShortened;
    }
    if (d.ReadFault)
        changes |= scShortened;
    if (changes & ~d.Reported) {
        d.Reported |= changes;
        emit SourceChanged(d.Reported);
    }
    return changes;
}

qint64 THexDocument::ReadBlock(QIODevice& file, char* data, qint64 size)
{
    return file.read(data, size);
}

qint64 THexDocument::WriteBlock(QIODevice& file, const char* data, qint64 size)
{
    return file.write(data, size);
}
