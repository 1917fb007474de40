#include "Viewdoc.h"

#include "Messagebox.h"
#include "Paths.h"
#include "Shellopen.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <cstring>

namespace {

constexpr char NotFoundText[] = "Unable to find documentation";
constexpr char NotFoundCaption[] = "error";
// Where an install puts the manual, relative to the executable's folder:
// <prefix>/bin and <prefix>/share/doc/tarvolin.
constexpr char InstalledDocDirectory[] = "../share/doc/tarvolin";

bool IsSeparator(char c)
{
#ifdef Q_OS_WIN
    return c == '/' || c == '\\' || c == ':';
#else
    return c == '/';
#endif
}

// The executable's directory without its trailing separator; empty when the
// executable's path is unknown or holds no separator.
QByteArray ModuleDirectory()
{
    QString file = ModuleFileName();
#ifdef Q_OS_WIN
    file.replace(QLatin1Char('\\'), QLatin1Char('/'));
#endif
    const QByteArray path = QFile::encodeName(file);
    const int slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArray();
    return slash == 0 ? QByteArray("/") : path.left(slash);
}

int TryIn(const char* directory, const QByteArray& fileName)
{
    char path[DocPathSize];
    return JoinPath(directory, fileName.constData(), path) && OpenIfExists(path);
}

} // namespace

int JoinPath(const char* directory, const char* fileName, char* dest)
{
    if (!dest)
        return 0;
    dest[0] = '\0';
    const char* dir = directory ? directory : "";
    const char* name = fileName ? fileName : "";
    const size_t dirLen = std::strlen(dir);
    const size_t nameLen = std::strlen(name);
    const bool separator = dirLen > 0 && !IsSeparator(dir[dirLen - 1]);
    const size_t total = dirLen + (separator ? 1 : 0) + nameLen;
    if (total >= size_t(DocPathSize))
        return 0;
    std::memcpy(dest, dir, dirLen);
    size_t at = dirLen;
    if (separator)
        dest[at++] = '/';
    std::memcpy(dest + at, name, nameLen);
    dest[total] = '\0';
    return 1;
}

int OpenIfExists(const char* path)
{
    if (!path || !*path)
        return 0;
    const QString file = QFile::decodeName(path);
    if (!QFileInfo(file).isFile())
        return 0;
    // Whether the desktop manages to open it is not examined: a found manual
    // ends the search either way.
    ShellOpenFile(file);
    return 1;
}

int ViewDocumentation(const char* baseName, const char* directory, int quiet)
{
    const QByteArray base(baseName ? baseName : "");
    const QByteArray html = base + ".html";
    const QByteArray htm = base + ".htm";

    if (directory && (TryIn(directory, html) || TryIn(directory, htm)))
        return 1;
    if (OpenIfExists(html.constData()) || OpenIfExists(htm.constData()))
        return 1;
    const QByteArray moduleDir = ModuleDirectory();
    if (!moduleDir.isEmpty()) {
        if (TryIn(moduleDir.constData(), html) || TryIn(moduleDir.constData(), htm))
            return 1;
        const QByteArray docDir = QFile::encodeName(
            QDir::cleanPath(QFile::decodeName(moduleDir) + QLatin1Char('/') + QLatin1String(InstalledDocDirectory)));
        if (TryIn(docDir.constData(), html) || TryIn(docDir.constData(), htm))
            return 1;
    }

    if (!quiet)
        ShowMessageBox(nullptr, NotFoundText, NotFoundCaption);
    return 0;
}
