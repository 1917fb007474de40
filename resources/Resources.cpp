#include "Resources.h"

#include <QCoreApplication>
#include <QImage>
#include <QImageReader>
#include <QPixmap>
#include <QString>

// Q_INIT_RESOURCE must be used outside any namespace; the name is the base
// name of the .qrc file.
static void InitTarvolinQrc()
{
    Q_INIT_RESOURCE(tarvolin);
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

} // namespace

QIcon TarvolinIcon()
{
    if (AppIcon.isNull()) {
        TarvolinInitResources();
        AppIcon = IconOf(LoadPng(TarvolinIconPath));
        // Pixmaps must not outlive the application object; the next one
        // decodes the icon again.
        if (!AppIcon.isNull())
            qAddPostRoutine([] { AppIcon = QIcon(); });
    }
    return AppIcon;
}

QIcon TarvolinTrayIcon()
{
    TarvolinInitResources();
    return IconOf(LoadPng(TarvolinTrayIconPath));
}
