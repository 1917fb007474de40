#include "Hexcontrol.h"

#include "Canvas.h"
#include "Glimrapanel.h"
#include "Hittest.h"
#include "Numbase.h"

#include <QFile>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QSaveFile>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

const char* const kStartMessage = "Start by using the File menu to open a file";
const char* const kNullFileName = "(null)";
const char* const kLayoutMessage = "Please make sure the Bytes-Per-Line (BPL) setting you\n"
                                   "select is divisible by the Bytes-Per-Group (BPG) setting\n"
                                   "you have selected\n";

const int kBorderWidth = 12;    // left and right border of a row
const int kSeparatorWidth = 20; // slot of a shaded separator bar
const int kTopMargin = 10;      // y of the first row
const int kFrameSpan = 150;     // ramp span of the shaded frame
const int kDotSize = 30;
const TColor kDotColor = 0x80FFFF;
const TColor kCursorColor = 0x000000;
const int kMessageLines = 10;
const qint64 kSaveBlock = 1 << 20;

bool IsNavigationKey(int key)
{
    switch (key) {
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_End:
    case Qt::Key_Home:
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
        return true;
    default:
        return false;
    }
}

bool HasCommandModifier(Qt::KeyboardModifiers mods)
{
    return mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
}

// The 8-bit character a key press types, or -1 when it types none. The
// Delete key types nothing, although some systems give it the text DEL.
int TypedCode(const QKeyEvent* e)
{
    if (HasCommandModifier(e->modifiers()) || e->key() == Qt::Key_Delete)
        return -1;
    const QString text = e->text();
    if (text.size() != 1 || text.at(0).unicode() > 0xFF)
        return -1;
    return text.at(0).unicode();
}

QByteArray Text(const char* s)
{
    return QByteArray::fromRawData(s, int(std::strlen(s)));
}

} // namespace

// ---------------------------------------------------------------------------
// Construction

