// THexEditor: the layout and painting of the control (rows of address,
// byte panel and character panel between shaded bars, or a centred
// message), the hit-test cells recorded while painting, and the cursor.
#include "Hexcontrol.h"

#include "Canvas.h"
#include "Contrast.h"
#include "Glimrapanel.h"
#include "Hexchanged.h"
#include "Hexinternal.h"
#include "Hittest.h"
#include "Numbase.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const int kBorderWidth = 12;    // left and right border of a row
const int kSeparatorWidth = 20; // slot of a shaded separator bar
const int kFrameSpan = 150;     // ramp span of the shaded frame
const int kDotSize = 30;
const TColor kDotColor = 0x80FFFF;
const TColor kCursorColor = 0x000000;
const int kMessageLines = 10;
const int kBarCursorWidth = 2;
// How much of the highlight colour a found (not selected) cell shows.
const qreal kMatchShade = 0.4;

QByteArray Text(const char* s)
{
    return QByteArray::fromRawData(s, int(std::strlen(s)));
}

// Records a painted cell, from x0 to x1, for the mouse. A cell that starts
// past the control's right edge cannot be clicked and is left out, so the
// hit-test table holds no more than what can be seen, however long a line.
void RecordCell(THitRow* row, const QWidget& control, int x0, int x1, qint64 offset, int panel)
{
    if (x0 < control.width())
        HitRowAdd(row, x0, x1, offset, panel);
}

// Fills a rectangle in `color`, whatever the brush is.
void Fill(TCanvas& canvas, int x, int y, int w, int h, TColor color)
{
    const TColor brush = canvas.BrushColor();
    const TBrushStyle style = canvas.BrushStyle();
    canvas.SetBrushColor(color);
    canvas.SetBrushStyle(bsSolid);
    canvas.FillRect(TRect{x, y, x + w, y + h});
    canvas.SetBrushColor(brush);
    canvas.SetBrushStyle(style);
}

} // namespace

