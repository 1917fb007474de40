#pragma once
// THexEditor: a control that shows bytes as rows of an address, the byte
// values (hexadecimal bytes or decimal groups) and the characters, lets the
// user move a cursor and type over bytes, records every change for undo and
// redo, searches, and loads and saves files of any size.
//
// The bytes belong to a THexDocument (Hexdocument.h), which the control owns
// and paints (Document()): the document holds the bytes, the changes, the
// change log and the search, and reads large files in pages instead of
// whole, so a 16 GiB disk image opens as fast as a 1 KiB file. The control's
// operations below work on it; a host reaches the document for block reads,
// long work with progress, and news of the file changing on disk.
//
// Properties (Q_PROPERTY, shown by Designer). Every setter stores the value
// unchecked and repaints at once.
//   Color                       background, also used to hide the cursor
//   DoRed, DoGreen, DoBlue,     the shaded frame and separator bars, as
//   BarWidth                    TGlimraPanel draws them (Glimrapanel.h)
//   BytesPerLine                bytes per row (16); at most 64, and a multiple
//                               of BytesPerGroup, or a message is shown instead
//   BytesPerGroup               bytes per group (4): a space after each group
//                               in hexadecimal, one number per group in decimal
//   BaseBytes                   16: bytes in hexadecimal; 10: decimal groups,
//                               most significant byte first
//   BaseOffset                  16 or 10: how the row addresses are written;
//                               8 digits, more only when the size needs them
//   ByteDigits                  stored only
//   ReadOnly                    typing changes nothing (a document opened
//                               from a block device is read-only as well)
//   CursorPanel                 0: the byte panel (typing digits), 1: the
//                               character panel (typing characters)
//   CursorOffset                the byte under the cursor (MoveCursor)
//   CursorStyle                 1: steady; otherwise the cursor blinks as the
//                               host calls AnimateCursor from a timer; a blink
//                               repaints the cursor's strip and nothing else
//   ColorByte, ColorAscii       text of the byte and the character panels
//   ColorChange, ColorCursor    bytes with a change that can be undone, and
//                               the cursor
//   PolkaDots                   n > 0: up to 30 dots drift behind the text
//                               (they move at each AnimateCursor)
//   InsertMode                  false: typing overwrites, the size never
//                               changes; true: typing, paste, Delete and
//                               Backspace insert and delete. The Insert key
//                               toggles it; the cursor is an underline when
//                               overwriting, a bar in front of the digit
//                               when inserting
//   UndoDepth                   steps undo and redo keep (1024; 0: no limit)
// Colours are 0x00BBGGRR values (red in the low byte). Text colours left at
// black (0, their initial value) are painted in the grey that reads on a
// dark background colour (a dark desktop palette's window colour).
//
// Offsets and sizes are 64-bit (qint64) everywhere: the cursor, the sizes,
// byte and word access, search results, the change log, the offset texts.
// Code that passes int values compiles unchanged; a slot connected to
// OnCursorChange or OnSizeChange takes a qint64 (Qt does not connect a qint64
// signal to an int slot).
//
// Text is 8-bit: file names, search text, messages and the texts the
// Format* functions write are zero-terminated char strings, file names in
// the local 8-bit encoding (QFile::encodeName), at most TextSize - 1 = 1023
// characters; output buffers hold TextSize bytes.
//
// Signals are raised synchronously, with the control as first argument; an
// unconnected signal is simply not heard:
//   OnCursorChange(newOffset), OnSizeChange(newSize),
//   OnDirtyChange(newDirty)     also when the flag did not change,
//   OnFileNameChange(name)      the text is valid during the call only,
//   OnCursorByteChange          typing (or SetCursorByte/SetCursorWord) wrote
//                               the byte or group under the cursor,
//   OnRowWidthChange            a painted row got wider or narrower (a host
//                               sized to the rows resizes itself),
//   OnChangeLogUpdate           the undo/redo history changed: refresh Undo
//                               and Redo menu items (ChangeLogToMenuItem),
//   OnSourceChange(changes)     the file on disk was changed, shortened or
//                               replaced by another program (THexDocument's
//                               sc* bits); warn before saving over it,
//   OnProgress(done, total)     long work (StartFindFirst, StartSaveToFile)
//                               goes on; OnFindDone and OnSaveDone end it,
//   OnSelectionChange(start, length)  (length 0: none),
//   OnInsertModeChange(insert)  show it, say "INS" or "OVR",
//   OnClipboardRefused(reason, length)  a copy or paste too large
//                               (crTooLarge), or text pasted into the byte
//                               panel that is not hex (crNotHex); nothing
//                               was copied or changed,
//   OnFindAllDone(count), OnReplaceDone(count)  long work ended.
//
// Keys are the control's own in any host, taken before the host's
// shortcuts as a line edit takes its keys: navigation (Shift extends the
// selection), typed digits and characters, Ctrl+A/C/X/V (and the desktop's
// other keys for them, such as Shift+Insert), Insert (InsertMode), and in
// insert mode Delete (the selection or the byte under the cursor) and
// Backspace (the selection or the byte before). Overwriting, Delete and
// Backspace change nothing and go on to the host.
//
// Selection: the bytes from where it began (Shift+navigation, a drag,
// Shift+click) to the cursor's, both included; a range, so SelectAll is
// instant at any size. Painted in both panels in the palette's highlight
// colours; any other cursor move drops it.
//     editor->SetSelection(0x100, 16);            // bytes 0x100..0x10F
//     connect(editor, &THexEditor::OnSelectionChange, this,
//             [](QObject*, qint64 start, qint64 length) { /* ... */ });
//
// Clipboard: Copy puts the selection there as the hex pairs shown ("32 33
// 34") from the byte panel, the characters from the character panel, and
// always the bytes as application/octet-stream, which Paste prefers. Paste
// reads hex text in the byte panel (pairs of digits; spaces, line breaks
// and 0x allowed), the text's UTF-8 bytes in the character panel; it
// overwrites from the selection or cursor (never past the end), or in
// insert mode inserts there, in place of the selection. Cut copies and, in
// insert mode, deletes. Above ClipboardLimit (64 MiB) nothing is copied or
// pasted and OnClipboardRefused says so.
//     editor->SetInsertMode(true);
//     editor->SelectAll();
//     editor->Copy();                             // or Cut(), Paste()
//
// One change log holds it all: each paste, cut, delete, block write and
// replace is one undo step (InsertBytes, DeleteBytes, OverwriteBytes for a
// host), typed inserts merge until the cursor moves. Undo and Redo clear
// the dirty flag when they lead back to the bytes last loaded or saved
// (AtSavePoint); they never set it.
//
// Large files, for a host: LoadFromFile opens any size at once. Data() is
// the bytes as one block only for a document held in memory (a file up to
// 4 MiB, or AllocData); it is null otherwise: read blocks with
// Document()->Read. FindFirst/FindNext and SaveToFile run to the end before
// they return; for gigabytes use StartFindFirst/StartFindNext and
// StartSaveToFile, which run in slices from the event loop, report
// OnProgress, can be stopped with CancelWork, and end with OnFindDone or
// OnSaveDone. While they run the control is Busy(): typing, undo and redo do
// nothing. Before saving over the file that was opened, call
// Document()->CheckSource() to learn whether another program changed it.
//
// Scroll bar: SetScrollBar attaches an optional vertical QScrollBar that the
// host creates, places and owns. The control sets its maximum (rows - 1),
// value and page step (rows shown) and reads its value at every paint to
// choose the first row; the host connects the scroll bar's valueChanged to
// the editor's update(). A QScrollBar counts in int: past 2^30 rows the
// control maps rows onto its range in proportion, and then takes the bar's
// steps itself so an arrow is a row and a page step a page. A scroll bar
// destroyed before the editor is forgotten (the control holds it in a
// QPointer).
//
// Screen readers: see Hexaccessible.h.
//
// Ownership: the control owns its document; Data() stays valid until the
// next LoadFromFile, AllocData, FreeData, SetNull or save, or the control's
// destruction.
#include <QPointer>
#include <QScrollBar>
#include <QWidget>

