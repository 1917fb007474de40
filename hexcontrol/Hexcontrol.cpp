// THexEditor: construction, properties, the buffer, loading and saving
// files, byte and word access, and undo and redo through the change log.
// The layout and painting live in Hexpaint.cpp, keys, mouse and cursor in
// Hexinput.cpp.
#include "Hexcontrol.h"

#include "Canvas.h"
#include "Hexaccessible.h"
#include "Hexinternal.h"
#include "Hittest.h"

#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QSaveFile>

#include <climits>
#include <cstdio>
#include <cstring>
#include <functional>
#include <new>

namespace {

const char* const kStartMessage = "Start by using the File menu to open a file";
const char* const kNullFileName = "(null)";
const qint64 kSaveBlock = 1 << 20;

// Writes `size` bytes with `writeAll` over the regular file at `path` itself,
// for want of room for a temporary file beside it. What the file held is
// read first and put back when the new bytes cannot all be written, so a
// failure leaves the file as it was as far as the system lets it be.
int SaveInPlace(const QString& path, qint64 size, const std::function<bool(QIODevice&)>& writeAll)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return THexEditor::frCannotOpen;
    const QByteArray old = file.readAll();
    if (file.error() != QFileDevice::NoError || old.size() != file.size())
        return THexEditor::frCannotOpen; // what cannot be read cannot be put back
    if (file.seek(0) && writeAll(file) && file.resize(size))
        return THexEditor::frOk;
    if (file.seek(0) && file.write(old) == old.size())
        file.resize(old.size());
    return THexEditor::frWriteShort;
}

} // namespace

// ---------------------------------------------------------------------------
// Construction

THexEditor::THexEditor(QWidget* parent)
    : QWidget(parent), FChangeLog(new TChangeLog), FHitList(new THitList)
{
    InstallHexAccessibility();
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Proportional digits would misalign the columns.
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    FColor = unsigned(QColorToTColor(palette().color(QPalette::Window)));
    HitListClear(FHitList.get());

    FSampleData = new unsigned char[DataBlockSize];
    for (int i = 0; i < DataBlockSize; ++i)
        FSampleData[i] = static_cast<unsigned char>(i % 256);
    FNullData = new unsigned char[DataBlockSize]();
    FData = FSampleData;
    SetSize(DataBlockSize);
    SetDirty(0);
}

THexEditor::~THexEditor()
{
    if (FData != FSampleData && FData != FNullData)
        delete[] FData;
    delete[] FSampleData;
    delete[] FNullData;
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
    if (FData && FData != FSampleData && FData != FNullData)
        delete[] FData;
    FData = FNullData;
    SetSize(DataBlockSize);
}

void THexEditor::AdoptData(unsigned char* buffer, int size)
{
    // One step from the old buffer to the new one: no size is announced and
    // nothing painted in between.
    unsigned char* old = FData;
    FData = buffer;
    if (old && old != FSampleData && old != FNullData)
        delete[] old;
    SetSize(size);
}

void THexEditor::AllocData(int size)
{
    if (size < 0)
        return;
    unsigned char* buffer = new (std::nothrow) unsigned char[size > 0 ? size : 1];
    if (!buffer)
        return; // keep what is shown rather than point at nothing
    FData = buffer;
    SetSize(size);
}

void THexEditor::SetSize(int size)
{
    FDataSize = size;
    emit OnSizeChange(this, size);
    if (FScrollBar) {
        const int max = size / SafeDivisor(FBytesPerLine) - 1;
        FScrollBar->setMaximum(max < 0 ? 0 : max);
    }
    Redraw();
}

void THexEditor::SetNull()
{
    if (FData && FData != FSampleData && FData != FNullData)
        delete[] FData;
    FData = FNullData;
    SetSize(DataBlockSize);
    std::memset(FNullData, 0, DataBlockSize);
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
    FChangeLog->Clear();
    ChangeLogUpdate();
    Redraw();
}

