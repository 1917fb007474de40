#include "Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
QString& ModuleOverride()
{
    static QString path;
    return path;
}

constexpr QFileDevice::Permissions OwnerReadWrite =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser;
constexpr QFileDevice::Permissions OthersAll =
    QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther
    | QFileDevice::WriteOther | QFileDevice::ExeOther;
} // namespace

QString ModuleFileName()
{
    if (!ModuleOverride().isEmpty())
        return ModuleOverride();
    if (!QCoreApplication::instance())
        return QString();
    return QCoreApplication::applicationFilePath();
}

void SetModuleFileNameOverride(const QString& path)
{
    ModuleOverride() = path;
}

QString ConfigHome()
{
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return QDir::cleanPath(xdg);
    return QDir::homePath() + QStringLiteral("/.config");
}

bool NativeSettingsAreFiles()
{
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
    return false;
#else
    return true;
#endif
}

bool CreateOwnerOnlyFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, OwnerReadWrite))
        return false;
    file.close();
    return true;
}

bool KeepOwnerOnly(const QString& path)
{
    QFile file(path);
    const QFileDevice::Permissions now = file.permissions();
    if (!(now & OthersAll))
        return true;
    return file.setPermissions(now & ~OthersAll);
}
