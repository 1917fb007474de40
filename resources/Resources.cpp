#include "Resources.h"

#include "Deferredicon.h"
#include "Iconpixels.h"

#include <QCoreApplication>
#include <QResource>
#include <QImage>
#include <QImageReader>
#include <QPixmap>
#include <QString>

#include <cstring>
#include <memory>

// Q_INIT_RESOURCE must be used outside any namespace; the names are the base
// names of the .qrc files.
static void InitTarvolinQrc()
{
    Q_INIT_RESOURCE(tarvolin);
    Q_INIT_RESOURCE(tarvolin_pixels);
}

void TarvolinInitResources()
{
    static bool done = false;
    if (!done) {
        InitTarvolinQrc();
        done = true;
    }
}

namespace {

constexpr const char* TarvolinIconPixelsPath = ":/icons/tarvolin.pixels";
constexpr uint32_t IconPixelsMaxSide = 1024;

// The image of a resource in the form of Iconpixels.h; null when it is
// missing or not in that form. The image uses the resource's bytes in place.
QImage LoadIconPixels(const char* path)
{
    const QResource resource(QString::fromLatin1(path));
    if (!resource.isValid())
        return QImage();
    auto bytes = std::make_unique<QByteArray>(resource.uncompressedData());
    TIconPixelsHeader header{};
    if (bytes->size() < qsizetype(sizeof header))
        return QImage();
    std::memcpy(&header, bytes->constData(), sizeof header);
    if (std::memcmp(header.Magic, IconPixelsMagic, sizeof header.Magic) != 0 || header.Width == 0
        || header.Height == 0 || header.Width > IconPixelsMaxSide || header.Height > IconPixelsMaxSide)
        return QImage();
    const qsizetype rowBytes = qsizetype(header.Width) * 4;
    if (bytes->size() != qsizetype(sizeof header) + rowBytes * qsizetype(header.Height))
        return QImage();
    const auto* pixels = reinterpret_cast<const uchar*>(bytes->constData() + sizeof header);
    QByteArray* owner = bytes.release();
    return QImage(pixels, int(header.Width), int(header.Height), rowBytes,
        QImage::Format_ARGB32_Premultiplied, [](void* data) { delete static_cast<QByteArray*>(data); }, owner);
}

// Our icons are PNG files, read by Qt's built-in PNG reader. A reader left to
// detect the format (as QIcon(path) is) first asks every installed
// image-format plugin whether it reads the format, which loads all of them
// and the libraries they need.
QImage LoadPng(const char* path)
{
    QImageReader reader(QString::fromLatin1(path), "png");
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

QIcon IconOf(QImage image)
{
    return image.isNull() ? QIcon() : QIcon(QPixmap::fromImage(std::move(image)));
}

QIcon AppIcon;
bool AppIconMade = false;

} // namespace

QIcon TarvolinIcon()
{
    if (!AppIconMade) {
        TarvolinInitResources();
        // The pixels are unpacked whenever a window is made (the window
        // system keeps its own copy), not held for the whole run.
        AppIcon = RemadeIcon([] {
            QImage image = LoadIconPixels(TarvolinIconPixelsPath);
            if (image.isNull())
                image = LoadPng(TarvolinIconPath);
            return image;
        });
        // Pixmaps must not outlive the application object; the next one
        // makes the icon again.
        qAddPostRoutine([] {
            AppIcon = QIcon();
            AppIconMade = false;
        });
        AppIconMade = true;
    }
    return AppIcon;
}

QIcon TarvolinTrayIcon()
{
    TarvolinInitResources();
    return IconOf(LoadPng(TarvolinTrayIconPath));
}