#include <memory>
#include <vector>

#include "Changelog.h"
#include "Hexdocument.h"

class QKeyEvent;
class QMimeData;
class QTreeWidget;
class QAction;
class QIODevice;
class TCanvas;
class THexChangedBytes;
struct THitList;
struct THitRow;

class THexEditor : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(unsigned Color READ Color WRITE SetColor)
    Q_PROPERTY(int DoRed READ DoRed WRITE SetDoRed)
    Q_PROPERTY(int DoGreen READ DoGreen WRITE SetDoGreen)
    Q_PROPERTY(int DoBlue READ DoBlue WRITE SetDoBlue)
    Q_PROPERTY(int BarWidth READ BarWidth WRITE SetBarWidth)
    Q_PROPERTY(int BytesPerLine READ BytesPerLine WRITE SetBytesPerLine)
    Q_PROPERTY(int BytesPerGroup READ BytesPerGroup WRITE SetBytesPerGroup)
    Q_PROPERTY(int ByteDigits READ ByteDigits WRITE SetByteDigits)
    Q_PROPERTY(int BaseBytes READ BaseBytes WRITE SetBaseBytes)
    Q_PROPERTY(int BaseOffset READ BaseOffset WRITE SetBaseOffset)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
    Q_PROPERTY(int CursorPanel READ CursorPanel WRITE SetCursorPanel)
    Q_PROPERTY(qint64 CursorOffset READ GetCursorOffset WRITE SetCursorOffset)
    Q_PROPERTY(int CursorStyle READ CursorStyle WRITE SetCursorStyle)
    Q_PROPERTY(unsigned ColorByte READ ColorByte WRITE SetColorByte)
    Q_PROPERTY(unsigned ColorCursor READ ColorCursor WRITE SetColorCursor)
    Q_PROPERTY(unsigned ColorChange READ ColorChange WRITE SetColorChange)
    Q_PROPERTY(unsigned ColorAscii READ ColorAscii WRITE SetColorAscii)
    Q_PROPERTY(int PolkaDots READ PolkaDots WRITE SetPolkaDots)
    Q_PROPERTY(bool InsertMode READ InsertMode WRITE SetInsertMode)
    Q_PROPERTY(int UndoDepth READ UndoDepth WRITE SetUndoDepth)

