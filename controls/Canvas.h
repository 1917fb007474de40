#pragma once
// TCanvas: the drawing surface every control of the library paints through.
//
// It wraps a QPainter (antialiasing off) and gives it the pixel rules the
// controls are written against:
//   - MoveTo/LineTo draw with a one-pixel pen and leave out the end point;
//   - FillRect and Rectangle take rectangles whose right and bottom edges are
//     exclusive;
//   - TextOut fills the text cell with the brush colour when the brush is
//     solid, and draws the text transparently otherwise;
//   - colours are TColor values, 0x00BBGGRR (red in the low byte). This is the
//     one place where they become QColor.
// Every rule counts logical pixels. On a screen with a device pixel ratio
// above 1 each logical pixel is filled as a whole block of device pixels (at
// a fractional ratio the block edges are rounded, so neighbours still meet),
// and a picture comes out as the ratio-1 picture scaled up; only text is
// drawn afresh by the font engine at the finer resolution.
// A canvas made from a paint device alone measures text but draws nothing;
// controls use it to lay out text outside a paint.
#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <cstdint>

class QPainter;
class QPaintDevice;
class QWidget;

// 0x00BBGGRR: red in the low byte, blue in the third. The high byte is ignored.
using TColor = std::int32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clBlue = 0xFF0000;

QColor TColorToQColor(TColor color);
TColor QColorToTColor(const QColor& color);
constexpr TColor RGBToTColor(int red, int green, int blue)
{
    return TColor((red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16));
}

// A rectangle given by its edges; Right and Bottom are exclusive, so a
// widget's client rectangle is (0, 0, width, height).
struct TRect
{
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;

    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    static TRect FromQRect(const QRect& r) { return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()}; }
    bool operator==(const TRect& o) const
    {
        return Left == o.Left && Top == o.Top && Right == o.Right && Bottom == o.Bottom;
    }
};

// The client rectangle of a widget: (0, 0, width, height).
TRect ClientRect(const QWidget* widget);

enum TPenStyle { psSolid, psClear };
enum TBrushStyle { bsSolid, bsClear };

// Font styles, combined as a set of bits.
enum TFontStyle : unsigned {
    fsBold = 1u << 0,
    fsItalic = 1u << 1,
    fsUnderline = 1u << 2,
    fsStrikeOut = 1u << 3,
};
using TFontStyles = unsigned;

class TCanvas
{
public:
    // Draws with the painter; measures text for the painter's device.
    explicit TCanvas(QPainter& painter);
    // Measures text for the device (e.g. a widget) and draws nothing.
    explicit TCanvas(const QPaintDevice* device);
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    bool CanDraw() const { return FPainter != nullptr; }
    QPainter* Painter() const { return FPainter; }

    // Pen: a one-pixel cosmetic pen.
    TColor PenColor() const { return FPenColor; }
    void SetPenColor(TColor color) { FPenColor = color; }
    TPenStyle PenStyle() const { return FPenStyle; }
    void SetPenStyle(TPenStyle style) { FPenStyle = style; }
    QPoint PenPos() const { return FPenPos; }

    // Brush: fills rectangles, ellipses and (when solid) text cells.
    TColor BrushColor() const { return FBrushColor; }
    void SetBrushColor(TColor color) { FBrushColor = color; }
    TBrushStyle BrushStyle() const { return FBrushStyle; }
    void SetBrushStyle(TBrushStyle style) { FBrushStyle = style; }

    // Font: typeface and size, colour, and a style set that is kept in step
    // with the QFont's bold/italic/underline/strike-out flags.
    const QFont& Font() const { return FFont; }
    void SetFont(const QFont& font);
    TColor FontColor() const { return FFontColor; }
    void SetFontColor(TColor color) { FFontColor = color; }
    TFontStyles FontStyle() const;
    void SetFontStyle(TFontStyles style);

    void MoveTo(int x, int y);
    // Draws from the pen position to (x, y) without (x, y) itself, then moves
    // the pen position there.
    void LineTo(int x, int y);
    // Fills [Left, Right) x [Top, Bottom) with the brush; nothing when the
    // brush is clear or the rectangle is empty.
    void FillRect(const TRect& rect);
    // Outline with the pen, inside with the brush, right/bottom exclusive.
    void Rectangle(int x1, int y1, int x2, int y2);
    // Ellipse inscribed in the rectangle, right/bottom exclusive.
    void Ellipse(int x1, int y1, int x2, int y2);

    // Text is 8-bit Latin-1. The cell of TextOut is TextExtent(text) at (x, y).
    void TextOut(int x, int y, const QByteArray& text);
    QSize TextExtent(const QByteArray& text) const;
    int TextWidth(const QByteArray& text) const;
    int TextHeight(const QByteArray& text) const;

    // The area of logical coordinates the device can show; the shaded
    // routines use it to skip work that could never reach a pixel.
    QRect VisibleArea() const;

private:
    void FillPixels(int x, int y, int w, int h, TColor color);
    void PixelRun(int x1, int y1, int x2, int y2, TColor color);

    QPainter* FPainter = nullptr;
    const QPaintDevice* FDevice = nullptr;
    QPoint FPenPos;
    TColor FPenColor = clBlack;
    TPenStyle FPenStyle = psSolid;
    TColor FBrushColor = clWhite;
    TBrushStyle FBrushStyle = bsSolid;
    QFont FFont;
    TColor FFontColor = clBlack;
};
