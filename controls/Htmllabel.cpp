#include "Htmllabel.h"

#include "Controlsaccessible.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <string_view>

namespace {

enum TTagAction {
    tagHyperOn,
    tagHyperOff,
    tagBoldOn,
    tagBoldOff,
    tagUnderlineOn,
    tagUnderlineOff,
    tagItalicOn,
    tagItalicOff,
    tagStrikeOn,
    tagStrikeOff,
    tagBlueOn,
    tagBlueOff,
};

struct TTag
{
    std::string_view Text;
    TTagAction Action;
};

// Tried in this order at every position of the caption.
constexpr TTag Tags[] = {
    {"<hyper>", tagHyperOn},     {"</hyper>", tagHyperOff},   {"<b>", tagBoldOn},      {"</b>", tagBoldOff},
    {"<u>", tagUnderlineOn},     {"</u>", tagUnderlineOff},   {"<i>", tagItalicOn},    {"</i>", tagItalicOff},
    {"<strike>", tagStrikeOn},   {"</strike>", tagStrikeOff}, {"<blue>", tagBlueOn},   {"</blue>", tagBlueOff},
};

char Lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

// The tag starting at text[pos], or null.
const TTag* TagAt(const char* text, int length, int pos)
{
    for (const TTag& tag : Tags) {
        const int tagLength = int(tag.Text.size());
        if (length - pos < tagLength)
            continue;
        int i = 0;
        while (i < tagLength && Lower(text[pos + i]) == tag.Text[i])
            ++i;
        if (i == tagLength)
            return &tag;
    }
    return nullptr;
}

} // namespace

THtmlLabel::THtmlLabel(QWidget* parent) : QWidget(parent)
{
    InstallControlsAccessibility();
    FColor = QColorToTColor(palette().color(QPalette::Window));
    FFontColor = QColorToTColor(palette().color(QPalette::WindowText));
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(30, 13);
}

void THtmlLabel::SetCaption(const QString& caption)
{
    SetCaptionText(caption.toLatin1());
}

void THtmlLabel::SetCaptionText(const QByteArray& caption)
{
    FCaption = caption;
    AutoResize();
    repaint();
}

void THtmlLabel::SetAlignment(TAlignment value)
{
    FAlignment = value;
    AutoResize();
    repaint();
}

void THtmlLabel::SetWordWrap1(int value)
{
    FWordWrap = value;
    AutoResize();
    repaint();
}

void THtmlLabel::SetAutoSize1(int value)
{
    FAutoSize = value;
    AutoResize();
    repaint();
}

void THtmlLabel::SetColor(TColor value)
{
    FColor = value;
    repaint();
}

void THtmlLabel::SetFontColor(TColor value)
{
    FFontColor = value;
    repaint();
}

QSize THtmlLabel::MeasureText(TCanvas& canvas, const QByteArray& text)
{
    return canvas.TextExtent(text);
}

void THtmlLabel::DrawText(TCanvas& canvas, int x, int y, const QByteArray& text)
{
    canvas.TextOut(x, y, text);
}

void THtmlLabel::ProcessCaption(TCanvas& canvas)
{
    canvas.SetFont(font());
    canvas.SetFontColor(FFontColor);

    // At most MaxPassLength characters are read; a longer caption is cut.
    const char* text = FCaption.constData();
    const int length = int(std::min<qsizetype>(FCaption.size(), MaxPassLength));

    FRunEnd = 0;
    FPenX = FLineStart;
    FPenY = 0;
    FTextWidth = 0;
    FLineHeight = 0;
    // A closing colour tag with no opening one restores the starting colour.
    TColor saved = canvas.FontColor();
    FInHyper = false;

    int pos = 0;
    // An embedded NUL ends the caption as the terminator would.
    while (pos < length && text[pos] != '\0') {
        if (const TTag* tag = TagAt(text, length, pos)) {
            DumpText(canvas);
            const TFontStyles style = canvas.FontStyle();
            switch (tag->Action) {
            case tagHyperOn:
                if (FLinkSink && !FInHyper)
                    FLinkSink->append(THyperLink());
                FInHyper = true;
                saved = canvas.FontColor();
                canvas.SetFontColor(clBlue);
                canvas.SetFontStyle(style | fsUnderline);
                break;
            case tagHyperOff:
                FInHyper = false;
                canvas.SetFontColor(saved);
                canvas.SetFontStyle(style & ~fsUnderline);
                break;
            case tagBoldOn: canvas.SetFontStyle(style | fsBold); break;
            case tagBoldOff: canvas.SetFontStyle(style & ~fsBold); break;
            case tagUnderlineOn: canvas.SetFontStyle(style | fsUnderline); break;
            case tagUnderlineOff: canvas.SetFontStyle(style & ~fsUnderline); break;
            case tagItalicOn: canvas.SetFontStyle(style | fsItalic); break;
            case tagItalicOff: canvas.SetFontStyle(style & ~fsItalic); break;
            case tagStrikeOn: canvas.SetFontStyle(style | fsStrikeOut); break;
            case tagStrikeOff: canvas.SetFontStyle(style & ~fsStrikeOut); break;
            case tagBlueOn:
                saved = canvas.FontColor();
                canvas.SetFontColor(clBlue);
                break;
            case tagBlueOff: canvas.SetFontColor(saved); break;
            }
            pos += int(tag->Text.size());
        } else if (text[pos] == ' ') {
            DumpText(canvas);
            DumpSpace(canvas);
            ++pos;
        } else {
            // The run never outgrows the part read, which fits FRun.
            FRun[FRunEnd++] = text[pos++];
        }
    }
    DumpText(canvas);
}

