#pragma once
// THexDocument: the bytes a hex editor shows and edits, with no widget. It
// owns the bytes, the changes made to them, the change log (undo and redo)
// and the search, and loads and saves files of any size. THexEditor paints
// one and takes the user's input over it (Document()); a program may also
// use one on its own, for instance to read or patch a file without a window.
//
// Where the bytes live
//   A small file (up to MemoryLimit(), 4 MiB) is read whole into
//   memory, and so are the blocks a program makes with SetMemory: Data()
//   then points at the bytes. (A disk so slow that reading it whole takes
//   more than half a second has the rest read in pages, as below.) A larger file, or a block device, is not read
//   when it is loaded: bytes are read as they are shown or asked for, in
//   pages (64 KiB) through a cache of a few MiB that lets the least recently
//   used page go. Data() is null for such a document; read with Read() or
//   GetByte(). Opening a 16 GiB disk image costs the same as opening a 1 KiB
//   file, and memory stays bounded by the cache plus the changes.
//
// Changes
//   Written bytes are kept beside the file, never copied into it until a
//   save: memory grows with what was written, not with the file. Recorded
//   changes (SetByte, SetWord, and the range changes Insert, Remove,
//   Replace, OverwriteBytes, ReplaceAll) go into the change log; Undo and
//   Redo take them back and apply them again, each range change as one
//   step; Write changes bytes without a record. Inserting or deleting in a
//   file read in pages costs the same anywhere in it, at any size: only the
//   table of pieces over the file changes. A document held in memory
//   inserts and deletes in its block.
//
//   The log remembers the state last saved or loaded (AtSavePoint), so a
//   host can tell when undo has led back to the bytes on disk. Undo reaches
//   back across a save: the saved file replaces the one read from, so the
//   old bytes that deleted ranges held are kept in memory, up to
//   KeepAcrossSave; older steps that need more are given up at the save.
//
// Saving
//   Save writes a new file beside the target and renames it over the
//   target, so the file on disk is always either the old one or the new
//   one; its data are synced to the disk before the rename. Where the file
//   system shares blocks between files (btrfs, XFS with reflink), the file
//   is cloned and only the changed bytes are written, so saving one byte of
//   a huge file takes milliseconds; elsewhere the unchanged bytes are copied
//   by the kernel, skipping holes. Only when the folder takes no new files
//   (a writable file in a read-only folder: EACCES, EROFS, EPERM) is the
//   file written in place, keeping the bytes it overwrites to put them back
//   should the write fail, and synced. After a save the document reads from
//   the saved file.
//
// The file changing under the document
//   Another program may write, shorten or replace the file. Nothing crashes
//   (the file is never mapped); bytes the file no longer holds read as 0;
//   SourceChanged tells the program, and CheckSource() looks at once (call
//   it before a save to warn the user). A save never writes a byte that was
//   neither in the file nor written through the document: when bytes it
//   needs can no longer be read, it fails with frSourceLost and leaves the
//   target alone.
//
// Long work
//   Find and Save are synchronous. StartFind and StartSave do the same work
//   in slices of about 20 ms from the event loop of the document's thread,
//   reporting Progress and ending with FindFinished or SaveFinished; Cancel
//   stops them. While one runs the document is Busy: writes, undo and redo
//   are refused, so what is saved or searched cannot change under the work.
//
// Offsets and sizes are 64-bit. A document is used from one thread.
#include <QObject>
#include <QString>

#include <memory>
#include <vector>

#include "Changelog.h"

class QIODevice;
struct THexPart;
struct THexSpan;

