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
// A manual found that nothing on the desktop could open (no URL opener
// installed, say); the path follows, so the user can open it by hand.
constexpr char NotOpenedText[] = "Unable to open documentation:\n";
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

// The path of the manual found last, and whether the desktop took it.
struct TFound
{
    QByteArray Path;
    bool Opened = false;
};

int OpenFound(const char* path, TFound* found)
{
    if (!path || !*path)
        return 0;
    const QString file = QFile::decodeName(path);
    if (!QFileInfo(file).isFile())
        return 0;
    // A found manual ends the search, whether or not the desktop opens it.
    const bool opened = ShellOpenFile(file);
    if (found) {
        found->Path = QFile::encodeName(QFileInfo(file).absoluteFilePath());
        found->Opened = opened;
    }
    return 1;
}

int TryIn(const char* directory, const QByteArray& fileName, TFound* found)
{
    char path[DocPathSize];
    return JoinPath(directory, fileName.constData(), path) && OpenFound(path, found);
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
    return OpenFound(path, nullptr);
}

int ViewDocumentation(const char* baseName, const char* directory, int quiet)
{
    const QByteArray base(baseName ? baseName : "");
    const QByteArray html = base + ".html";
    const QByteArray htm = base + ".htm";

    TFound found;
    const auto search = [&]() -> int {
        if (directory && (TryIn(directory, html, &found) || TryIn(directory, htm, &found)))
            return 1;
        if (OpenFound(html.constData(), &found) || OpenFound(htm.constData(), &found))
            return 1;
        const QByteArray moduleDir = ModuleDirectory();
        if (moduleDir.isEmpty())
            return 0;
        if (TryIn(moduleDir.constData(), html, &found) || TryIn(moduleDir.constData(), htm, &found))
            return 1;
        const QByteArray docDir = QFile::encodeName(
            QDir::cleanPath(QFile::decodeName(moduleDir) + QLatin1Char('/') + QLatin1String(InstalledDocDirectory)));
        return TryIn(docDir.constData(), html, &found) || TryIn(docDir.constData(), htm, &found);
    };

    if (search()) {
        if (!found.Opened && !quiet)
            ShowMessageBox(nullptr, NotOpenedText + found.Path, NotFoundCaption);
        return 1;
    }
    if (!quiet)
        ShowMessageBox(nullptr, NotFoundText, NotFoundCaption);
    return 0;
}
