// THexDocument: range changes (insert, remove, replace, overwrite as a
// block), their undo and redo, the saved state, and the log's file bytes
// kept through a save.
//
// Every range change is a splice: a list of edits, each taking some bytes
// out at an offset and putting others in, applied in one pass. A document in
// memory splices its block (one edit in place, several into a new block); a
// document over a file splices its table of pieces and never touches the
// file. The log keeps what each part took out and put in, so undo splices
// the old bytes back and redo the new ones.
#include "Hexdocument.h"

#include "Hexdocstate.h"

#include <cstdlib>
#include <cstring>
#include <new>

struct THexDocument::TEdit
{
    qint64 Offset;          // in the document before the splice
    qint64 Remove;
    const THexSpan* Insert; // null: nothing
};

namespace {

// A document in memory gives a block back once it uses less than a quarter
// of it, and only blocks this large.
const qint64 kShrinkFrom = qint64(1) << 20;

qint64 InsertLength(const THexSpan* span)
{
    return span ? span->Length : 0;
}

// Whether a span holds its bytes in the form the document needs.
bool SpanFits(const THexSpan& span, bool memory)
{
    if (memory)
        return span.Bytes.size() == span.Length;
    qint64 total = 0;
    for (const THexPiece& p : span.Pieces)
        total += p.Length;
    return total == span.Length;
}

} // namespace

bool THexDocument::CanChange() const
{
    return !Busy() && !D->ReadOnly;
}

bool THexDocument::Splice(const std::vector<TEdit>& edits, std::vector<THexSpan>* removed)
{
    TState& d = *D;
    const qint64 size = d.Size();
    qint64 newSize = size;
    for (const TEdit& e : edits)
        newSize += InsertLength(e.Insert) - e.Remove;
    if (removed)
        removed->assign(edits.size(), THexSpan());

    if (!d.Source) {
        try {
            for (size_t i = 0; removed && i < edits.size(); ++i) {
                (*removed)[i].Length = edits[i].Remove;
                (*removed)[i].Bytes = QByteArray(reinterpret_cast<const char*>(d.Memory + edits[i].Offset),
                                                 edits[i].Remove);
            }
        } catch (const std::bad_alloc&) {
            return false;
        }
        if (edits.size() == 1) {
            const TEdit& e = edits[0];
            const qint64 insert = InsertLength(e.Insert);
            if (newSize > d.MemoryCapacity) {
                // Typing appends often: grow by half again at least.
                const qint64 capacity = qMax(newSize, d.MemoryCapacity + d.MemoryCapacity / 2);
                auto* grown = static_cast<unsigned char*>(std::realloc(d.Memory, size_t(capacity)));
                if (!grown)
                    return false;
                d.Memory = grown;
                d.MemoryCapacity = capacity;
            }
            unsigned char* at = d.Memory + e.Offset;
            std::memmove(at + insert, at + e.Remove, size_t(size - e.Offset - e.Remove));
            if (insert > 0)
                std::memcpy(at, e.Insert->Bytes.constData(), size_t(insert));
            if (d.MemoryCapacity >= kShrinkFrom && newSize < d.MemoryCapacity / 4) {
                const qint64 capacity = qMax<qint64>(newSize, 1);
                if (auto* shrunk = static_cast<unsigned char*>(std::realloc(d.Memory, size_t(capacity)))) {
                    d.Memory = shrunk;
                    d.MemoryCapacity = capacity;
                }
            }
        } else {
            auto* block = static_cast<unsigned char*>(std::malloc(size_t(qMax<qint64>(newSize, 1))));
            if (!block)
                return false;
            qint64 from = 0;
            unsigned char* to = block;
            for (const TEdit& e : edits) {
                std::memcpy(to, d.Memory + from, size_t(e.Offset - from));
                to += e.Offset - from;
                if (e.Insert && e.Insert->Length > 0) {
                    std::memcpy(to, e.Insert->Bytes.constData(), size_t(e.Insert->Length));
                    to += e.Insert->Length;
                }
                from = e.Offset + e.Remove;
            }
            std::memcpy(to, d.Memory + from, size_t(size - from));
            std::free(d.Memory);
            d.Memory = block;
            d.MemoryCapacity = qMax<qint64>(newSize, 1);
        }
        d.MemorySize = newSize;
    } else {
        std::vector<THexSplice> splices;
        splices.reserve(edits.size());
        for (const TEdit& e : edits)
            splices.push_back(THexSplice{e.Offset, e.Remove, e.Insert ? e.Insert->Pieces : std::vector<THexPiece>()});
        std::vector<std::vector<THexPiece>> out;
        d.Pieces.Splice(splices, removed ? &out : nullptr);
        for (size_t i = 0; removed && i < edits.size(); ++i) {
            (*removed)[i].Length = edits[i].Remove;
            (*removed)[i].Pieces = std::move(out[i]);
        }
    }
    // Offsets of matches found before are no longer where they were.
    ClearMatches();
    return true;
}