class THexDocument : public QObject
{
    Q_OBJECT
public:
    // Results of Load and Save.
    enum {
        frOk = 0,
        frReadShort = 1,   // Load: the file ended early; the rest reads as 0
        frWriteShort = 2,  // Save: a write failed; the target is as it was
        frCannotOpen = 3,  // not found, refused (see ErrorText), no room
        frSourceLost = 4,  // Save: the file no longer holds bytes to save
        frCancelled = 5,   // Save: Cancel was called
        frBusy = 6         // long work is running
    };
    // What CheckSource found, as bits.
    enum { scModified = 1, scReplaced = 2, scShortened = 4 };
    // FindFinished's offset when nothing was found, or the search was
    // cancelled; ReplaceFinished's count when there were more matches than
    // a replace-all takes.
    enum { NotFound = -1, FindCancelled = -2, TooManyMatches = -3 };
    // Matches FindAll keeps (and ReplaceAll replaces) at most.
    static constexpr qint64 MaxMatches = qint64(1) << 22;
    // Old file bytes the log keeps through a save, at most.
    static constexpr qint64 KeepAcrossSave = qint64(64) << 20;

    static constexpr qint64 DefaultPageSize = qint64(64) * 1024;
    static constexpr qint64 DefaultCacheSize = qint64(4) * 1024 * 1024;
    // Reading a 4 MiB file whole adds about 5 % to its opening and first
    // paint, a 16 MiB one about 40 % (bench/hexdoc, HEXDOC_BOUNDARY=1).
    static constexpr qint64 DefaultMemoryLimit = qint64(4) * 1024 * 1024;

    // pageSize: bytes read at a time from a file not held in memory.
    explicit THexDocument(QObject* parent = nullptr, qint64 pageSize = DefaultPageSize);
    ~THexDocument() override;

    // ---- how files are read (from the next Load on) --------------------
    void SetPaging(qint64 pageSize, qint64 cacheSize);
    qint64 PageSize() const;
    // Files up to this size are read whole into memory (0: none).
    void SetMemoryLimit(qint64 bytes);
    qint64 MemoryLimit() const;

    // ---- the bytes -------------------------------------------------------
    qint64 Size() const;
    // The byte at `offset`, or 0 outside the document.
    unsigned char GetByte(qint64 offset) const;
    // Copies the bytes from `offset` on into `out`, at most `length`; returns
    // how many (fewer at the end, 0 outside).
    qint64 Read(qint64 offset, void* out, qint64 length) const;
    // The bytes as one block, for a document held in memory; null otherwise.
    // Valid until the contents are replaced (SetMemory, Load, a save that
    // moves the document onto a file).
    const unsigned char* Data() const;
    bool InMemory() const;
    // A block device: nothing can be written.
    bool ReadOnly() const;
    // The file the bytes come from (empty for a block made in memory).
    QString FilePath() const;
    // Why the last Load or Save failed, in words for the user.
    QString ErrorText() const;

    // ---- replacing the contents -----------------------------------------
    // A block of `size` bytes in memory, a copy of `bytes` or zeros; the
    // change log is kept. False (nothing changed) when memory runs out.
    bool SetMemory(qint64 size, const void* bytes = nullptr);
    // Opens the file (see above); on success the change log is emptied. On
    // failure the contents stay as they were.
    int Load(const QString& path);

    // ---- changing the bytes ----------------------------------------------
    // Overwrites bytes from `offset`, without a record; bytes outside the
    // document are left out. False when nothing could be written (read-only,
    // busy).
    bool Write(qint64 offset, const void* bytes, qint64 length);
    // Records the change in the log (merging with the newest entry as the
    // log does), raises ChangeLogUpdated, then writes the byte. Offsets
    // outside the document change nothing.
    void SetByte(qint64 offset, unsigned char value);
    // A group of `length` bytes from `start`, most significant first; bytes
    // past the end count as 0 and only the last four fit the value.
    unsigned GetWord(qint64 start, int length) const;
    // Records one entry for the group, then writes the bytes of it that exist.
    void SetWord(qint64 start, int length, unsigned value);
    const TChangeLog& ChangeLog() const;
    // Seals the newest entry: the next change starts a new one.
    void Seal();
    void ClearLog();
    // Takes back (re-applies) the newest change and seals; false when there
    // is none. `applied` receives the entry.
    bool Undo(TChangeEntry* applied = nullptr);
    bool Redo(TChangeEntry* applied = nullptr);