THexEditor::THexEditor(QWidget* parent)
    : QWidget(parent), FChangeLog(new TChangeLog), FHitList(new THitList)
{
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

// Divisors for the cursor and scroll arithmetic; a line or group of less
// than one byte lays out nothing (the paint shows the layout message).
static inline int SafeDivisor(int n)
{
    return n > 0 ? n : 1;
}

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
    FreeData();
    FData = buffer;
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
            AdoptData(buffer, int(size));
            qint64 done = 0;
            while (done < size) {
                const qint64 n = ReadBlock(file, reinterpret_cast<char*>(buffer) + done, size - done);
                if (n <= 0)
                    break;
                done += n;
            }
            if (done < size) {
                // Never show what happened to be in memory as file data.
                std::memset(buffer + done, 0, size_t(size - done));
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
    // The bytes go to a temporary file beside the target, which replaces the
    // target only once every byte is written: a failed save never leaves the
    // user's file truncated.
    QSaveFile file(QFile::decodeName(name));
    if (!file.open(QIODevice::WriteOnly))
        return frCannotOpen;
    qint64 done = 0;
    while (done < FDataSize) {
        const qint64 block = qMin<qint64>(kSaveBlock, FDataSize - done);
        const qint64 n = WriteBlock(file, reinterpret_cast<const char*>(FData) + done, block);
        if (n <= 0)
            break;
        done += n;
    }
    if (done < FDataSize) {
        file.cancelWriting();
        return frWriteShort;
    }
    if (!file.commit())
        return frWriteShort;
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

// ---------------------------------------------------------------------------
// Cursor and input

void THexEditor::MoveCursor(int offset)
{
    if (offset < 0)
        offset = 0;
    if (FDataSize > 0 && offset > FDataSize - 1)
        offset = FDataSize - 1;
    FChangeLog->Seal();
    FBlinkPhase = 0;
    FDigit = 0;
    FCursorOffset = offset;
    emit OnCursorChange(this, offset);
    if (FScrollBar) {
        const int line = SafeDivisor(FBytesPerLine);
        if (offset < FFirstVisible)
            FScrollBar->setValue(offset / line);
        else if (offset > FLastVisible)
            FScrollBar->setValue(offset / line - FVisibleRows + 1);
    }
    Redraw();
}

void THexEditor::SetCursorPanel(int panel)
{
    if (panel == FCursorPanel)
        return;
    FCursorPanel = panel;
    MoveCursor(FCursorOffset);
}

void THexEditor::KeyDown(int& key, Qt::KeyboardModifiers)
{
    const int line = FBytesPerLine;
    // Page moves are computed wide so a huge page cannot wrap around.
    auto clampedMove = [this](qint64 target) {
        MoveCursor(int(qBound(qint64(INT_MIN), target, qint64(INT_MAX))));
    };
    switch (key) {
    case Qt::Key_PageUp:
        clampedMove(qint64(FCursorOffset) - qint64(line) * FVisibleRows);
        break;
    case Qt::Key_PageDown:
        clampedMove(qint64(FCursorOffset) + qint64(line) * FVisibleRows);
        break;
    case Qt::Key_End:
        MoveCursor(FDataSize - 1);
        break;
    case Qt::Key_Home:
        MoveCursor(0);
        break;
    case Qt::Key_Left:
        clampedMove(qint64(FCursorOffset) - 1);
        break;
    case Qt::Key_Up:
        clampedMove(qint64(FCursorOffset) - line);
        break;
    case Qt::Key_Right:
        clampedMove(qint64(FCursorOffset) + 1);
        break;
    case Qt::Key_Down:
        clampedMove(qint64(FCursorOffset) + line);
        break;
    default:
        break;
    }
}

void THexEditor::KeyPress(char& ch)
{
    if (static_cast<signed char>(ch) < 32)
        return;
    ProcessInput(ch);
}

void THexEditor::ProcessInput(char ch)
{
    if (FReadOnly)
        return;
    if (FCursorPanel == 0) {
        ProcessBytesInput(ch);
    } else {
        ProcessCharInput(ch);
        MoveCursor(FCursorOffset + 1);
    }
    Redraw();
}

void THexEditor::ProcessBytesInput(char ch)
{
    if (FBaseBytes == 10)
        ProcessDecimalInput(ch);
    else if (FBaseBytes == 16)
        ProcessHexInput((ch >= 'A' && ch <= 'Z') ? char(ch - 'A' + 'a') : ch);
    // The typing position moves on even for a rejected character.
    ++FDigit;
    if (FDigit >= FInputDigits)
        MoveCursor(FCursorOffset + FCursorStep);
}

void THexEditor::ProcessHexInput(char ch)
{
    int value;
    if (ch >= '0' && ch <= '9')
        value = ch - '0';
    else if (ch >= 'a' && ch <= 'f')
        value = ch - 'a' + 10;
    else
        return;
    unsigned char byte = GetCursorByte();
    if (FDigit == 0)
        byte = static_cast<unsigned char>((byte & 0x0F) | (value << 4));
    else
        byte = static_cast<unsigned char>((byte & 0xF0) | value);
    SetCursorByte(byte);
    SetDirty(1);
}

void THexEditor::ProcessDecimalInput(char ch)
{
    if (ch < '0' || ch > '9')
        return;
    // Unsigned, so a group of 0x80000000 or more shows its digits and no
    // sign; the typed text is read in 64 bits and the group keeps its low
    // bytes.
    char text[64];
    const int digits = qBound(0, FCellDigits, 40);
    const int length = std::snprintf(text, sizeof text, "%0*u", digits, GetCursorWord());
    if (FDigit < 0 || FDigit >= length)
        return;
    text[FDigit] = ch;
    const unsigned long long value = std::strtoull(text, nullptr, 10);
    SetCursorWord(static_cast<unsigned>(value & 0xFFFFFFFFull));
    SetDirty(1);
}

void THexEditor::ProcessCharInput(char ch)
{
    SetByte(FCursorOffset, static_cast<unsigned char>(ch));
    SetDirty(1);
}

void THexEditor::MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, int x, int y)
{
    if (const THitCell* cell = HitListFind(FHitList.get(), x, y)) {
        MoveCursor(cell->Value);
        FCursorPanel = cell->Tag;
    }
    setFocus(Qt::MouseFocusReason);
    Redraw();
}

int THexEditor::GetMouseOffset(int x, int y) const
{
    const THitCell* cell = HitListFind(FHitList.get(), x, y);
    return cell ? cell->Value : -1;
}

void THexEditor::FormatOffset(int offset, char* out)
{
    if (FBaseOffset == 16)
        std::sprintf(out, "%0*X", 8, unsigned(offset));
    else
        std::sprintf(out, "%0*d", 10, offset);
}

int THexEditor::DecodeOffset(const char* text)
{
    if (FBaseOffset == 16)
        return int(HexTextToValue(text));
    return DecimalTextToValue(text);
}

// ---------------------------------------------------------------------------
// Qt event plumbing

bool THexEditor::event(QEvent* e)
{
    // Navigation keys and typed characters belong to the editor even inside
    // a dialog or a window with shortcuts; Tab still moves the focus on.
    if (e->type() == QEvent::ShortcutOverride) {
        const auto* k = static_cast<QKeyEvent*>(e);
        const int code = TypedCode(k);
        if (IsNavigationKey(k->key()) || (code >= 32 && code <= 127)) {
            e->accept();
            return true;
        }
    }
    return QWidget::event(e);
}

void THexEditor::keyPressEvent(QKeyEvent* e)
{
    int key = e->key();
    if (IsNavigationKey(key)) {
        KeyDown(key, e->modifiers());
        e->accept();
        return;
    }
    const int code = TypedCode(e);
    if (code >= 0) {
        char ch = static_cast<char>(code);
        KeyPress(ch);
        e->accept();
        return;
    }
    QWidget::keyPressEvent(e);
}

void THexEditor::mousePressEvent(QMouseEvent* e)
{
    const QPoint p = e->position().toPoint();
    MouseDown(e->button(), e->modifiers(), p.x(), p.y());
    e->accept();
}

void THexEditor::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    TCanvas canvas(painter);
    canvas.SetFont(font());
    FCanvas = &canvas;
    FPainting = true;
    Paint();
    FPainting = false;
    FCanvas = nullptr;
}