bool THexDocument::RecordParts(std::vector<THexPart> parts, int kind)
{
    if (parts.empty())
        return false;
    std::vector<TEdit> edits;
    edits.reserve(parts.size());
    for (const THexPart& p : parts)
        edits.push_back(TEdit{p.Offset, p.Old.Length, &p.New});
    std::vector<THexSpan> removed;
    if (!Splice(edits, &removed))
        return false;
    TChangeEntry entry{kind, 0, parts.front().Offset, 0, 0, 0};
    for (size_t i = 0; i < parts.size(); ++i) {
        parts[i].Old = std::move(removed[i]);
        entry.OldLength += parts[i].Old.Length;
        entry.NewLength += parts[i].New.Length;
    }
    entry.Parts = qint64(parts.size());
    auto data = std::make_shared<TChangeData>();
    data->Parts = std::move(parts);
    entry.Data = std::move(data);
    D->Log.AddEntry(std::move(entry));
    emit ChangeLogUpdated();
    return true;
}

namespace {

// New bytes as a span: copied for a document in memory, appended to the
// added bytes for one over a file.
THexSpan NewSpan(THexPieces& pieces, bool memory, const unsigned char* bytes, qint64 length)
{
    THexSpan span;
    span.Length = length;
    if (memory)
        span.Bytes = QByteArray(reinterpret_cast<const char*>(bytes), length);
    else
        span.Pieces = pieces.AddBytes(bytes, length);
    return span;
}

} // namespace