    // ---- inserting, deleting, replacing -----------------------------------
    // Each records one step of the given kind (TChangeLog::ck*). False, with
    // nothing changed, for a range outside the document, a change of no
    // bytes, while busy or read-only, or when memory runs out. `offset` may
    // be Size(): bytes inserted there are appended.
    //
    // Puts `length` bytes in at `offset`. A ckInsert that starts where the
    // bytes of the newest step, an unsealed ckInsert, end extends that step
    // (typing), until Seal.
    bool Insert(qint64 offset, const void* bytes, qint64 length, int kind = TChangeLog::ckInsert);
    bool Remove(qint64 offset, qint64 length, int kind = TChangeLog::ckDelete);
    // The `oldLength` bytes at `offset` replaced by `length` bytes.
    bool Replace(qint64 offset, qint64 oldLength, const void* bytes, qint64 length,
                 int kind = TChangeLog::ckReplace);
    // Writes `bytes` over the bytes from `offset`, never past the end (what
    // does not fit is left out): one step; false when no byte is written.
    bool OverwriteBytes(qint64 offset, const QByteArray& bytes, int kind = TChangeLog::ckOverwrite);
    // Writes over bytes that the newest step, an unsealed ckInsert, put in
    // (the second digit typed into an inserted byte), inside that step;
    // false when the range is not such bytes.
    bool AmendInsert(qint64 offset, const void* bytes, qint64 length);
    // Up to `max` of the first bytes a range step took out (or put in, with
    // `newSide`), to show the step.
    QByteArray StepBytes(const TChangeEntry& entry, bool newSide, qint64 max) const;
    // The depth of the undo and redo stacks (TChangeLog::SetDepth): 1024
    // by default, 0 for no limit but memory.
    void SetUndoDepth(int depth);
    int UndoDepth() const;
    // Takes the bytes as they are now for the saved ones (Load and Save do).
    void MarkSavePoint();
    // Whether the bytes are those last saved or loaded, as far as the log
    // tells: false after a recorded change, true again once undo or redo
    // led back. Unrecorded writes (Write) are not seen.
    bool AtSavePoint() const;

    // ---- saving ----------------------------------------------------------
    // Saves the first `length` bytes (all when negative) to `path`.
    int Save(const QString& path, qint64 length = -1);
    // The same in slices; SaveFinished gives the result. False (and no
    // signal) when other work is running.
    bool StartSave(const QString& path, qint64 length = -1);

    // ---- searching -------------------------------------------------------
    // The first offset from `start` on where the `length` bytes of `pattern`
    // stand (ASCII letters in either case with foldCase), or -1. Candidates
    // leave room for the whole pattern; an empty pattern matches at `start`.
    // `lastExamined` receives the last candidate looked at (the match, or the
    // last that fits) and is left alone when none fits.
    qint64 Find(qint64 start, const unsigned char* pattern, int length, bool foldCase,
                qint64* lastExamined = nullptr) const;
    // The last offset at or before `start` where the pattern stands (start
    // is first brought down to the last candidate that fits), or -1;
    // `lastExamined` as Find gives it, the lowest candidate after a failure.
    qint64 FindBackward(qint64 start, const unsigned char* pattern, int length, bool foldCase,
                        qint64* lastExamined = nullptr) const;
    // Find or FindBackward in slices; FindFinished gives the result.
    bool StartFind(qint64 start, const QByteArray& pattern, bool foldCase, bool backward = false);
    // Every match from the start, each after the end of the one before (so
    // they do not overlap), counted; the first MaxMatches offsets are kept
    // in Matches() until the bytes change or ClearMatches. An empty pattern
    // matches nothing.
    qint64 FindAll(const QByteArray& pattern, bool foldCase);
    // The same in slices; FindAllFinished gives the count (FindCancelled:
    // the matches kept are those found so far).
    bool StartFindAll(const QByteArray& pattern, bool foldCase);
    const std::vector<qint64>& Matches() const;
    qint64 MatchCount() const;
    int MatchLength() const;
    void ClearMatches();
    // Replaces every match FindAll would find by `replacement`, as one step
    // of kind ckReplaceAll; returns how many, or TooManyMatches (nothing
    // replaced).
    qint64 ReplaceAll(const QByteArray& pattern, bool foldCase, const QByteArray& replacement);
    // The same in slices; ReplaceFinished gives the count, FindCancelled
    // when cancelled (nothing replaced).
    bool StartReplaceAll(const QByteArray& pattern, bool foldCase, const QByteArray& replacement);

