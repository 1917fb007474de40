#pragma once
// Shaded painting routines and TGlimraPanel, the container that paints a
// shaded bar along its four edges and fills the inside with its colour.
//
// Channel arguments (red, green, blue, and the panel's DoRed/DoGreen/DoBlue):
// -1 makes the channel follow the ring's ramp level, any other value is a
// fixed level of which only the low 8 bits count (256 gives 0, -2 gives 254).
// Every routine leaves the canvas's pen colour as it found it.
#include "Canvas.h"

#include <QWidget>

// The pen colour for ring or line number `index` of a ramp with the given
// step: each channel is the low byte of index * step when it is -1, and the
// low byte of the channel value otherwise.
TColor GradientColor(int index, int step, int red, int green, int blue);

// One-pixel outline of the inclusive rectangle (x1, y1)-(x2, y2), drawn with
// the current pen; all four corners are set.
void OutlineRect(TCanvas& canvas, int x1, int y1, int x2, int y2);

// 2 * (barWidth / 2) - 1 one-pixel rings just inside rect's right and bottom
// edges and the origin; the ramp is 0 along the middle ring and rises by
// maxInc / (barWidth / 2) per ring toward both edges of the bar. rect.Left
// and rect.Top are not read: insets count from x = 0 and y = 0.
void GradientFrame(TCanvas& canvas, const TRect& rect, int barWidth, int maxInc, int red, int green, int blue);

// A vertical bar 2 * (barWidth / 2) - 1 columns wide, centred on column
// x + gap / 2 - 1, from row top down to (not including) row bottom; the ramp
// span is 150.
void GradientVertBar(TCanvas& canvas, int x, int top, int bottom, int barWidth, int gap, int red, int green,
                     int blue);

// TGlimraPanel properties (Q_PROPERTY, shown by Designer): Color, the fill
// inside the bar, as 0x00BBGGRR; DoRed, DoGreen, DoBlue, the channels of the
// bar as above; MaxInc, how far the ramp rises from the bar's middle to its
// edges; BarWidth, the bar's width in pixels. The panel is a container: put
// other widgets on it as on any QWidget. Screen readers see it as a grouping
// of its children (Controlsaccessible.h).
class TGlimraPanel : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int Color READ Color WRITE SetColor)
    Q_PROPERTY(int DoRed READ DoRed WRITE SetDoRed)
    Q_PROPERTY(int DoGreen READ DoGreen WRITE SetDoGreen)
    Q_PROPERTY(int DoBlue READ DoBlue WRITE SetDoBlue)
    Q_PROPERTY(int MaxInc READ MaxInc WRITE SetMaxInc)
    Q_PROPERTY(int BarWidth READ BarWidth WRITE SetBarWidth)

public:
    explicit TGlimraPanel(QWidget* parent = nullptr);

    TColor Color() const { return FColor; }
    int DoRed() const { return FDoRed; }
    int DoGreen() const { return FDoGreen; }
    int DoBlue() const { return FDoBlue; }
    int MaxInc() const { return FMaxInc; }
    int BarWidth() const { return FBarWidth; }

    // Each setter stores the value as given, unchecked, and repaints at once,
    // even when the value did not change.
    void SetColor(TColor value);
    void SetDoRed(int value);
    void SetDoGreen(int value);
    void SetDoBlue(int value);
    void SetMaxInc(int value);
    void SetBarWidth(int value);

    // uic calls a custom widget's property setters by Qt's naming rule
    // (property "DoRed" -> setDoRed), so forms built in Designer need these.
    void setColor(int value) { SetColor(value); }
    void setDoRed(int value) { SetDoRed(value); }
    void setDoGreen(int value) { SetDoGreen(value); }
    void setDoBlue(int value) { SetDoBlue(value); }
    void setMaxInc(int value) { SetMaxInc(value); }
    void setBarWidth(int value) { SetBarWidth(value); }

    // The whole picture: the rings first, then the fill inside them.
    void Paint(TCanvas& canvas);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TColor FColor;
    int FBarWidth = 6;
    int FDoRed = 255;
    int FDoGreen = -1;
    int FDoBlue = 0;
    int FMaxInc = 150;
};