// ---------------------------------------------------------------------------
// Painting

void THexEditor::Paint()
{
    const TRect client = ClientRect(this);
    FCanvas->SetBrushStyle(bsSolid);
    FCanvas->SetBrushColor(TColor(FColor));
    PaintBackground();
    // Over the dots, text is drawn transparently.
    if (FPolkaDots > 0)
        FCanvas->SetBrushStyle(bsClear);

    if (FMessage[0]) {
        PaintMessage(FMessage);
        return;
    }
    if (FBytesPerLine < 1 || FBytesPerGroup < 1 || FBytesPerLine % FBytesPerGroup != 0) {
        PaintMessage(kLayoutMessage);
        return;
    }

    FCanvas->SetFont(font());
    FRowHeight = FCanvas->TextHeight("A");
    FCellWidth = FCanvas->TextWidth("A");
    if (FRowHeight < 1)
        FRowHeight = 1;
    // Bands of an earlier row height would never match a row again.
    if (FRowHeight != FHitRowHeight) {
        HitListClear(FHitList.get());
        FHitRowHeight = FRowHeight;
    }

    const int top = FScrollBar ? int(qBound(qint64(0), qint64(FScrollBar->value()) * FBytesPerLine,
                                            qint64(INT_MAX)))
                               : 0;
    FFirstVisible = top;
    FPaintY = kTopMargin;
    FVisibleRows = 0;
    FRowWidthChanged = 0;

    int rows = 0;
    for (qint64 y = kTopMargin; y + FRowHeight < client.Bottom; y += FRowHeight)
        ++rows;
    SortChangedOffsets();

    for (int i = 0; i < rows; ++i) {
        const qint64 offset = qint64(top) + qint64(i) * FBytesPerLine;
        if (offset + FBytesPerLine - 1 > INT_MAX)
            break; // offsets past the control's 32-bit range do not exist
        FHitRow = HitListGetRow(FHitList.get(), FPaintY, FPaintY + FRowHeight - 1, 1);
        HitRowClear(FHitRow);
        PaintRow(int(offset));
        FPaintY += FRowHeight;
        FVisibleRows += 1;
        FLastVisible = int(offset + FBytesPerLine - 1);
    }
    FHitRow = nullptr;

    PaintFrame();
    if (FScrollBar && FScrollBar->pageStep() != FVisibleRows)
        FScrollBar->setPageStep(FVisibleRows);
    if (FRowWidthChanged)
        emit OnRowWidthChange(this);
}