void THexEditor::paintEvent(QPaintEvent* e)
{
    QPainter painter(this);
    TCanvas canvas(painter);
    canvas.SetFont(font());
    FCanvas = &canvas;
    FPainting = true;
    // A blink asks for the cursor's strip alone. The underline covers that
    // strip wholly, on or off, so drawing it is all a full paint would have
    // changed there: the rows are not laid out and shaped again.
    // The insert bar covers part of a cell: its strip is painted whole.
    const QRect strip(FCursorX, FCursorY, FCursorWidth, FCursorHeight);
    if (FCursorX >= 0 && FPolkaDots <= 0 && !FMessage[0] && !FInsertMode && strip.contains(e->rect()))
        PaintCursor(CursorVisible() ? 1 : 0);
    else
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
    if (!LayoutValid(FBytesPerLine, FBytesPerGroup)) {
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

    const qint64 top = TopRow() * FBytesPerLine;
    FFirstVisible = top;
    FPaintY = kRowTop;
    FVisibleRows = 0;
    FRowWidthChanged = 0;
    FAddressDigits = OffsetDigits(FBaseOffset == 10 ? 10 : 16, 8);

    int rows = 0;
    for (qint64 y = kRowTop; y + FRowHeight < client.Bottom; y += FRowHeight)
        ++rows;
    SortChangedOffsets();
    // The bytes of every row shown, in one read from the document.
    FViewStart = top;
    const qint64 shown = qBound(qint64(0), qMin(FDataSize, FDocument->Size()) - top, qint64(rows) * FBytesPerLine);
    FView.resize(size_t(shown));
    if (shown > 0)
        FDocument->Read(top, FView.data(), shown);

    for (int i = 0; i < rows; ++i) {
        const qint64 offset = top + qint64(i) * FBytesPerLine;
        FHitRow = HitListGetRow(FHitList.get(), FPaintY, FPaintY + FRowHeight - 1, 1);
        HitRowClear(FHitRow);
        PaintRow(offset);
        FPaintY += FRowHeight;
        FVisibleRows += 1;
        FLastVisible = offset + FBytesPerLine - 1;
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
    const TChangeLog& log = FDocument->ChangeLog();
    if (FChanged && FChangedRevision == log.Revision)
        return; // still worked out from an earlier paint
    if (!FChanged)
        FChanged.reset(new THexChangedBytes);
    FChanged->Build(log);
    FChangedRevision = log.Revision;
}

bool THexEditor::IsChanged(qint64 offset) const
{
    // Asked only while painting, after SortChangedOffsets.
    return FChanged && FChanged->Contains(offset);
}

unsigned char THexEditor::ViewByte(qint64 offset) const
{
    const qint64 at = offset - FViewStart;
    return at >= 0 && at < qint64(FView.size()) ? FView[size_t(at)] : GetByte(offset);
}

unsigned THexEditor::SetCellColor(qint64 offset, int panel)
{
    const unsigned previous = unsigned(FCanvas->FontColor());
    unsigned color;
    if (offset == FCursorOffset)
        color = FColorCursor;
    else if (IsChanged(offset))
        color = FColorChange;
    else
        color = panel == 0 ? FColorByte : FColorAscii;
    // Black, the colours' initial value, reads on a light window colour only;
    // on a dark desktop's it takes the grey that does. A colour the host
    // chose is painted as it is.
    FCanvas->SetFontColor(TColor(color == 0 ? ReadableColor() : color));
    return previous;
}

unsigned THexEditor::ReadableColor()
{
    // One contrast sum per change of the background colour.
    if (FColor != FReadableOn || FReadableTo == 0) {
        FReadableOn = FColor;
        FReadableTo = unsigned(QColorToTColor(ReadableShade(TColorToQColor(TColor(0)), TColorToQColor(TColor(FColor)))))
                      | 0x80000000u; // never 0: a valid answer
    }
    return FReadableTo & 0x00FFFFFFu;
}

bool THexEditor::Marked(qint64 offset, int count) const
{
    if (offset >= FDataSize)
        return false;
    const qint64 end = qMin(offset + count, FDataSize);
    if (HasSelection() && offset < FSelStart + FSelLength && end > FSelStart)
        return true;
    for (qint64 o = offset; o < end; ++o)
        if (IsMatch(o))
            return true;
    return false;
}

bool THexEditor::PaintMark(qint64 offset, int count, qint64 next, int x0, int width, int space)
{
    if (!Marked(offset, count))
        return false;
    const QPalette& colours = palette();
    const bool selected = HasSelection() && offset < FSelStart + FSelLength && offset + count > FSelStart;
    QColor back = colours.color(QPalette::Highlight);
    if (!selected) {
        const QColor base = TColorToQColor(TColor(FColor));
        back = QColor::fromRgbF(back.redF() * kMatchShade + base.redF() * (1 - kMatchShade),
                                back.greenF() * kMatchShade + base.greenF() * (1 - kMatchShade),
                                back.blueF() * kMatchShade + base.blueF() * (1 - kMatchShade));
    }
    const bool joined = next >= 0 && Marked(next, count);
    Fill(*FCanvas, x0, FPaintY, width + (joined ? space : 0), FRowHeight, QColorToTColor(back));
    FCanvas->SetBrushColor(QColorToTColor(back));
    if (selected)
        FCanvas->SetFontColor(QColorToTColor(colours.color(QPalette::HighlightedText)));
    return true;
}

int THexEditor::PaintRow(qint64 offset)
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
        const qint64 o = offset + i;
        const int x0 = FPaintX;
        const unsigned previous = SetCellColor(o, 1);
        const TColor brush = FCanvas->BrushColor();
        PaintMark(o, 1, -1, x0, FCellWidth, 0);
        if (o < FDataSize)
            PaintChar(ViewByte(o), FCellWidth);
        else
            PaintBlankChar();
        RecordCell(FHitRow, *this, x0, FPaintX - 1, o, 1);
        FCanvas->SetFontColor(TColor(previous));
        FCanvas->SetBrushColor(brush);
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

void THexEditor::PaintHexBytes(qint64 offset)
{
    FCellDigits = 2 * FBytesPerGroup;
    FInputDigits = 2;
    FCursorStep = 1;
    for (int i = 0; i < FBytesPerLine; ++i) {
        const qint64 o = offset + i;
        const int x0 = FPaintX;
        const unsigned previous = SetCellColor(o, 0);
        const TColor brush = FCanvas->BrushColor();
        const bool spaced = (i + 1) % FBytesPerGroup == 0 && i + 1 < FBytesPerLine;
        PaintMark(o, 1, spaced ? o + 1 : -1, x0, 2 * FCellWidth, FCellWidth);
        if (o < FDataSize)
            PaintByte(ViewByte(o));
        else
            PaintBlankByte();
        RecordCell(FHitRow, *this, x0, FPaintX - 1, o, 0);
        FCanvas->SetFontColor(TColor(previous));
        FCanvas->SetBrushColor(brush);
        if (spaced)
            PaintSpace();
        if (FCursorPanel == 0 && o == FCursorOffset)
            PaintByteCursor(x0, FPaintY, FDigit);
    }
}

void THexEditor::PaintDecimalBytes(qint64 offset)
{
    const int digits = DecimalDigitsForBytes(FBytesPerGroup);
    FCellDigits = digits;
    FInputDigits = digits;
    FCursorStep = FBytesPerGroup;
    const int cells = FBytesPerLine / FBytesPerGroup;
    for (int c = 0; c < cells; ++c) {
        const qint64 o = offset + qint64(c) * FBytesPerGroup;
        const int x0 = FPaintX;
        const unsigned previous = SetCellColor(o, 0);
        const TColor brush = FCanvas->BrushColor();
        PaintMark(o, FBytesPerGroup, c + 1 < cells ? o + FBytesPerGroup : -1, x0, FCellDigits * FCellWidth,
                  FCellWidth);
        if (o < FDataSize) {
            unsigned value = 0;
            for (int i = 0; i < FBytesPerGroup; ++i)
                value = (value << 8) | (o + i < FDataSize ? ViewByte(o + i) : 0);
            PaintDecimal(value, FCellDigits);
        } else {
            PaintBlankDecimal();
        }
        RecordCell(FHitRow, *this, x0, FPaintX - 1, o, 0);
        FCanvas->SetFontColor(TColor(previous));
        FCanvas->SetBrushColor(brush);
        PaintSpace();
        if (FCursorPanel == 0 && o == FCursorOffset)
            PaintByteCursor(x0, FPaintY, FDigit);
    }
}

void THexEditor::PaintAddress(qint64 offset)
{
    // Eight digits, more only when the data reach past them.
    char text[32];
    const auto value = static_cast<unsigned long long>(offset);
    if (FBaseOffset == 16)
        std::snprintf(text, sizeof text, "%0*llX", FAddressDigits, value);
    else if (FBaseOffset == 10)
        std::snprintf(text, sizeof text, "%0*llu", FAddressDigits, value);
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
    PaintCharCursor(cellX + digit * FCellWidth, rowY);
}

void THexEditor::PaintCharCursor(int cellX, int rowY)
{
    if (FInsertMode) {
        // A bar across the row, on the left edge of the digit or character
        // (one pixel on each side of it).
        FCursorX = qMax(cellX - 1, 0);
        FCursorY = rowY;
        FCursorWidth = kBarCursorWidth;
        FCursorHeight = FRowHeight;
    } else {
        FCursorX = cellX;
        FCursorY = rowY + FRowHeight - 2;
        FCursorWidth = FCellWidth;
        FCursorHeight = 2;
    }
    PaintCursor(CursorVisible() ? 1 : 0);
}

void THexEditor::PaintCursor(int on)
{
    if (FCursorX < 0 || !FCanvas)
        return;
    if (FInsertMode) {
        // Off, the cell beneath is what a paint drew: nothing to draw.
        if (on)
            Fill(*FCanvas, FCursorX, FCursorY, FCursorWidth, FCursorHeight, kCursorColor);
        return;
    }
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
        update(QRect(FCursorX, FCursorY, FCursorWidth, FCursorHeight));
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
