// THexEditor: construction, properties, the document beneath the control
// (buffers, loading and saving files, byte and word access, undo and redo
// through its change log) and long work. The layout and painting live in
// Hexpaint.cpp, keys, mouse, cursor and scrolling in Hexinput.cpp.
#include "Hexcontrol.h"

#include "Canvas.h"
#include "Hexaccessible.h"
#include "Hexchanged.h"
#include "Hexinternal.h"
#include "Hittest.h"

#include <QFile>
#include <QFontDatabase>

#include <cstdio>
#include <cstring>

namespace {

const char* const kStartMessage = "Start by using the File menu to open a file";

// The control's document: its block reads and writes go through the
// control's own ReadBlock and WriteBlock, so a subclass of the control sees
// the file traffic as before.
class TEditorDocument : public THexDocument
{
public:
    explicit TEditorDocument(THexEditor* editor, qint64 (THexEditor::*read)(QIODevice&, char*, qint64),
                             qint64 (THexEditor::*write)(QIODevice&, const char*, qint64))
        : FEditor(editor), FRead(read), FWrite(write)
    {
    }

protected:
    qint64 ReadBlock(QIODevice& file, char* data, qint64 size) override { return (FEditor->*FRead)(file, data, size); }
    qint64 WriteBlock(QIODevice& file, const char* data, qint64 size) override
    {
        return (FEditor->*FWrite)(file, data, size);
    }

private:
    THexEditor* FEditor;
    qint64 (THexEditor::*FRead)(QIODevice&, char*, qint64);
    qint64 (THexEditor::*FWrite)(QIODevice&, const char*, qint64);
};

} // namespace

// ---------------------------------------------------------------------------
// Construction

THexEditor::THexEditor(QWidget* parent)
    : QWidget(parent), FHitList(new THitList)
{
    FDocument.reset(new TEditorDocument(this, &THexEditor::ReadBlock, &THexEditor::WriteBlock));
    InstallHexAccessibility();
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Proportional digits would misalign the columns.
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    FColor = unsigned(QColorToTColor(palette().color(QPalette::Window)));
    HitListClear(FHitList.get());

    THexDocument* doc = FDocument.get();
    connect(doc, &THexDocument::ChangeLogUpdated, this, [this] {
        if (FLogHold == 0)
            ChangeLogUpdate();
    });
    connect(doc, &THexDocument::SourceChanged, this, [this](int changes) { emit OnSourceChange(this, changes); });
    connect(doc, &THexDocument::Progress, this,
            [this](qint64 done, qint64 total) { emit OnProgress(this, done, total); });
    connect(doc, &THexDocument::FindFinished, this, [this](qint64 offset, qint64 last) {
        // A search the host started on the document itself is its own.
        if (!FFinding)
            return;
        FFinding = false;
        // Backwards, a search that found nothing stays where it was.
        if (last >= 0 && (!FFindingBackward || offset != THexDocument::NotFound))
            FSearchPos = last;
        emit OnFindDone(this, offset);
    });
    connect(doc, &THexDocument::FindAllFinished, this, [this](qint64 count) {
        if (!FFinding)
            return;
        FFinding = false;
        Redraw();
        emit OnFindAllDone(this, count);
    });
    connect(doc, &THexDocument::ReplaceFinished, this, [this](qint64 count) {
        if (!FReplacing)
            return;
        FReplacing = false;
        if (count > 0)
            RangeChanged(-1);
        emit OnReplaceDone(this, count);
    });

    unsigned char sample[DataBlockSize];
    for (int i = 0; i < DataBlockSize; ++i)
        sample[i] = static_cast<unsigned char>(i % 256);
    FDocument->SetMemory(DataBlockSize, sample);
    SetSize(DataBlockSize);
    SetDirty(0);
}

THexEditor::~THexEditor()
{
    // The document's signals end here: none reaches a half-destroyed control.
    FDocument->disconnect(this);
}

void THexEditor::Redraw()
{
    if (FPainting)
        update();
    else
        repaint();
}

// ---------------------------------------------------------------------------
// Property setters: store without validation, repaint at once.

#define HEX_SETTER(Name, Type)          \
    void THexEditor::Set##Name(Type value) \
    {                                   \
        F##Name = value;                \
        Redraw();                       \
    }

HEX_SETTER(Color, unsigned)
HEX_SETTER(DoRed, int)
HEX_SETTER(DoGreen, int)
HEX_SETTER(DoBlue, int)
HEX_SETTER(BarWidth, int)
HEX_SETTER(BytesPerLine, int)
HEX_SETTER(BytesPerGroup, int)
HEX_SETTER(ByteDigits, int)
HEX_SETTER(BaseBytes, int)
HEX_SETTER(BaseOffset, int)
HEX_SETTER(CursorStyle, int)
HEX_SETTER(ColorByte, unsigned)
HEX_SETTER(ColorCursor, unsigned)
HEX_SETTER(ColorChange, unsigned)
HEX_SETTER(ColorAscii, unsigned)
HEX_SETTER(PolkaDots, int)

#undef HEX_SETTER

// ---------------------------------------------------------------------------
// Buffers

void THexEditor::FreeData()
{
    FDocument->SetMemory(DataBlockSize);
    SetSize(DataBlockSize);
}