public:
    enum { DataBlockSize = 1024, TextSize = 1024, DotCount = 30 };
    // Rows the scroll bar counts one by one; more are mapped in proportion.
    enum { ScrollLimit = 1 << 30 };
    // Results of LoadFromFile and SaveToFile (THexDocument's).
    enum {
        frOk = THexDocument::frOk,
        frReadShort = THexDocument::frReadShort,
        frWriteShort = THexDocument::frWriteShort,
        frCannotOpen = THexDocument::frCannotOpen,
        frSourceLost = THexDocument::frSourceLost,
        frCancelled = THexDocument::frCancelled,
        frBusy = THexDocument::frBusy
    };
    // The most bytes a copy or paste moves through the clipboard.
    static constexpr qint64 ClipboardLimit = qint64(64) << 20;
    // OnClipboardRefused's reasons.
    enum { crTooLarge = 1, crNotHex = 2 };

    explicit THexEditor(QWidget* parent = nullptr);
    ~THexEditor() override;

    // ---- published properties ------------------------------------------
    unsigned Color() const { return FColor; }
    void SetColor(unsigned value);
    int DoRed() const { return FDoRed; }
    void SetDoRed(int value);
    int DoGreen() const { return FDoGreen; }
    void SetDoGreen(int value);
    int DoBlue() const { return FDoBlue; }
    void SetDoBlue(int value);
    int BarWidth() const { return FBarWidth; }
    void SetBarWidth(int value);
    int BytesPerLine() const { return FBytesPerLine; }
    void SetBytesPerLine(int value);
    int BytesPerGroup() const { return FBytesPerGroup; }
    void SetBytesPerGroup(int value);
    int ByteDigits() const { return FByteDigits; }
    void SetByteDigits(int value);
    int BaseBytes() const { return FBaseBytes; }
    void SetBaseBytes(int value);
    int BaseOffset() const { return FBaseOffset; }
    void SetBaseOffset(int value);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value) { FReadOnly = value; }
    QScrollBar* ScrollBar() const { return FScrollBar.data(); }
    void SetScrollBar(QScrollBar* bar);
    int CursorPanel() const { return FCursorPanel; }
    void SetCursorPanel(int panel);
    qint64 GetCursorOffset() const { return FCursorOffset; }
    void SetCursorOffset(qint64 offset) { MoveCursor(offset); }
    int CursorStyle() const { return FCursorStyle; }
    void SetCursorStyle(int value);
    unsigned ColorByte() const { return FColorByte; }
    void SetColorByte(unsigned value);
    unsigned ColorCursor() const { return FColorCursor; }
    void SetColorCursor(unsigned value);
    unsigned ColorChange() const { return FColorChange; }
    void SetColorChange(unsigned value);
    unsigned ColorAscii() const { return FColorAscii; }
    void SetColorAscii(unsigned value);
    int PolkaDots() const { return FPolkaDots; }
    void SetPolkaDots(int value);
    bool InsertMode() const { return FInsertMode; }
    void SetInsertMode(bool insert);
    int UndoDepth() const { return FDocument->UndoDepth(); }
    void SetUndoDepth(int depth) { FDocument->SetUndoDepth(depth); }

    // uic calls a custom widget's property setters by Qt's naming rule
    // (property "BytesPerLine" -> setBytesPerLine), so forms built in
    // Designer need these.
    void setColor(unsigned value) { SetColor(value); }
    void setDoRed(int value) { SetDoRed(value); }
    void setDoGreen(int value) { SetDoGreen(value); }
    void setDoBlue(int value) { SetDoBlue(value); }
    void setBarWidth(int value) { SetBarWidth(value); }
    void setBytesPerLine(int value) { SetBytesPerLine(value); }
    void setBytesPerGroup(int value) { SetBytesPerGroup(value); }
    void setByteDigits(int value) { SetByteDigits(value); }
    void setBaseBytes(int value) { SetBaseBytes(value); }
    void setBaseOffset(int value) { SetBaseOffset(value); }
    void setReadOnly(bool value) { SetReadOnly(value); }
    void setCursorPanel(int value) { SetCursorPanel(value); }
    void setCursorOffset(qint64 value) { SetCursorOffset(value); }
    void setCursorStyle(int value) { SetCursorStyle(value); }
    void setColorByte(unsigned value) { SetColorByte(value); }
    void setColorCursor(unsigned value) { SetColorCursor(value); }
    void setColorChange(unsigned value) { SetColorChange(value); }
    void setColorAscii(unsigned value) { SetColorAscii(value); }
    void setPolkaDots(int value) { SetPolkaDots(value); }
    void setInsertMode(bool value) { SetInsertMode(value); }
    void setUndoDepth(int value) { SetUndoDepth(value); }

    // ---- read access for the host --------------------------------------
    THexDocument* Document() const { return FDocument.get(); }
    // The bytes as one block for a document held in memory, else null.
    const unsigned char* Data() const { return FDocument->Data(); }
    qint64 DataSize() const { return FDataSize; }
    bool Dirty() const { return FDirty != 0; }
    const char* FileName() const { return FFileName; }
    const char* Message() const { return FMessage; }
    const TChangeLog& ChangeLog() const { return FDocument->ChangeLog(); }
    int VisibleRows() const { return FVisibleRows; }
    qint64 FirstVisible() const { return FFirstVisible; }
    // Digits of the address column and FormatOffset for the current size:
    // enough for the data's last offset in `base`, and at least `least`.
    int OffsetDigits(int base, int least) const;
    qint64 LastVisible() const { return FLastVisible; }

    // ---- data, files and change log ------------------------------------
    void FreeData();
    // A block of `size` zero bytes in memory (kept when memory runs out).
    void AllocData(qint64 size);
    void SetSize(qint64 size);
    void SetNull();
    void SetNotLoaded();
    void DataChange();
    void SetDirty(int dirty);
    void ChangeFileName(const char* name);
    int LoadFromFile(const char* name);
    int SaveToFile(const char* name);
    void ResetCursor();
    void ResetOffset();
    unsigned char GetByte(qint64 offset) const;
    void SetByte(qint64 offset, unsigned char value);
    unsigned GetWord(qint64 offset) const;
    void SetWord(qint64 offset, unsigned value);
    unsigned char GetCursorByte() const { return GetByte(FCursorOffset); }
    void SetCursorByte(unsigned char value);
    unsigned GetCursorWord() const { return GetWord(FCursorOffset); }
    void SetCursorWord(unsigned value);
    void Undo();
    void Redo();
    void ChangeLogUpdate();
    // Whether undo and redo led back to the bytes last loaded or saved.
    bool AtSavePoint() const { return FDocument->AtSavePoint(); }

    // ---- selection -------------------------------------------------------
    bool HasSelection() const { return FSelLength > 0; }
    qint64 SelectionStart() const { return FSelStart; }
    qint64 SelectionLength() const { return FSelLength; }
    // Selects `length` bytes from `start`, cut to the data; the cursor
    // stays. A length of 0 selects nothing.
    void SetSelection(qint64 start, qint64 length);
    void SelectAll();
    void ClearSelection();

    // ---- editing ranges, one undo step each --------------------------------
    // Each marks the control dirty and repaints; false (nothing changed)
    // when ReadOnly, busy, outside the data or out of memory.
    bool InsertBytes(qint64 offset, const QByteArray& bytes);
    bool DeleteBytes(qint64 offset, qint64 length);
    // Writes `bytes` over the bytes from `offset`, never past the end.
    bool OverwriteBytes(qint64 offset, const QByteArray& bytes);
    // The keys' actions, for a host's menu: Copy, Cut and Paste as above;
    // Delete as the Delete key in insert mode (the selection, or the byte
    // under the cursor). False when nothing was done.
    bool Copy();
    bool Cut();
    bool Paste();
    bool Delete();
    // Pastes from `data` as Paste does from the clipboard (drops, tests).
    bool PasteData(const QMimeData* data);

    // ---- long work -------------------------------------------------------
    // SaveToFile in slices; OnSaveDone gives the result. False when other
    // work is running.
    bool StartSaveToFile(const char* name);
    bool Busy() const { return FDocument->Busy(); }
    // Stops StartFindFirst/StartFindNext or StartSaveToFile; their done
    // signal comes (with FindCancelled or frCancelled) before it returns.
    void CancelWork();

    // ---- input and cursor ----------------------------------------------
    // Navigation keys use Qt's key codes; Shift extends the selection, other
    // modifiers are ignored.
    void KeyDown(int& key, Qt::KeyboardModifiers shift);
    // Character codes 32..127 are typed; all others are ignored.
    void KeyPress(char& ch);
    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    qint64 GetMouseOffset(int x, int y) const;
    void MoveCursor(qint64 offset);
    void ProcessInput(char ch);
    void ProcessBytesInput(char ch);
    void ProcessHexInput(char ch);
    void ProcessDecimalInput(char ch);
    void ProcessCharInput(char ch);
    void FormatOffset(qint64 offset, char* out);
    qint64 DecodeOffset(const char* text);

    // One blink step; the host calls it from a timer.
    void AnimateCursor();

    // ---- search ----------------------------------------------------------
    // FindFirst keeps the text (without surrounding white space), mode and
    // flags and returns the offset of the first match: from the start, or
    // from the byte after the cursor with sfFromCursor. FindNext returns the
    // next match after the previous one (matches may overlap). Both return
    // -1 when there is none and leave the cursor alone. smText looks for the
    // text's bytes, letters in either case unless sfMatchCase; smDecimal for
    // the bytes of a decimal number; smHex for a string of hexadecimal bytes.
    enum { smText = 1, smDecimal = 2, smHex = 3 };
    enum { sfMatchCase = 1, sfFromCursor = 4 };
    qint64 FindFirst(const char* text, int mode, int flags);
    qint64 FindNext();
    qint64 FindNextAscii();
    qint64 FindNextDecimal();
    qint64 FindNextHex();
    // The same searches in slices, for data too large to search at once:
    // OnFindDone gives the offset, -1 (nothing) or FindCancelled. The search
    // state is FindFirst's, so StartFindNext carries on where either left
    // off, also after a cancelled search. False when other work is running.
    enum { FindCancelled = THexDocument::FindCancelled };
    bool StartFindFirst(const char* text, int mode, int flags);
    bool StartFindNext();
    // Backwards: FindLast sets up the search as FindFirst does and returns
    // the last match (before the cursor with sfFromCursor), FindPrevious the
    // one before the last found; -1 when none (the position then stays).
    // The Start* calls run in slices and end with OnFindDone.
    qint64 FindLast(const char* text, int mode, int flags);
    qint64 FindPrevious();
    bool StartFindLast(const char* text, int mode, int flags);
    bool StartFindPrevious();
    // Every match from the start, each after the end of the one before: the
    // count; the first THexDocument::MaxMatches are shaded until the bytes
    // change or ClearMatches. StartFindAll ends with OnFindAllDone.
    qint64 FindAll(const char* text, int mode, int flags);
    bool StartFindAll(const char* text, int mode, int flags);
    qint64 MatchCount() const { return FDocument->MatchCount(); }
    void ClearMatches();
    // Replacing: the replacement is read as the search text is; overwriting
    // it must be as long as the pattern, inserting any length. ReplaceMatch
    // replaces the match found last (false when the search stands on none)
    // and FindNext goes on after it. ReplaceAll replaces what FindAll finds,
    // as one undo step: the count, ReplaceRefused (another length while
    // overwriting) or THexDocument::TooManyMatches. StartReplaceAll runs in
    // slices and ends with OnReplaceDone.
    enum { ReplaceRefused = -4 };
    bool ReplaceMatch(const char* replacement);
    qint64 ReplaceAll(const char* text, int mode, int flags, const char* replacement);
    bool StartReplaceAll(const char* text, int mode, int flags, const char* replacement);
    // ---- change-log presentation ------------------------------------------
    // The undo or redo history as rows of a QTreeWidget, and the Undo and
    // Redo menu items enabled and captioned after the next step of each.
    void ChangeLogToListView(QTreeWidget* view);
    void RedoLogToListView(QTreeWidget* view);
    void ChangeLogToMenuItem(QAction* undoItem, QAction* redoItem);
    void FormatChangeEntry(const TChangeEntry* entry, const char* name, char* out);
    void FormatByte(unsigned value, char* out);
    void FormatWord(unsigned value, char* out);
    void GetWordText(qint64 offset, char* out);
    void GetRowAscii(qint64 offset, char* out);

