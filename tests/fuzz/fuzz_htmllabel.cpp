// The mark-up label's measuring and painting passes over any caption: tags
// cut anywhere, captions of thousands of characters, bytes 0x80..0xFF.
//
// The label's two seams record every run it measures and draws; the runs
// must be exactly those an independent reading of the caption gives (the
// first 1023 characters, up to an embedded NUL, tags taken out, split at
// spaces), the extent must be their summed width and tallest height, and the
// paint must draw the same runs in order, left to right within a line and
// line by line downwards.
#include "FuzzCheck.h"
#include "QtFuzzEnv.h"

#include "Canvas.h"
#include "Htmllabel.h"

#include <QImage>
#include <QPainter>

#include <cstring>
#include <vector>

namespace {

const char* const TagTexts[] = {"<hyper>", "</hyper>", "<b>", "</b>", "<u>", "</u>", "<i>", "</i>",
                                "<strike>", "</strike>", "<blue>", "</blue>"};

char Lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

int TagLengthAt(const QByteArray& text, int pos)
{
    for (const char* tag : TagTexts) {
        const int n = int(std::strlen(tag));
        if (text.size() - pos < n)
            continue;
        int i = 0;
        while (i < n && Lower(text[pos + i]) == tag[i])
            ++i;
        if (i == n)
            return n;
    }
    return 0;
}

std::vector<QByteArray> ExpectedRuns(const QByteArray& caption)
{
    QByteArray text = caption.left(THtmlLabel::MaxPassLength);
    const int nul = text.indexOf('\0');
    if (nul >= 0)
        text.truncate(nul);
    std::vector<QByteArray> runs;
    QByteArray run;
    int pos = 0;
    while (pos < text.size()) {
        if (const int n = TagLengthAt(text, pos)) {
            if (!run.isEmpty())
                runs.push_back(run);
            run.clear();
            pos += n;
        } else if (text[pos] == ' ') {
            if (!run.isEmpty())
                runs.push_back(run);
            run.clear();
            ++pos;
        } else {
            run += text[pos++];
        }
    }
    if (!run.isEmpty())
        runs.push_back(run);
    return runs;
}

struct TDrawn
{
    int X;
    int Y;
    QByteArray Text;
};

class TProbeLabel : public THtmlLabel
{
public:
    std::vector<QByteArray> Measured; // runs only, spaces left out
    std::vector<QSize> Sizes;
    std::vector<TDrawn> Drawn;

    void Reset()
    {
        Measured.clear();
        Sizes.clear();
        Drawn.clear();
    }

protected:
    QSize MeasureText(TCanvas& canvas, const QByteArray& text) override
    {
        const QSize size = THtmlLabel::MeasureText(canvas, text);
        FUZZ_CHECK(!text.isEmpty());
        FUZZ_CHECK(text.size() <= MaxPassLength);
        FUZZ_CHECK(size.width() >= 0 && size.height() >= 0);
        if (text != " ") {
            Measured.push_back(text);
            Sizes.push_back(size);
        }
        return size;
    }
    void DrawText(TCanvas& canvas, int x, int y, const QByteArray& text) override
    {
        if (text != " ")
            Drawn.push_back({x, y, text});
        THtmlLabel::DrawText(canvas, x, y, text);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TFuzzInput in(data, size);
    const unsigned char flags = in.Byte();
    const int width = int(in.Word16() % 700);
    const QByteArray rest(reinterpret_cast<const char*>(data) + (size - in.Left()), int(in.Left()));

    // Bit 3 stretches the caption to 5,000 characters by repeating it.
    QByteArray caption = rest;
    if ((flags & 8) && !rest.isEmpty()) {
        while (caption.size() < 5000)
            caption += rest;
        caption.truncate(5000);
    }

    static TProbeLabel* label = new TProbeLabel;
    label->SetAutoSize1(0);
    label->SetWordWrap1(flags & 1);
    label->SetAlignment(THtmlLabel::TAlignment((flags >> 1) % 3));
    label->resize(width, 40);
    label->SetAutoSize1((flags >> 4) & 1);

    label->Reset();
    label->SetCaptionText(caption);
    label->Reset();
    QSize extent(-1, -1);
    label->GetExtent(&extent);

    const std::vector<QByteArray> expected = ExpectedRuns(caption);
    FUZZ_CHECK(label->Measured == expected);
    int sumWidth = 0;
    int maxHeight = 0;
    for (const QSize& s : label->Sizes) {
        sumWidth += s.width();
        maxHeight = qMax(maxHeight, s.height());
    }
    FUZZ_CHECK(extent == QSize(sumWidth, maxHeight));

    // A caption longer than one pass reads measures as its first 1023
    // characters do.
    if (caption.size() > THtmlLabel::MaxPassLength) {
        static TProbeLabel* cut = new TProbeLabel;
        cut->SetAutoSize1(0);
        cut->SetWordWrap1(flags & 1);
        cut->resize(label->width(), label->height());
        cut->SetCaptionText(caption.left(THtmlLabel::MaxPassLength));
        QSize cutExtent;
        cut->GetExtent(&cutExtent);
        FUZZ_CHECK(cutExtent == extent);
    }

    if (label->AutoSize())
        FUZZ_CHECK(label->width() == qMax(extent.width(), label->minimumWidth()) || extent.width() > QWIDGETSIZE_MAX);

    // Paint into an image through the label's own canvas.
    label->Reset();
    QImage image(qBound(1, label->width(), 2000), qBound(1, label->height(), 200), QImage::Format_RGB32);
    {
        QPainter painter(&image);
        TCanvas canvas(painter);
        label->Paint(canvas);
    }
    FUZZ_CHECK(label->Drawn.size() == expected.size());
    for (size_t i = 0; i < label->Drawn.size(); ++i) {
        FUZZ_CHECK(label->Drawn[i].Text == expected[i]);
        if (i == 0)
            continue;
        const TDrawn& a = label->Drawn[i - 1];
        const TDrawn& b = label->Drawn[i];
        // Within a line the pen only moves right; a wrap starts a lower line
        // at the line start.
        FUZZ_CHECK((b.Y == a.Y && b.X >= a.X) || (b.Y > a.Y && b.X == label->LineStart()));
        if (!label->WordWrap())
            FUZZ_CHECK(b.Y == a.Y);
    }
    return 0;
}
