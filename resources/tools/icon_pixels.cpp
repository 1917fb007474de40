// Writes an image's pixels in the form the program reads its window icon in
// at start-up (Iconpixels.h), ready to use without decoding:
//   icon_pixels <input image> <output file>
#include "Iconpixels.h"

#include <QFile>
#include <QImage>

#include <cstdio>
#include <cstring>

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <input image> <output file>\n", argv[0]);
        return 2;
    }
    const QImage image =
        QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
        return 1;
    }
    TIconPixelsHeader header{};
    std::memcpy(header.Magic, IconPixelsMagic, sizeof header.Magic);
    header.Width = uint32_t(image.width());
    header.Height = uint32_t(image.height());
    QFile out(QString::fromLocal8Bit(argv[2]));
    bool ok = out.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && out.write(reinterpret_cast<const char*>(&header), sizeof header) == qint64(sizeof header);
    const qint64 row = qint64(image.width()) * 4;
    for (int y = 0; ok && y < image.height(); ++y)
        ok = out.write(reinterpret_cast<const char*>(image.constScanLine(y)), row) == row;
    if (!ok || !out.flush()) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[2]);
        return 1;
    }
    return 0;
}