bool THexDocument::Replace(qint64 offset, qint64 oldLength, const void* bytes, qint64 length, int kind)
{
    TState& d = *D;
    const qint64 size = d.Size();
    const auto* src = static_cast<const unsigned char*>(bytes);
    if (!CanChange() || !TChangeLog::IsRange(kind) || offset < 0 || offset > size || oldLength < 0
        || oldLength > size - offset || length < 0 || (length > 0 && !src) || (oldLength == 0 && length == 0))
        return false;
    try {
        THexSpan span = NewSpan(d.Pieces, !d.Source, src, length);
        // Typing: the newest step, an insert still open, ends here.
        TChangeEntry* top = d.Log.Newest();
        if (kind == TChangeLog::ckInsert && oldLength == 0 && top && top->Kind == TChangeLog::ckInsert
            && !(top->Flags & TChangeLog::cfSealed) && top->Parts == 1 && top->Data
            && top->Offset + top->NewLength == offset) {
            if (!Splice({TEdit{offset, 0, &span}}, nullptr))
                return false;
            THexSpan& into = top->Data->Parts.front().New;
            if (!d.Source) {
                into.Bytes.append(span.Bytes);
            } else {
                for (THexPiece p : span.Pieces) {
                    if (!into.Pieces.empty() && into.Pieces.back().Added
                        && into.Pieces.back().From + into.Pieces.back().Length == p.From) {
                        into.Pieces.back().Length += p.Length;
                    } else {
                        p.Start = into.Length;
                        into.Pieces.push_back(p);
                    }
                }
            }
            into.Length += length;
            top->NewLength += length;
            ++d.Log.Revision;
            emit ChangeLogUpdated();
            return true;
        }
        THexPart part;
        part.Offset = offset;
        part.Old.Length = oldLength;
        part.New = std::move(span);
        std::vector<THexPart> parts;
        parts.push_back(std::move(part));
        return RecordParts(std::move(parts), kind);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool THexDocument::Insert(qint64 offset, const void* bytes, qint64 length, int kind)
{
    return Replace(offset, 0, bytes, length, kind);
}

bool THexDocument::Remove(qint64 offset, qint64 length, int kind)
{
    return Replace(offset, length, nullptr, 0, kind);
}

bool THexDocument::OverwriteBytes(qint64 offset, const QByteArray& bytes, int kind)
{
    const qint64 size = D->Size();
    if (offset < 0 || offset >= size || bytes.isEmpty())
        return false;
    const qint64 n = qMin(qint64(bytes.size()), size - offset);
    return Replace(offset, n, bytes.constData(), n, kind);
}

bool THexDocument::AmendInsert(qint64 offset, const void* bytes, qint64 length)
{
    TState& d = *D;
    TChangeEntry* top = d.Log.Newest();
    if (!CanChange() || !bytes || length <= 0 || !top || top->Kind != TChangeLog::ckInsert
        || (top->Flags & TChangeLog::cfSealed) || top->Parts != 1 || !top->Data || offset < top->Offset
        || offset + length > top->Offset + top->NewLength)
        return false;
    const auto* src = static_cast<const unsigned char*>(bytes);
    std::vector<unsigned char> now(static_cast<size_t>(length));
    Read(offset, now.data(), length);
    if (std::memcmp(now.data(), src, size_t(length)) == 0)
        return true; // nothing changes, nothing to tell
    // Over a file the inserted bytes are added bytes of their own, which
    // the step's span shares: writing them where they are changes both.
    WriteRaw(offset, src, length);
    if (!d.Source)
        std::memcpy(top->Data->Parts.front().New.Bytes.data() + (offset - top->Offset), src, size_t(length));
    ++d.Log.Revision;
    emit ChangeLogUpdated();
    return true;
}

bool THexDocument::ApplyRange(const TChangeEntry& entry, bool redo)
{
    const TChangeData* data = entry.Data.get();
    if (!data || data->Parts.empty())
        return false;
    const bool memory = !D->Source;
    std::vector<TEdit> edits;
    edits.reserve(data->Parts.size());
    qint64 shift = 0;
    for (const THexPart& p : data->Parts) {
        const THexSpan& in = redo ? p.New : p.Old;
        if (!SpanFits(in, memory))
            return false;
        if (redo) {
            edits.push_back(TEdit{p.Offset, p.Old.Length, &p.New});
        } else {
            // Undo works on the document after the change: each part sits
            // where the parts before it moved it.
            edits.push_back(TEdit{p.Offset + shift, p.New.Length, &p.Old});
            shift += p.New.Length - p.Old.Length;
        }
    }
    const TEdit& last = edits.back();
    if (edits.front().Offset < 0 || last.Offset + last.Remove > D->Size())
        return false;
    try {
        return Splice(edits, nullptr);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

QByteArray THexDocument::StepBytes(const TChangeEntry& entry, bool newSide, qint64 max) const
{
    if (!entry.Data || entry.Data->Parts.empty() || max <= 0)
        return QByteArray();
    const THexPart& part = entry.Data->Parts.front();
    const THexSpan& span = newSide ? part.New : part.Old;
    const qint64 n = qMin(max, span.Length);
    if (!span.Bytes.isEmpty() || span.Pieces.empty())
        return span.Bytes.left(n);
    QByteArray bytes(n, Qt::Uninitialized);
    auto* out = reinterpret_cast<unsigned char*>(bytes.data());
    qint64 done = 0;
    for (const THexPiece& p : span.Pieces) {
        if (done >= n)
            break;
        const qint64 take = qMin(p.Length, n - done);
        if (p.Added)
            std::memcpy(out + done, D->Pieces.AddedBytes() + p.From, size_t(take));
        else if (D->Source && !D->Source->ReadDirect(p.From, out + done, take))
            NoteReadFault();
        done += take;
    }
    return bytes;
}

void THexDocument::SetUndoDepth(int depth)
{
    D->Log.SetDepth(depth);
    emit ChangeLogUpdated();
}

int THexDocument::UndoDepth() const
{
    return D->Log.Depth();
}

void THexDocument::MarkSavePoint()
{
    // Sealed, so that a change after it is a step of its own, never merged
    // into the step the saved bytes end with.
    D->Log.Seal();
    D->SavePoint = D->Log.StateId();
}

bool THexDocument::AtSavePoint() const
{
    return D->SavePoint == D->Log.StateId();
}

void THexDocument::KeepLogThroughSave(int* undo, int* redo)
{
    TState& d = *D;
    *undo = d.Log.UndoCount;
    *redo = d.Log.RedoCount;
    if (!d.Source)
        return; // copies of bytes: nothing refers to the file
    qint64 kept = 0;
    // The file bytes an entry's spans take; -1 once over the limit.
    auto keep = [&](TChangeEntry& e) {
        if (!e.Data)
            return true;
        qint64 need = 0;
        for (const THexPart& p : e.Data->Parts)
            for (const THexSpan* s : {&p.Old, &p.New})
                for (const THexPiece& piece : s->Pieces)
                    need += piece.Added ? 0 : piece.Length;
        if (kept + need > KeepAcrossSave)
            return false;
        kept += need;
        std::vector<unsigned char> bytes;
        for (THexPart& p : e.Data->Parts) {
            for (THexSpan* s : {&p.Old, &p.New}) {
                for (THexPiece& piece : s->Pieces) {
                    if (piece.Added)
                        continue;
                    bytes.resize(size_t(piece.Length));
                    if (!d.Source->ReadDirect(piece.From, bytes.data(), piece.Length))
                        NoteReadFault();
                    const std::vector<THexPiece> added = d.Pieces.AddBytes(bytes.data(), piece.Length);
                    piece.From = added.front().From;
                    piece.Added = true;
                }
            }
        }
        return true;
    };
    try {
        for (int i = d.Log.UndoCount - 1; i >= 0; --i) {
            if (!keep(d.Log.UndoEntries[size_t(i)])) {
                *undo = d.Log.UndoCount - 1 - i;
                break;
            }
        }
        for (int i = d.Log.RedoCount - 1; i >= 0; --i) {
            if (!keep(d.Log.RedoEntries[size_t(i)])) {
                *redo = d.Log.RedoCount - 1 - i;
                break;
            }
        }
    } catch (const std::bad_alloc&) {
        *undo = 0;
        *redo = 0;
    }
}
