#include "Autoload.h"

#include "Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>

#include <cstring>

namespace {

constexpr char EntryName[] = "Tarvolin";
constexpr char EntryIcon[] = "tarvolin";
constexpr int ErrorFailed = 1;

bool ValidValueName(const char* valueName)
{
    if (!valueName || !*valueName)
        return false;
    return !std::strpbrk(valueName, "/\\") && std::strcmp(valueName, ".") != 0
           && std::strcmp(valueName, "..") != 0;
}

// A desktop entry's Exec argument in double quotes: '"', '`', '$' and '\' are
// escaped with a backslash inside the quotes, and '%' is doubled so it is not
// taken for a field code.
QString QuotedArgument(const QString& arg)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : arg) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        else if (c == QLatin1Char('%'))
            out += QLatin1Char('%');
        out += c;
    }
    out += QLatin1Char('"');
    return out;
}

// The general escapes of a string value, applied over the quoting above.
QString EscapedValue(const QString& value)
{
    QString out;
    for (const QChar c : value) {
        switch (c.unicode()) {
        case '\\': out += QStringLiteral("\\\\"); break;
        case '\n': out += QStringLiteral("\\n"); break;
        case '\t': out += QStringLiteral("\\t"); break;
        case '\r': out += QStringLiteral("\\r"); break;
        default: out += c;
        }
    }
    return out;
}

#ifndef Q_OS_WIN
int WriteEntry(const QString& path, const QString& program)
{
    const QString dir = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(dir))
        return ErrorFailed;
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Version=1.0\n"
                                        "Name=%1\n"
                                        "Comment=Start %1 hidden in the notification area\n"
                                        "Icon=%2\n"
                                        "Exec=%3\n"
                                        "Terminal=false\n")
                             .arg(QLatin1String(EntryName), QLatin1String(EntryIcon), AutoLoadExecLine(program));
    const QByteArray data = text.toUtf8();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit())
        return ErrorFailed;
    return 0;
}
#endif

} // namespace

QString AutoLoadExecLine(const QString& program)
{
    return EscapedValue(QuotedArgument(program)) + QLatin1Char(' ') + QLatin1String(AutoLoadSwitch);
}

QString AutoLoadEntryPath(const char* valueName)
{
    if (!ValidValueName(valueName))
        return QString();
    return ConfigHome() + QStringLiteral("/autostart/") + QString::fromLatin1(valueName)
           + QStringLiteral(".desktop");
}

int SetAutoLoad(int enable, const char* valueName)
{
    if (!ValidValueName(valueName))
        return ErrorFailed;
#ifdef Q_OS_WIN
    QSettings run(QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"),
                  QSettings::NativeFormat);
    const QString name = QString::fromLatin1(valueName);
    if (!enable) {
        run.remove(name);
    } else {
        const QString program = QDir::toNativeSeparators(ModuleFileName());
        if (program.isEmpty())
            return ErrorFailed;
        run.setValue(name, QStringLiteral("\"%1\" %2").arg(program, QLatin1String(AutoLoadSwitch)));
    }
    run.sync();
    return run.status() == QSettings::NoError ? 0 : ErrorFailed;
#else
    const QString path = AutoLoadEntryPath(valueName);
    if (!enable) {
        const QFileInfo info(path);
        if (!info.exists() && !info.isSymLink())
            return 0;
        return QFile::remove(path) ? 0 : ErrorFailed;
    }
    const QString program = ModuleFileName();
    if (program.isEmpty())
        return ErrorFailed;
    return WriteEntry(path, program);
#endif
}