void THexEditor::SortChangedOffsets()
{
    const TChangeLog& log = *FChangeLog;
    if (FChangedCount >= 0 && FChangedRevision == log.Revision)
        return; // still sorted from an earlier paint
    for (int i = 0; i < log.UndoCount; ++i)
        FChangedOffsets[i] = log.UndoEntries[i].Offset;
    std::sort(FChangedOffsets, FChangedOffsets + log.UndoCount);
    FChangedCount = log.UndoCount;
    FChangedRevision = log.Revision;
}

bool THexEditor::IsChanged(int offset) const
{
    if (FChangedCount < 0 || FChangedRevision != FChangeLog->Revision)
        return FChangeLog->FindOffset(offset) != nullptr;
    return std::binary_search(FChangedOffsets, FChangedOffsets + FChangedCount, offset);
}

unsigned THexEditor::SetCellColor(int offset, int panel)
{
    const unsigned previous = unsigned(FCanvas->FontColor());
    unsigned color;
    if (offset == FCursorOffset)
        color = FColorCursor;
    else if (IsChanged(offset))
        color = FColorChange;
    else
        color = panel == 0 ? FColorByte : FColorAscii;
    FCanvas->SetFontColor(TColor(color));
    return previous;
}

int THexEditor::PaintRow(int offset)
{
    FPaintX = 0;
    PaintLeftBorder();
    PaintAddress(offset);
    PaintAddrBytesSeperator();
    if (FBaseBytes == 10)
        PaintDecimalBytes(offset);
    else
        PaintHexBytes(offset);
    PaintBytesCharsSeperator();
    for (int i = 0; i < FBytesPerLine; ++i) {
        const int o = offset + i;
        const int x0 = FPaintX;
        const unsigned previous = SetCellColor(o, 1);
        if (o < FDataSize)
            PaintChar(FData[o], FCellWidth);
        else
            PaintBlankChar();
        HitRowAdd(FHitRow, x0, FPaintX - 1, o, 1);
        FCanvas->SetFontColor(TColor(previous));
        if (FCursorPanel == 1 && o == FCursorOffset)
            PaintCharCursor(x0, FPaintY);
    }
    PaintRightBorder();
    if (FPaintX != FRowWidth) {
        FRowWidth = FPaintX;
        FRowWidthChanged = 1;
    }
    return FPaintX;
}

void THexEditor::PaintHexBytes(int offset)
{
    FCellDigits = 2 * FBytesPerGroup;
    FInputDigits = 2;
    FCursorStep = 1;
    for (int i = 0; i < FBytesPerLine; ++i) {
        const int o = offset + i;
        const int x0 = FPaintX;
        const unsigned previous = SetCellColor(o, 0);
        if (o < FDataSize)
            PaintByte(GetByte(o));
        else
            PaintBlankByte();
        HitRowAdd(FHitRow, x0, FPaintX - 1, o, 0);
        FCanvas->SetFontColor(TColor(previous));
        if ((i + 1) % FBytesPerGroup == 0 && i + 1 < FBytesPerLine)
            PaintSpace();
        if (FCursorPanel == 0 && o == FCursorOffset)
            PaintByteCursor(x0, FPaintY, FDigit);
    }
}

void THexEditor::PaintDecimalBytes(int offset)
{
    const int digits = DecimalDigitsForBytes(FBytesPerGroup);
    FCellDigits = digits;
    FInputDigits = digits;
    FCursorStep = FBytesPerGroup;
    const int cells = FBytesPerLine / FBytesPerGroup;
    for (int c = 0; c < cells; ++c) {
        const int o = offset + c * FBytesPerGroup;
        const int x0 = FPaintX;
        const unsigned previous = SetCellColor(o, 0);
        if (o < FDataSize) {
            unsigned value = 0;
            for (int i = 0; i < FBytesPerGroup; ++i)
                value = (value << 8) | GetByte(o + i);
            PaintDecimal(value, FCellDigits);
        } else {
            PaintBlankDecimal();
        }
        HitRowAdd(FHitRow, x0, FPaintX - 1, o, 0);
        FCanvas->SetFontColor(TColor(previous));
        PaintSpace();
        if (FCursorPanel == 0 && o == FCursorOffset)
            PaintByteCursor(x0, FPaintY, FDigit);
    }
}

void THexEditor::PaintAddress(int offset)
{
    char text[32];
    if (FBaseOffset == 16)
        std::snprintf(text, sizeof text, "%0*X", 8, unsigned(offset));
    else if (FBaseOffset == 10)
        std::snprintf(text, sizeof text, "%0*u", 8, unsigned(offset));
    else
        return;
    PaintText(text);
}