    // ---- long work -------------------------------------------------------
    bool Busy() const;
    // Stops the running StartFind or StartSave at once; its finished signal
    // comes before Cancel returns.
    void Cancel();

    // ---- the file on disk ------------------------------------------------
    // Compares the file with what it was at the last Load or Save and returns
    // what changed (sc* bits); raises SourceChanged when something is new.
    int CheckSource();

signals:
    void ChangeLogUpdated();
    void SourceChanged(int changes);
    void Progress(qint64 done, qint64 total);
    // offset: the match, NotFound or FindCancelled; lastExamined: the last
    // candidate looked at, -1 when none fitted.
    void FindFinished(qint64 offset, qint64 lastExamined);
    void FindAllFinished(qint64 count);
    void ReplaceFinished(qint64 count);
    void SaveFinished(int result);

protected:
    // Read one block of a file read whole, and write one block a save writes
    // from memory (bytes the kernel copies or the file system shares do not
    // pass here). Return the bytes moved, 0 at the end, or -1. Override them
    // to watch or limit file traffic.
    virtual qint64 ReadBlock(QIODevice& file, char* data, qint64 size);
    virtual qint64 WriteBlock(QIODevice& file, const char* data, qint64 size);

private:
    struct TState;
    struct TSave;
    qint64 ReadRange(qint64 offset, unsigned char* out, qint64 length, bool direct) const;
    // Candidates start..lastCandidate, which must fit the pattern.
    qint64 Scan(qint64 start, qint64 lastCandidate, const unsigned char* pattern, int length, bool foldCase,
                qint64* lastExamined) const;
    // The last match among candidates first..last (Hexmatch.cpp).
    qint64 ScanBackward(qint64 first, qint64 last, const unsigned char* pattern, int length, bool foldCase) const;
    void WriteRaw(qint64 offset, const unsigned char* bytes, qint64 length);
    void ApplyEntry(const TChangeEntry& entry, bool redo);
    // Range changes (Hexedits.cpp).
    bool CanChange() const;
    struct TEdit;
    bool Splice(const std::vector<TEdit>& edits, std::vector<THexSpan>* removed);
    bool ApplyRange(const TChangeEntry& entry, bool redo);
    bool RecordParts(std::vector<THexPart> parts, int kind);
    void FindAllStep(qint64 budget);
    qint64 FinishFindAll();
    // Before a save replaces the file: turns the log's pieces of the file
    // into added bytes, newest first, up to KeepAcrossSave; gives how many
    // undo and redo entries that keeps.
    void KeepLogThroughSave(int* undo, int* redo);
    void NoteReadFault() const;
    void RunSlice();
    void EndWork();
    // Saving (Hexsave.cpp).
    int PrepareSave(const QString& path, qint64 length);
    int PrepareInPlace(std::unique_ptr<TSave> save);
    void PlanOps(bool skipUnchanged);
    bool WriteOut(qint64 at, const unsigned char* bytes, qint64 length);
    int CopySource(qint64 from, qint64 to, qint64 length);
    bool SaveStep(qint64 budget);
    int FinishSave();
    void AbortSave();

    std::unique_ptr<TState> D;
};