signals:
    void OnCursorChange(QObject* sender, qint64 newOffset);
    void OnSizeChange(QObject* sender, qint64 newSize);
    void OnDirtyChange(QObject* sender, bool newDirty);
    void OnFileNameChange(QObject* sender, const char* newFileName);
    void OnCursorByteChange(QObject* sender);
    void OnRowWidthChange(QObject* sender);
    void OnChangeLogUpdate(QObject* sender);
    void OnSourceChange(QObject* sender, int changes);
    void OnProgress(QObject* sender, qint64 done, qint64 total);
    void OnFindDone(QObject* sender, qint64 offset);
    void OnSaveDone(QObject* sender, int result);
    void OnSelectionChange(QObject* sender, qint64 start, qint64 length);
    void OnInsertModeChange(QObject* sender, bool insert);
    void OnClipboardRefused(QObject* sender, int reason, qint64 length);
    void OnFindAllDone(QObject* sender, qint64 count);
    void OnReplaceDone(QObject* sender, qint64 count);

protected:
    // ---- Qt event plumbing ---------------------------------------------
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    // The editing action a key press stands for (Ctrl+C, Insert...).
    enum { ekNone, ekSelectAll, ekCopy, ekCut, ekPaste, ekInsertMode, ekDelete, ekBackspace };
    int EditingKey(const QKeyEvent& e) const;

    // Read one block of a file read whole, and write one block a save writes
    // from memory (not the bytes the kernel copies or the file system
    // shares): the bytes moved, 0 at the end, or -1. Override them to watch
    // or limit file traffic.
    virtual qint64 ReadBlock(QIODevice& file, char* data, qint64 size);
    virtual qint64 WriteBlock(QIODevice& file, const char* data, qint64 size);

    // ---- painting --------------------------------------------------------
    void Paint();
    int PaintRow(qint64 offset);
    void PaintBackground();
    void PaintFrame();
    void PaintMessage(const char* text);
    void PaintAddress(qint64 offset);
    void PaintHexBytes(qint64 offset);
    void PaintDecimalBytes(qint64 offset);
    void PaintHex(int value, int digits);
    void PaintDecimal(unsigned value, int digits);
    // Draws `text` at the paint position and moves past it.
    void PaintText(const char* text);
    void PaintByte(int value);
    void PaintChar(unsigned char c, int width);
    static char FormatChar(unsigned char c);
    void PaintBlankByte();
    void PaintBlankDecimal();
    void PaintBlankChar();
    void PaintSpace();
    void PaintLeftBorder();
    void PaintRightBorder();
    void PaintAddrBytesSeperator();
    void PaintBytesCharsSeperator();
    void PaintVertBar(int barWidth, int slotWidth);
    void PaintByteCursor(int cellX, int rowY, int digit);
    void PaintCharCursor(int cellX, int rowY);
    void PaintCursor(int on);
    // A selected or found cell of `count` bytes: its background (`width`
    // from x0, and the `space` after when the cell at `next` is marked too)
    // in the highlight colours, which its text takes. False: a plain cell.
    bool PaintMark(qint64 offset, int count, qint64 next, int x0, int width, int space);
    bool Marked(qint64 offset, int count) const;
    // Whether the cursor underline is shown at the current blink phase.
    bool CursorVisible() const;
    void PaintHorizBar(int height);
    void PaintBar(int count, int width);
    // Sets the font colour for the cell at `offset` in `panel`; returns the
    // colour it replaced.
    unsigned SetCellColor(qint64 offset, int panel);
    // Black text on the background colour: black where it reads (4.5:1),
    // else the nearest shade of it that does.
    unsigned ReadableColor();
    void SortChangedOffsets();
    bool IsChanged(qint64 offset) const;
    // The byte at `offset` from the bytes read for this paint.
    unsigned char ViewByte(qint64 offset) const;
    // Repaints at once, or schedules a paint when called from inside one.
    void Redraw();
    // The pattern the search state looks for; false when there is none.
    bool SearchPattern(QByteArray* pattern) const;
    // Sets the search state as FindFirst does, without searching.
    void KeepSearch(const char* text, int mode, int flags);
    // Replacement text read as the search text is.
    QByteArray ReplacementBytes(const char* text) const;
    bool SearchFolds() const;

    // ---- cursor, selection and editing (Hexselect.cpp) --------------------
    // MoveCursor, maybe keeping the selection, maybe not sealing the log
    // (after a typed insert, which the next one extends).
    void MoveCursorTo(qint64 offset, bool seal, bool keepSelection);
    // Moves the cursor and selects from the anchor (or the cursor) to it.
    void ExtendSelection(qint64 offset);
    void SetSelectionRange(qint64 start, qint64 length, qint64 anchor);
    bool IsSelected(qint64 offset) const { return offset >= FSelStart && offset - FSelStart < FSelLength; }
    bool IsMatch(qint64 offset) const;
    // The document's size changed: follows it without leaving the view.
    void FollowDocumentSize();
    // Whether the bytes may be changed now (not ReadOnly, busy or read-only).
    bool CanEdit() const;
    // After a range change at `offset`: size, dirty flag, cursor, repaint.
    void RangeChanged(qint64 cursor);
    void ProcessInsertInput(char ch);
    void DeleteKey(bool backspace);
    // The selection as clipboard data; null when none or too large.
    QMimeData* SelectionData();
    bool UndoRedo(bool redo);

    // ---- scrolling: rows onto the scroll bar's int range ------------------
    qint64 MaxRow() const;
    bool ScrollScaled() const;
    qint64 TopRow();
    void SetTopRow(qint64 row);
    void ScrollBarAction(int action);

    // ---- state -----------------------------------------------------------
    unsigned FColor = 0;
    int FDoRed = 0, FDoGreen = -1, FDoBlue = 255, FBarWidth = 6;
    int FBytesPerLine = 16, FBytesPerGroup = 4, FByteDigits = 2;
    int FBaseBytes = 16, FBaseOffset = 16;
    bool FReadOnly = false;
    QPointer<QScrollBar> FScrollBar;
    int FCursorPanel = 1, FCursorStyle = 0;
    unsigned FColorByte = 0, FColorCursor = 0, FColorChange = 0, FColorAscii = 0;
    unsigned FReadableOn = 0, FReadableTo = 0; // ReadableColor's last background and answer
    int FPolkaDots = 0;

    std::unique_ptr<THexDocument> FDocument;
    qint64 FDataSize = 0;
    int FDirty = 0;
    char FFileName[TextSize] = {};
    char FMessage[TextSize] = {};
    int FLogHold = 0; // while > 0, the document's log news is not passed on
    bool FFinding = false; // a search this control started runs in slices

    qint64 FCursorOffset = 5;
    int FDigit = 0, FBlinkPhase = 0;
    int FCursorX = -1, FCursorY = -1, FCursorWidth = 0;
    int FCursorHeight = 2; // the underline's; a row for the insert bar
    bool FInsertMode = false;
    // Selection: FSelLength bytes from FSelStart; extended from FSelAnchor.
    qint64 FSelStart = 0, FSelLength = 0, FSelAnchor = -1;
    bool FDragging = false, FFindingBackward = false, FReplacing = false;
    qint64 FFirstVisible = 0, FLastVisible = 0;
    int FVisibleRows = 0;
    // Past 2^30 rows the scroll bar's value stands for a row in proportion;
    // FTopRow is the exact row while the bar still shows FBarValue.
    qint64 FTopRow = 0;
    int FBarValue = -1;
    QMetaObject::Connection FBarConnection;
    // The bytes of the rows being painted, read from the document at once.
    std::vector<unsigned char> FView;
    qint64 FViewStart = 0;
    int FAddressDigits = 8;
    int FCellDigits = 2, FInputDigits = 2, FCursorStep = 1;
    int FRowWidth = 0, FRowWidthChanged = 0;
    int FPaintX = 0, FPaintY = 0, FCellWidth = 0, FRowHeight = 0;
    int FAddrSeparatorX = -1, FCharSeparatorX = -1;
    std::unique_ptr<THitList> FHitList;
    THitRow* FHitRow = nullptr;
    int FHitRowHeight = -1; // row height the hit list was filled with
    // The bytes the undo stack changed, worked out again only when the log's
    // revision moved: a cell's colour costs a binary search, not a scan.
    // Null until the first paint.
    std::unique_ptr<THexChangedBytes> FChanged;
    unsigned FChangedRevision = 0; // the log's revision FChanged holds
    bool FPainting = false;
    int FDotPos[DotCount][2] = {};
    int FDotVel[DotCount][2] = {};
    TCanvas* FCanvas = nullptr; // valid only while painting

    char FSearchText[TextSize] = {};
    qint64 FSearchPos = -1;
    int FSearchMode = 0;
    int FSearchFlags = 0;
};
