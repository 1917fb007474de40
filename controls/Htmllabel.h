#pragma once
// THtmlLabel: a label that draws its caption with a few inline mark-up tags.
//
// Tags, compared without regard to case and recognised anywhere, even inside
// a word: <b> </b> <i> </i> <u> </u> <strike> </strike> switch the font
// styles; <blue> </blue> switch the text colour to blue and back; <hyper>
// </hyper> do both with the underline. Everything else, including unknown
// tags, is drawn as text. Only the space separates words; a line wraps only
// before a run (a stretch without spaces and tags), never inside one.
//
// The whole caption is parsed again for every measurement and every paint;
// there is no cached layout. Captions are 8-bit Latin-1 text; a pass reads at
// most the first 1023 characters.
//
// Properties (Q_PROPERTY, shown by Designer): Caption; AutoSize (non-zero:
// the label takes the size of its text); WordWrap (non-zero: lines wrap at
// the label's width); Alignment of each line; Color, the background, and
// FontColor, the text outside <blue> and <hyper>, as 0x00BBGGRR values.
// Signals, raised with the label as first argument: OnMouseDown at every
// button press (button, modifiers and the point in the label), OnClick when
// the left button is pressed and released inside the label.
//
// Screen readers read the label as static text, its caption without the
// tags, and each <hyper> section as a link whose press raises OnClick, as a
// click on it does (Controlsaccessible.h; installed when the first label is
// made).
#include "Canvas.h"

#include <QByteArray>
#include <QList>
#include <QRect>
#include <QWidget>

class THtmlLabel : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int AutoSize READ AutoSize WRITE SetAutoSize1)
    Q_PROPERTY(int WordWrap READ WordWrap WRITE SetWordWrap1)
    Q_PROPERTY(QString Caption READ GetCaption WRITE SetCaption)
    Q_PROPERTY(int Color READ Color WRITE SetColor)
    Q_PROPERTY(int FontColor READ FontColor WRITE SetFontColor)
    Q_PROPERTY(TAlignment Alignment READ Alignment WRITE SetAlignment)

public:
    // A fixed underlying type: any stored value is a valid TAlignment.
    enum TAlignment : int { taLeftJustify = 0, taRightJustify = 1, taCenter = 2 };
    Q_ENUM(TAlignment)

    // Longest caption one pass reads, and so the longest run.
    static constexpr int MaxPassLength = 1023;

    explicit THtmlLabel(QWidget* parent = nullptr);

    int AutoSize() const { return FAutoSize; }
    int WordWrap() const { return FWordWrap; }
    TAlignment Alignment() const { return FAlignment; }
    TColor Color() const { return FColor; }
    TColor FontColor() const { return FFontColor; }
    QString GetCaption() const { return QString::fromLatin1(FCaption); }
    const QByteArray& CaptionText() const { return FCaption; }

    // Each stores the value unchanged (no comparison with the old one),
    // measures again and repaints.
    void SetCaption(const QString& caption);
    void SetCaptionText(const QByteArray& caption);
    void SetAlignment(TAlignment value);
    void SetWordWrap1(int value);
    void SetAutoSize1(int value);
    // Colours repaint only; they do not change the layout.
    void SetColor(TColor value);
    void SetFontColor(TColor value);

    // Property setters under the names uic generates for custom widgets.
    void setAutoSize(int value) { SetAutoSize1(value); }
    void setWordWrap(int value) { SetWordWrap1(value); }
    void setCaption(const QString& value) { SetCaption(value); }
    void setColor(int value) { SetColor(value); }
    void setFontColor(int value) { SetFontColor(value); }
    void setAlignment(TAlignment value) { SetAlignment(value); }

    // Runs a measuring pass; stores the summed run width and the tallest run
    // height into `extent` when given.
    void GetExtent(QSize* extent);
    // Measures, sizes the control to the text when AutoSize is on, and
    // computes the x every line starts at from the alignment.
    void AutoResize();
    // Background in Color, then the caption with opaque text cells.
    void Paint(TCanvas& canvas);

    int LineStart() const { return FLineStart; }

    // The caption as it reads: the part a pass reads, without the tags.
    QString PlainText() const;
    // A <hyper> section: its text without tags, and the box its runs take
    // in the label (empty when it has no text).
    struct THyperLink
    {
        QString Text;
        QRect Box;
    };
    // The caption's <hyper> sections in order, laid out as a paint would lay
    // them now (a measuring pass). A section runs to its "</hyper>" or the end.
    QList<THyperLink> HyperLinks();

signals:
    void OnClick(QObject* sender);
    void OnMouseDown(QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);

protected:
    // Every run and space of a pass is measured and drawn through these two.
    virtual QSize MeasureText(TCanvas& canvas, const QByteArray& text);
    virtual void DrawText(TCanvas& canvas, int x, int y, const QByteArray& text);

    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void ProcessCaption(TCanvas& canvas);
    void DumpText(TCanvas& canvas);
    void DumpSpace(TCanvas& canvas);

    QByteArray FCaption;
    int FPenX = 0;
    int FPenY = 0;
    int FLineStart = 0;
    int FTextWidth = 0;
    int FLineHeight = 0;
    char FRun[MaxPassLength] = {};
    int FRunEnd = 0;
    int FDrawing = 0;
    int FAutoSize = 0;
    int FWordWrap = 0;
    TAlignment FAlignment = taLeftJustify;
    TColor FColor;
    TColor FFontColor;
    bool FPressed = false;
    // While HyperLinks() measures: where it collects the sections.
    QList<THyperLink>* FLinkSink = nullptr;
    bool FInHyper = false;
};