void THexEditor::SetDirty(int dirty)
{
    FDirty = dirty;
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
    int result = frCannotOpen;
    QFile file(QFile::decodeName(name));
    // A pipe or device has no size to seek to; a file beyond the control's
    // 32-bit size, or one whose buffer cannot be had, is refused the same
    // way, keeping what is shown.
    if (file.open(QIODevice::ReadOnly | QIODevice::Unbuffered) && !file.isSequential()) {
        const qint64 size = file.size();
        unsigned char* buffer = nullptr;
        if (size >= 0 && size <= INT_MAX)
            buffer = new (std::nothrow) unsigned char[size > 0 ? size_t(size) : 1];
        if (buffer) {
            // The bytes are read before the buffer is shown or its size
            // announced, so neither a paint nor a host ever sees memory that
            // was not read.
            qint64 done = 0;
            while (done < size) {
                const qint64 n = ReadBlock(file, reinterpret_cast<char*>(buffer) + done, size - done);
                if (n <= 0)
                    break;
                done += n;
            }
            if (done < size) // never show what happened to be in memory as file data
                std::memset(buffer + done, 0, size_t(size - done));
            AdoptData(buffer, int(size));
            if (done < size) {
                result = frReadShort;
            } else {
                ChangeFileName(name);
                SetDirty(0);
                FMessage[0] = 0;
                Redraw();
                result = frOk;
            }
        }
    }
    file.close();
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
    const QString path = QFile::decodeName(name);
    // Writes every byte through WriteBlock; false when a block fails.
    const auto writeAll = [this](QIODevice& file) {
        qint64 done = 0;
        while (done < FDataSize) {
            const qint64 block = qMin<qint64>(kSaveBlock, FDataSize - done);
            const qint64 n = WriteBlock(file, reinterpret_cast<const char*>(FData) + done, block);
            if (n <= 0)
                return false;
            done += n;
        }
        return true;
    };
    // The bytes go to a temporary file beside the target, which replaces the
    // target only once every byte is written: a failed save never leaves the
    // user's file truncated. A folder that takes no new file (a writable
    // file in a read-only folder) leaves only the file itself to write to.
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        if (!writeAll(file)) {
            file.cancelWriting();
            return frWriteShort;
        }
        if (!file.commit())
            return frWriteShort;
    } else {
        const int result = SaveInPlace(path, FDataSize, writeAll);
        if (result != frOk)
            return result;
    }
    ChangeFileName(name);
    SetDirty(0);
    return frOk;
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

unsigned char THexEditor::GetByte(int offset) const
{
    if (offset < 0 || offset >= FDataSize)
        return 0;
    return FData[offset];
}

void THexEditor::SetByte(int offset, unsigned char value)
{
    if (offset < 0 || offset >= FDataSize)
        return;
    if (FLogSuppress == 0) {
        FChangeLog->AddChange(TChangeLog::ckByte, offset, GetByte(offset), value);
        ChangeLogUpdate();
    }
    FData[offset] = value;
}

unsigned THexEditor::GetWord(int offset) const
{
    const int group = SafeDivisor(FBytesPerGroup);
    const int start = (offset / group) * group;
    unsigned value = 0;
    for (int i = 0; i < group; ++i)
        value = (value << 8) | GetByte(start + i);
    return value;
}

void THexEditor::SetWord(int offset, unsigned value)
{
    const int group = SafeDivisor(FBytesPerGroup);
    const int start = (offset / group) * group;
    if (start < 0 || start >= FDataSize)
        return; // no byte of the group exists: nothing to write or record
    if (FLogSuppress == 0) {
        FChangeLog->AddChange(TChangeLog::ckWord, start, GetWord(start), value, group);
        ChangeLogUpdate();
    }
    WriteGroup(start, group, value);
}

void THexEditor::WriteGroup(int start, int length, unsigned value)
{
    ++FLogSuppress;
    for (int n = length - 1; n >= 0; --n) {
        SetByte(start + n, static_cast<unsigned char>(value & 0xFF));
        value >>= 8;
    }
    --FLogSuppress;
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

void THexEditor::Undo()
{
    TChangeEntry entry;
    if (!FChangeLog->TakeUndo(entry))
        return;
    ++FLogSuppress;
    if (entry.Kind == TChangeLog::ckByte) {
        SetByte(entry.Offset, static_cast<unsigned char>(entry.OldValue & 0xFF));
        MoveCursor(entry.Offset);
    } else if (entry.Kind == TChangeLog::ckWord) {
        WriteGroup(entry.Offset, entry.Size, entry.OldValue);
        MoveCursor(entry.Offset);
    }
    --FLogSuppress;
    ChangeLogUpdate();
}

void THexEditor::Redo()
{
    TChangeEntry entry;
    if (!FChangeLog->TakeRedo(entry))
        return;
    ++FLogSuppress;
    if (entry.Kind == TChangeLog::ckByte) {
        SetByte(entry.Offset, static_cast<unsigned char>(entry.NewValue & 0xFF));
        MoveCursor(entry.Offset);
    } else if (entry.Kind == TChangeLog::ckWord) {
        WriteGroup(entry.Offset, entry.Size, entry.NewValue);
        MoveCursor(entry.Offset);
    }
    --FLogSuppress;
    ChangeLogUpdate();
}

void THexEditor::ChangeLogUpdate()
{
    emit OnChangeLogUpdate(this);
}