void THexEditor::PaintHex(int value, int digits)
{
    char text[64];
    std::snprintf(text, sizeof text, "%0*X", qBound(0, digits, 40), unsigned(value));
    PaintText(text);
}

void THexEditor::PaintDecimal(unsigned value, int digits)
{
    char text[64];
    std::snprintf(text, sizeof text, "%0*u", qBound(0, digits, 40), value);
    PaintText(text);
}

void THexEditor::PaintText(const char* text)
{
    const QByteArray t = Text(text);
    FCanvas->TextOut(FPaintX, FPaintY, t);
    FPaintX += FCanvas->TextWidth(t);
}

void THexEditor::PaintByte(int value)
{
    PaintHex(value, 2);
}

char THexEditor::FormatChar(unsigned char c)
{
    return c == 0 ? '.' : static_cast<char>(c);
}

void THexEditor::PaintChar(unsigned char c, int width)
{
    const char ch = FormatChar(c);
    const QByteArray t(&ch, 1);
    FCanvas->TextOut(FPaintX, FPaintY, t);
    FPaintX += width == -1 ? FCanvas->TextWidth(t) : width;
}

void THexEditor::PaintBlankByte()
{
    FPaintX += 2 * FCellWidth;
}

void THexEditor::PaintBlankDecimal()
{
    FPaintX += FCellDigits * FCellWidth;
}

void THexEditor::PaintBlankChar()
{
    FPaintX += FCellWidth;
}

void THexEditor::PaintSpace()
{
    FPaintX += FCellWidth;
}

void THexEditor::PaintLeftBorder()
{
    FPaintX += kBorderWidth;
}

void THexEditor::PaintRightBorder()
{
    FPaintX += kBorderWidth;
}

void THexEditor::PaintAddrBytesSeperator()
{
    FAddrSeparatorX = FPaintX;
    FPaintX += kSeparatorWidth;
}

void THexEditor::PaintBytesCharsSeperator()
{
    FCharSeparatorX = FPaintX;
    FPaintX += kSeparatorWidth;
}

void THexEditor::PaintVertBar(int barWidth, int slotWidth)
{
    const TRect client = ClientRect(this);
    GradientVertBar(*FCanvas, FPaintX, barWidth - 1, client.Bottom - (barWidth - 1), barWidth, slotWidth, FDoRed,
                    FDoGreen, FDoBlue);
}

void THexEditor::PaintFrame()
{
    GradientFrame(*FCanvas, ClientRect(this), FBarWidth, kFrameSpan, FDoRed, FDoGreen, FDoBlue);
    for (int x : {FAddrSeparatorX, FCharSeparatorX}) {
        if (x >= 0) {
            FPaintX = x;
            PaintVertBar(FBarWidth, kSeparatorWidth);
        }
    }
}

void THexEditor::PaintMessage(const char* text)
{
    char copy[TextSize];
    std::snprintf(copy, sizeof copy, "%s", text);
    const char* lines[kMessageLines];
    int count = 0;
    char* start = copy;
    while (count < kMessageLines && *start) {
        char* end = std::strchr(start, '\n');
        lines[count++] = start;
        if (!end)
            break;
        *end = 0;
        start = end + 1;
    }
    FAddrSeparatorX = FCharSeparatorX = -1;
    const TRect client = ClientRect(this);
    for (int j = 0; j < count; ++j) {
        const QByteArray t = Text(lines[j]);
        const QSize extent = FCanvas->TextExtent(t);
        const int x = client.Left + (client.Width() - extent.width()) / 2;
        const int y = client.Top + (client.Height() - extent.height()) / 2 + extent.height() * j;
        FCanvas->TextOut(x, y, t);
    }
    PaintFrame();
}