void THexEditor::AllocData(qint64 size)
{
    if (size < 0 || !FDocument->SetMemory(size))
        return; // keep what is shown rather than point at nothing
    SetSize(size);
}

void THexEditor::SetSize(qint64 size)
{
    FDataSize = size;
    emit OnSizeChange(this, size);
    // Other bytes: the selection is theirs no longer.
    if (HasSelection())
        ClearSelection();
    if (FScrollBar) {
        FScrollBar->setMaximum(ScrollScaled() ? ScrollLimit : int(MaxRow()));
        FTopRow = 0;
        FBarValue = -1;
    }
    Redraw();
}

void THexEditor::SetNull()
{
    FDocument->SetMemory(DataBlockSize);
    SetSize(DataBlockSize);
    SetDirty(0);
    ChangeFileName(kNullFileName);
    DataChange();
}

void THexEditor::SetNotLoaded()
{
    SetNull();
    std::snprintf(FMessage, sizeof FMessage, "%s", kStartMessage);
    Redraw();
}

void THexEditor::DataChange()
{
    ++FLogHold;
    FDocument->ClearLog();
    --FLogHold;
    ChangeLogUpdate();
    Redraw();
}

void THexEditor::SetDirty(int dirty)
{
    FDirty = dirty;
    // Clean means the bytes as they are now are the saved ones.
    if (!dirty)
        FDocument->MarkSavePoint();
    emit OnDirtyChange(this, dirty != 0);
}

void THexEditor::ChangeFileName(const char* name)
{
    std::snprintf(FFileName, sizeof FFileName, "%s", name);
    emit OnFileNameChange(this, name);
    Redraw();
}

// ---------------------------------------------------------------------------
// Files

int THexEditor::LoadFromFile(const char* name)
{
    CancelWork();
    // The document's size and bytes change together, before the size is
    // announced, so neither a paint nor a host sees bytes that were not read.
    ++FLogHold;
    const int result = FDocument->Load(QFile::decodeName(name));
    --FLogHold;
    if (result == frOk || result == frReadShort) {
        SetSize(FDocument->Size());
        if (result == frOk) {
            ChangeFileName(name);
            SetDirty(0);
            FMessage[0] = 0;
            Redraw();
        }
    }
    ResetCursor();
    ResetOffset();
    DataChange();
    return result;
}

qint64 THexEditor::ReadBlock(QIODevice& file, char* data, qint64 size)
{
    return file.read(data, size);
}

qint64 THexEditor::WriteBlock(QIODevice& file, const char* data, qint64 size)
{
    return file.write(data, size);
}

int THexEditor::SaveToFile(const char* name)
{
    const int result = FDocument->Save(QFile::decodeName(name), qMin(FDataSize, FDocument->Size()));
    if (result == frOk) {
        ChangeFileName(name);
        SetDirty(0);
    }
    return result;
}

bool THexEditor::StartSaveToFile(const char* name)
{
    const QByteArray kept(name);
    auto finished = std::make_shared<QMetaObject::Connection>();
    *finished = connect(FDocument.get(), &THexDocument::SaveFinished, this, [this, kept, finished](int result) {
        disconnect(*finished);
        if (result == frOk) {
            ChangeFileName(kept.constData());
            SetDirty(0);
        }
        emit OnSaveDone(this, result);
    });
    if (!FDocument->StartSave(QFile::decodeName(name), qMin(FDataSize, FDocument->Size()))) {
        disconnect(*finished);
        return false;
    }
    return true;
}

void THexEditor::CancelWork()
{
    FDocument->Cancel();
}

void THexEditor::ResetCursor()
{
    MoveCursor(0);
}

void THexEditor::ResetOffset()
{
    if (FScrollBar)
        FScrollBar->setValue(0);
    Redraw();
}

// ---------------------------------------------------------------------------
// Byte and word access

unsigned char THexEditor::GetByte(qint64 offset) const
{
    if (offset < 0 || offset >= FDataSize)
        return 0;
    return FDocument->GetByte(offset);
}

void THexEditor::SetByte(qint64 offset, unsigned char value)
{
    if (offset < 0 || offset >= FDataSize)
        return;
    FDocument->SetByte(offset, value);
}

unsigned THexEditor::GetWord(qint64 offset) const
{
    const int group = SafeDivisor(FBytesPerGroup);
    const qint64 start = (offset / group) * group;
    unsigned value = 0;
    for (int i = 0; i < group; ++i)
        value = (value << 8) | GetByte(start + i);
    return value;
}

void THexEditor::SetWord(qint64 offset, unsigned value)
{
    const int group = SafeDivisor(FBytesPerGroup);
    const qint64 start = (offset / group) * group;
    if (start < 0 || start >= FDataSize)
        return; // no byte of the group exists: nothing to write or record
    FDocument->SetWord(start, group, value);
}

void THexEditor::SetCursorByte(unsigned char value)
{
    SetByte(FCursorOffset, value);
    emit OnCursorByteChange(this);
}

void THexEditor::SetCursorWord(unsigned value)
{
    SetWord(FCursorOffset, value);
    emit OnCursorByteChange(this);
}

void THexEditor::ChangeLogUpdate()
{
    emit OnChangeLogUpdate(this);
}
