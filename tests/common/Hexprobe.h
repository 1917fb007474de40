#pragma once
// THexEditor with its layout state and file seams opened up for the tests.
#include "Hexcontrol.h"

#include <QByteArray>
#include <QImage>


class THexProbe : public THexEditor
{
public:
    using THexEditor::THexEditor;
    using THexEditor::FCellDigits;
    using THexEditor::FCellWidth;
    using THexEditor::FCursorHeight;
    using THexEditor::FCursorWidth;
    using THexEditor::FCursorX;
    using THexEditor::FCursorY;
    using THexEditor::FCharSeparatorX;
    using THexEditor::FAddrSeparatorX;
    using THexEditor::FAddressDigits;
    using THexEditor::FDigit;
    using THexEditor::FHitList;
    using THexEditor::FInputDigits;
    using THexEditor::FRowHeight;
    using THexEditor::FRowWidth;
    using THexEditor::FSearchPos;
    using THexEditor::FSearchText;

    // Replaces the buffer with a copy of `bytes`.
    void SetBytes(const QByteArray& bytes)
    {
        FreeData();
        AllocData(bytes.size());
        Document()->Write(0, bytes.constData(), bytes.size());
    }

    // Paints the whole control into an image, as a paint event would.
    QImage Snapshot()
    {
        QImage image(size(), QImage::Format_RGB32);
        image.fill(Qt::magenta);
        render(&image);
        return image;
    }

    // Stops a load or save after `limit` bytes when limit >= 0.
    qint64 ReadLimit = -1;
    qint64 WriteLimit = -1;
    qint64 Moved = 0;

protected:
    qint64 ReadBlock(QIODevice& file, char* data, qint64 size) override
    {
        if (ReadLimit >= 0)
            size = qMin(size, ReadLimit - Moved);
        if (size <= 0)
            return 0;
        const qint64 n = THexEditor::ReadBlock(file, data, size);
        Moved += qMax<qint64>(n, 0);
        return n;
    }
    qint64 WriteBlock(QIODevice& file, const char* data, qint64 size) override
    {
        if (WriteLimit >= 0 && Moved >= WriteLimit)
            return -1;
        const qint64 n = THexEditor::WriteBlock(file, data, size);
        Moved += qMax<qint64>(n, 0);
        return n;
    }
};