void THexEditor::PaintBackground()
{
    const TRect client = ClientRect(this);
    FCanvas->FillRect(client);
    if (FPolkaDots <= 0)
        return;
    const TColor brush = FCanvas->BrushColor();
    const TColor pen = FCanvas->PenColor();
    FCanvas->SetBrushColor(kDotColor);
    FCanvas->SetPenColor(kDotColor);
    const int dots = qMin(FPolkaDots, int(DotCount));
    for (int i = 0; i < dots; ++i) {
        int* pos = FDotPos[i];
        int* vel = FDotVel[i];
        pos[0] += vel[0];
        pos[1] += vel[1];
        const bool outside = pos[0] < client.Left || pos[0] > client.Right || pos[1] < client.Top ||
                             pos[1] > client.Bottom;
        if (outside || (vel[0] == 0 && vel[1] == 0)) {
            pos[0] = client.Left + (client.Right > 0 ? std::rand() % client.Right : 0);
            pos[1] = client.Top + (client.Bottom > 0 ? std::rand() % client.Bottom : 0);
            vel[0] = std::rand() % 3 - 1;
            vel[1] = std::rand() % 3 - 1;
        }
        FCanvas->Ellipse(pos[0], pos[1], pos[0] + kDotSize, pos[1] + kDotSize);
    }
    FCanvas->SetBrushColor(brush);
    FCanvas->SetPenColor(pen);
}

// ---------------------------------------------------------------------------
// Cursor painting

bool THexEditor::CursorVisible() const
{
    return FCursorStyle == 1 || FBlinkPhase <= 2;
}

void THexEditor::PaintByteCursor(int cellX, int rowY, int digit)
{
    FCursorX = cellX + digit * FCellWidth;
    FCursorY = rowY + FRowHeight - 2;
    FCursorWidth = FCellWidth;
    PaintCursor(CursorVisible() ? 1 : 0);
}

void THexEditor::PaintCharCursor(int cellX, int rowY)
{
    FCursorX = cellX;
    FCursorY = rowY + FRowHeight - 2;
    FCursorWidth = FCellWidth;
    PaintCursor(CursorVisible() ? 1 : 0);
}

void THexEditor::PaintCursor(int on)
{
    if (FCursorX < 0 || !FCanvas)
        return;
    const TColor pen = FCanvas->PenColor();
    FCanvas->SetPenColor(on ? kCursorColor : TColor(FColor));
    FCanvas->MoveTo(FCursorX, FCursorY);
    FCanvas->LineTo(FCursorX + FCursorWidth, FCursorY);
    FCanvas->MoveTo(FCursorX, FCursorY + 1);
    FCanvas->LineTo(FCursorX + FCursorWidth, FCursorY + 1);
    FCanvas->SetPenColor(pen);
}

void THexEditor::AnimateCursor()
{
    if (FPolkaDots > 0)
        update();
    if (FMessage[0] || FCursorStyle == 1)
        return;
    if (++FBlinkPhase > 5)
        FBlinkPhase = 0;
    // Qt paints only inside a paint event: repaint the cursor's strip, whose
    // paint draws the underline on or off by the phase.
    if (FCursorX >= 0)
        update(QRect(FCursorX, FCursorY, FCursorWidth, 2));
}

// ---------------------------------------------------------------------------
// Bar painters kept for hosts that draw their own separators.

void THexEditor::PaintHorizBar(int height)
{
    const int n = height / 2;
    if (n < 1)
        return;
    const TRect client = ClientRect(this);
    const TColor pen = FCanvas->PenColor();
    const int y0 = FPaintY + n - 1;
    for (int i = 0; i < n; ++i) {
        FCanvas->SetPenColor(RGBToTColor(0, (i * (kFrameSpan / n)) % 256, 0xD2));
        FCanvas->MoveTo(0, y0 - i);
        FCanvas->LineTo(client.Right, y0 - i);
        FCanvas->MoveTo(0, y0 + i);
        FCanvas->LineTo(client.Right, y0 + i);
    }
    FCanvas->SetPenColor(pen);
    FPaintY += height;
}

void THexEditor::PaintBar(int count, int width)
{
    const int n = count / 2;
    if (n < 1)
        return;
    const TColor pen = FCanvas->PenColor();
    const int x0 = FPaintX + width / 2 - 1;
    for (int i = 0; i < n; ++i) {
        FCanvas->SetPenColor(RGBToTColor(0, (i * (kFrameSpan / n)) % 256, 0xD2));
        FCanvas->MoveTo(x0 - i, FPaintY);
        FCanvas->LineTo(x0 - i, FPaintY + FRowHeight);
        FCanvas->MoveTo(x0 + i, FPaintY);
        FCanvas->LineTo(x0 + i, FPaintY + FRowHeight);
    }
    FCanvas->SetPenColor(pen);
    FPaintX += width;
}
