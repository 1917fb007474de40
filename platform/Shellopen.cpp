#include "Shellopen.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QString>

namespace {
TShellOpenHandler& Handler()
{
    static TShellOpenHandler handler;
    return handler;
}
} // namespace

bool ShellOpen(const QUrl& url)
{
    if (Handler())
        return Handler()(url);
    return QDesktopServices::openUrl(url);
}

bool ShellOpenAddress(const char* address)
{
    if (!address || !*address)
        return false;
    return ShellOpen(QUrl(QString::fromLatin1(address)));
}

bool ShellOpenFile(const QString& path)
{
    if (path.isEmpty())
        return false;
    return ShellOpen(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
}

TShellOpenHandler SetShellOpenHandler(TShellOpenHandler handler)
{
    TShellOpenHandler old = std::move(Handler());
    Handler() = std::move(handler);
    return old;
}