void THtmlLabel::DumpText(TCanvas& canvas)
{
    if (FRunEnd == 0)
        return;
    const QByteArray run(FRun, FRunEnd);
    const QSize extent = MeasureText(canvas, run);
    if (FWordWrap != 0 && FPenX + extent.width() > width()) {
        FPenX = FLineStart;
        FPenY += FLineHeight;
    }
    if (FDrawing != 0)
        DrawText(canvas, FPenX, FPenY, run);
    if (FLinkSink && FInHyper) {
        THyperLink& link = FLinkSink->last();
        link.Text += QString::fromLatin1(run);
        link.Box |= QRect(FPenX, FPenY, extent.width(), extent.height());
    }
    FPenX += extent.width();
    FTextWidth += extent.width();
    if (extent.height() > FLineHeight)
        FLineHeight = extent.height();
    FRunEnd = 0;
}

void THtmlLabel::DumpSpace(TCanvas& canvas)
{
    if (FPenX == FLineStart)
        return;
    static const QByteArray space(" ");
    if (FDrawing != 0)
        DrawText(canvas, FPenX, FPenY, space);
    if (FLinkSink && FInHyper && !FLinkSink->last().Text.isEmpty())
        FLinkSink->last().Text += QLatin1Char(' ');
    FPenX += MeasureText(canvas, space).width();
}

void THtmlLabel::GetExtent(QSize* extent)
{
    TCanvas canvas(static_cast<const QPaintDevice*>(this));
    FDrawing = 0;
    ProcessCaption(canvas);
    if (extent)
        *extent = QSize(FTextWidth, FLineHeight);
}

QString THtmlLabel::PlainText() const
{
    const char* text = FCaption.constData();
    const int length = int(std::min<qsizetype>(FCaption.size(), MaxPassLength));
    QString plain;
    int pos = 0;
    while (pos < length && text[pos] != '\0') {
        if (const TTag* tag = TagAt(text, length, pos))
            pos += int(tag->Text.size());
        else
            plain += QLatin1Char(text[pos++]);
    }
    return plain;
}

QList<THtmlLabel::THyperLink> THtmlLabel::HyperLinks()
{
    QList<THyperLink> links;
    FLinkSink = &links;
    GetExtent(nullptr);
    FLinkSink = nullptr;
    for (THyperLink& link : links) {
        // A space before "</hyper>" is not part of the link's words.
        while (link.Text.endsWith(QLatin1Char(' ')))
            link.Text.chop(1);
    }
    return links;
}

void THtmlLabel::AutoResize()
{
    GetExtent(nullptr);
    if (FAutoSize != 0) {
        resize(FTextWidth, height());
        resize(width(), FLineHeight);
    }
    switch (FAlignment) {
    case taLeftJustify: FLineStart = 0; break;
    case taRightJustify: FLineStart = width() - FTextWidth; break;
    case taCenter: FLineStart = (width() - FTextWidth) / 2; break;
    default: break;
    }
}

void THtmlLabel::Paint(TCanvas& canvas)
{
    canvas.SetBrushStyle(bsSolid);
    canvas.SetBrushColor(FColor);
    canvas.FillRect(ClientRect(this));
    FDrawing = 1;
    ProcessCaption(canvas);
    FDrawing = 0;
}

void THtmlLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    TCanvas canvas(painter);
    Paint(canvas);
}

void THtmlLabel::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        AutoResize();
        repaint();
    }
}

void THtmlLabel::mousePressEvent(QMouseEvent* event)
{
    FPressed = event->button() == Qt::LeftButton;
    const QPoint p = event->position().toPoint();
    emit OnMouseDown(this, event->button(), event->modifiers(), p.x(), p.y());
}

void THtmlLabel::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = FPressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    FPressed = false;
    if (click)
        emit OnClick(this);
}
