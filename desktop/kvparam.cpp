#include "kvparam.h"

#include "Paths.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLockFile>
#include <QMutex>
#include <QSaveFile>
#include <QSettings>
#include <QStringList>

#include <climits>
#include <cstring>

namespace {

constexpr char Vendor[] = "Dremsel";
// Extension of the settings files QSettings writes in its native format on
// this platform, and of the format used only to learn their path.
constexpr char NativeExtension[] = "conf";
constexpr char PathOnlyExtension[] = "tarvolin-path";

bool ReadNothing(QIODevice&, QSettings::SettingsMap&)
{
    return true;
}

bool WriteNothing(QIODevice&, const QSettings::SettingsMap&)
{
    return false;
}

// A settings format kept in the same folder as the native one whose reader
// and writer never touch a file's content.
QSettings::Format PathOnlyFormat()
{
    static const QSettings::Format format =
        QSettings::registerFormat(QLatin1String(PathOnlyExtension), ReadNothing, WriteNothing);
    return format;
}
constexpr int IntTextSize = 32;           // an integer read from a profile file: at most 31 characters
constexpr int ProfileLockTimeoutMs = 10000;
constexpr int ErrorInvalidHandle = 6;     // the write result of a store that could not be opened
constexpr int ErrorAccessDenied = 5;      // the write result of a read-only store

// Copies text into a fixed field, cut to fit, always terminated.
void CopyName(char (&dest)[ParamNameSize], const char* text)
{
    dest[0] = '\0';
    if (!text)
        return;
    const size_t len = qMin(std::strlen(text), size_t(ParamNameSize - 1));
    std::memcpy(dest, text, len);
    dest[len] = '\0';
}

// The length of text cut as ParamCutText cuts it.
int CutLength(const QByteArray& text, int maxBytes)
{
    const int whole = int(std::strlen(text.constData()));
    int len = qMax(0, qMin(whole, maxBytes));
    for (int back = 0; len < whole && len > 0 && back < 3 && (uchar(text.at(len)) & 0xC0) == 0x80; ++back)
        --len;
    return len;
}

// Puts text into dest, cut by ParamCutText to destSize - 1 bytes, terminated.
int FillDest(char* dest, int destSize, const QByteArray& text)
{
    if (!dest || destSize <= 0)
        return 0;
    const int len = CutLength(text, destSize - 1);
    std::memmove(dest, text.constData(), size_t(len));
    dest[len] = '\0';
    return len;
}

QString Latin1(const char* text)
{
    return QString::fromLatin1(text ? text : "");
}

// A settings-store application name must name one file directly below the
// vendor folder.
bool ValidAppName(const char* appName)
{
    if (!appName || !*appName)
        return false;
    const size_t len = std::strlen(appName);
    if (len > size_t(ParamMaxRegAppName))
        return false;
    if (std::strpbrk(appName, "/\\") || std::strcmp(appName, ".") == 0 || std::strcmp(appName, "..") == 0)
        return false;
    return true;
}

// The runtime's decimal text-to-long conversion with a 32-bit long: leading
// white space and a sign accepted, stops at the first non-digit, no digits
// give 0, out-of-range values saturate.
qint32 DecimalTextToLong(const QByteArray& text)
{
    const char* p = text.constData();
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = (*p++ == '-');
    qint64 magnitude = 0;
    const qint64 limit = negative ? -qint64(INT32_MIN) : qint64(INT32_MAX);
    for (; *p >= '0' && *p <= '9'; ++p) {
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude > limit)
            magnitude = limit;
    }
    return qint32(negative ? -magnitude : magnitude);
}

// --- Profile files ---------------------------------------------------------
// A profile file is read and written as 8-bit lines: "[section]" headers and
// "key=value" entries; section and key names match without regard to case,
// and a value is the text after the first '=' without surrounding blanks,
// exactly as it stands otherwise (commas and quotes included). A write
// changes only the one entry's line and keeps every other line of the file.

QString ProfilePath(const char* iniFile)
{
    QString name = Latin1(iniFile);
    if (name.isEmpty())
        return QString();
    if (QDir::isAbsolutePath(name))
        return name;
    return ConfigHome() + QLatin1Char('/') + QLatin1String(Vendor) + QLatin1Char('/') + name;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

QByteArray Trimmed(const QByteArray& text)
{
    int b = 0;
    int e = text.size();
    while (b < e && IsBlank(text.at(b)))
        ++b;
    while (e > b && IsBlank(text.at(e - 1)))
        --e;
    return text.mid(b, e - b);
}

bool SameName(const QByteArray& a, const QByteArray& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The section name of a "[name]" line, or a null array for any other line.
QByteArray SectionOf(const QByteArray& line)
{
    const QByteArray t = Trimmed(line);
    if (!t.startsWith('['))
        return QByteArray();
    const int close = t.indexOf(']');
    const QByteArray name = Trimmed(t.mid(1, close < 0 ? -1 : close - 1));
    return name.isNull() ? QByteArray("") : name;
}

bool SplitEntry(const QByteArray& line, QByteArray* key, QByteArray* value)
{
    const int eq = line.indexOf('=');
    if (eq < 0)
        return false;
    *key = Trimmed(line.left(eq));
    *value = Trimmed(line.mid(eq + 1));
    return true;
}

QList<QByteArray> SplitLines(const QByteArray& data)
{
    QList<QByteArray> lines = data.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray& line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    return lines;
}

bool ProfileLookup(const QByteArray& data, const QByteArray& section, const QByteArray& key, QByteArray* value)
{
    bool inSection = false;
    for (const QByteArray& line : SplitLines(data)) {
        const QByteArray s = SectionOf(line);
        if (!s.isNull()) {
            inSection = SameName(s, section);
            continue;
        }
        QByteArray k;
        QByteArray v;
        if (inSection && SplitEntry(line, &k, &v) && SameName(k, key)) {
            *value = v;
            return true;
        }
    }
    return false;
}

QByteArray ProfileWithEntry(const QByteArray& data, const QByteArray& section, const QByteArray& key,
                            const QByteArray& value)
{
    const QByteArray eol = data.contains("\r\n") ? QByteArray("\r\n") : QByteArray("\n");
    QList<QByteArray> lines = SplitLines(data);
    const QByteArray entry = key + '=' + value;
    int insertAt = -1; // after the last entry of the section
    bool inSection = false;
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArray s = SectionOf(lines.at(i));
        if (!s.isNull()) {
            if (inSection)
                break;
            inSection = SameName(s, section);
            if (inSection)
                insertAt = i + 1;
            continue;
        }
        if (!inSection)
            continue;
        QByteArray k;
        QByteArray v;
        if (SplitEntry(lines.at(i), &k, &v)) {
            if (SameName(k, key)) {
                lines[i] = entry;
                return lines.join(eol) + eol;
            }
            insertAt = i + 1;
        }
    }
    if (insertAt >= 0) {
        lines.insert(insertAt, entry);
    } else {
        lines.append('[' + section + ']');
        lines.append(entry);
    }
    return lines.join(eol) + eol;
}

bool ProfileRead(const TParamStore& store, const char* name, QByteArray* value)
{
    const QString path = ProfilePath(store.IniFile);
    if (path.isEmpty() || !name)
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return ProfileLookup(file.readAll(), store.AppName, name, value);
}

// Changes one entry under the file's lock, saving the whole file atomically,
// so concurrent writers keep each other's entries and a failed save leaves
// the old file as it was.
bool ProfileWrite(const TParamStore& store, const char* name, const QByteArray& value)
{
    const QString path = ProfilePath(store.IniFile);
    if (path.isEmpty() || !name || !*name)
        return false;
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QLockFile lock(path + QStringLiteral(".lock"));
    if (!lock.tryLock(ProfileLockTimeoutMs))
        return false;
    QByteArray data;
    {
        QFile old(path);
        if (old.exists()) {
            if (!old.open(QIODevice::ReadOnly))
                return false;
            data = old.readAll();
        } else if (!CreateOwnerOnlyFile(path)) {
            return false;
        }
    }
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    const QByteArray updated = ProfileWithEntry(data, store.AppName, name, value);
    if (out.write(updated) != updated.size() || !out.commit())
        return false;
    KeepOwnerOnly(path);
    return true;
}

// --- Settings store --------------------------------------------------------

bool ReadStoredInt(const QVariant& v, qint32* out)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        *out = qint32(v.toLongLong());
        return true;
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        const QString text = v.toString().trimmed();
        bool ok = false;
        const int i = text.toInt(&ok);
        if (ok) {
            *out = i;
            return true;
        }
        const uint u = text.toUInt(&ok); // a 32-bit value written unsigned by hand
        if (ok)
            *out = qint32(u);
        return ok;
    }
    default:
        return false;
    }
}

// The stored text as UTF-8, which holds every character the settings can.
QByteArray StoredText(const QVariant& v)
{
    // An unquoted value with commas comes back from the settings file as a
    // list; rejoin it rather than losing it.
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QLatin1Char(',')).toUtf8();
    return v.toString().toUtf8();
}

// Whether the settings file is text the settings reader can be given: read
// in memory, never copied anywhere. A zero byte means it is something else.
bool SettingsFileIsText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    return file.error() == QFileDevice::NoError && !bytes.contains('\0');
}

// Settings files the settings reader refused. QSettings keeps every file it
// has parsed in a process-wide cache and reports a parse failure only to the
// first reader: later readers of the unchanged file see an empty store and
// no error, and their save would replace content that was never understood.
// So a refusal is remembered for as long as the file keeps the size and
// modification time it had then, which is what the reader's cache goes by.
struct TFileStamp
{
    qint64 Size = -1;
    QDateTime Modified;
    bool operator==(const TFileStamp& other) const { return Size == other.Size && Modified == other.Modified; }
};

struct TRefusals
{
    QMutex Mutex;
    QHash<QString, TFileStamp> Files;
};

TRefusals& Refusals()
{
    static TRefusals refusals;
    return refusals;
}

TFileStamp StampOf(const QString& path)
{
    const QFileInfo info(path);
    return TFileStamp{info.size(), info.lastModified()};
}

bool KnownRefused(const QString& path)
{
    TRefusals& r = Refusals();
    const QMutexLocker lock(&r.Mutex);
    const auto found = r.Files.constFind(path);
    return found != r.Files.cend() && *found == StampOf(path);
}

void RememberRefused(const QString& path)
{
    TRefusals& r = Refusals();
    const QMutexLocker lock(&r.Mutex);
    r.Files.insert(path, StampOf(path));
}

// Whether an existing settings file at path is left unread: not a plain file
// (a pipe, a device, a folder), refused before and unchanged since (when
// remembered counts), or not text.
bool RefusedSettingsFile(const QFileInfo& info, const QString& path, bool remembered)
{
    return !info.isFile() || (remembered && KnownRefused(path)) || !SettingsFileIsText(path);
}

bool Readable(const TParamStore& store)
{
    return store.Key != nullptr;
}

bool Writable(const TParamStore& store)
{
    return store.Key != nullptr && !store.ReadOnly;
}

} // namespace

QByteArray ParamCutText(const QByteArray& text, int maxBytes)
{
    return text.left(CutLength(text, maxBytes));
}

TParamStore::TParamStore() = default;

TParamStore::~TParamStore()
{
    ParamClose(*this);
}

QString ParamFilePath(const char* iniFile, const char* appName, int useRegistry)
{
    if (!useRegistry)
        return ProfilePath(iniFile);
    if (!ValidAppName(appName))
        return QString();
    // Ask QSettings where the file lives through a format that never reads
    // it: constructing a settings object of the native format reads the file
    // at once, and a pipe or device put in its place would block that read.
    QSettings probe(PathOnlyFormat(), QSettings::UserScope, QLatin1String(Vendor), Latin1(appName));
    QString path = probe.fileName();
    path.chop(int(std::strlen(PathOnlyExtension)));
    return path + QLatin1String(NativeExtension);
}

void ParamOpen(const char* iniFile, const char* appName, TParamStore& store, int useRegistry)
{
    ParamClose(store);
    store.UseRegistry = useRegistry;
    CopyName(store.IniFile, iniFile);
    CopyName(store.AppName, appName);
    store.Disposition = 0;
    store.ReadOnly = false;
    store.Changed = false;
    if (!useRegistry || !ValidAppName(appName))
        return;

    const QString app = Latin1(appName);
    const bool files = NativeSettingsAreFiles();
    const QString path = files ? ParamFilePath(iniFile, appName, useRegistry) : QString();
    if (files) {
        // The settings may hold a password: create the file owner-only before
        // anything is saved into it; later saves keep its permissions.
        const QFileInfo info(path);
        if (!info.exists()) {
            if (!QDir().mkpath(info.absolutePath()) || !CreateOwnerOnlyFile(path))
                return;
        } else if (RefusedSettingsFile(info, path, true)) {
            // Settings that cannot be read are left exactly as they are:
            // defaults are used and nothing is saved over them.
            return;
        } else if (!(info.permissions() & QFileDevice::WriteOwner)) {
            // Made read-only by its owner: read, never written (the
            // superuser could write it all the same).
            store.ReadOnly = true;
        }
    }
    auto settings = std::make_unique<QSettings>(QLatin1String(Vendor), app);
    settings->setFallbacksEnabled(false);
    if (settings->status() != QSettings::NoError) {
        if (files)
            RememberRefused(path);
        return;
    }
    store.Disposition = settings->allKeys().isEmpty() ? ParamCreatedNewKey : ParamOpenedExistingKey;
    store.Key = std::move(settings);
}

void ParamClose(TParamStore& store)
{
    if (!store.Key)
        return;
    store.Key->sync();
    // A file with lines Qt could not parse (FormatError) is rewritten whole
    // all the same; only a write that failed leaves it as it was.
    if (store.Changed && store.Key->status() != QSettings::AccessError && NativeSettingsAreFiles())
        KeepOwnerOnly(store.Key->fileName());
    store.Key.reset();
    store.Disposition = 0;
    store.Changed = false;
}

qint32 ParamReadInt(TParamStore& store, const char* name, qint32 defaultValue)
{
    if (!store.UseRegistry) {
        QByteArray text;
        if (!ProfileRead(store, name, &text))
            text = QByteArray::number(defaultValue);
        return DecimalTextToLong(text.left(IntTextSize - 1));
    }
    if (!Readable(store) || !name || !*name)
        return defaultValue;
    const QString key = Latin1(name);
    if (store.Disposition == ParamCreatedNewKey) {
        if (Writable(store)) {
            store.Key->setValue(key, defaultValue);
            store.Changed = true;
        }
        return defaultValue;
    }
    qint32 value = defaultValue;
    if (!ReadStoredInt(store.Key->value(key), &value))
        return defaultValue;
    return value;
}

int ParamWriteInt(TParamStore& store, const char* name, qint32 value)
{
    if (!store.UseRegistry)
        return ProfileWrite(store, name, QByteArray::number(value)) ? 1 : 0;
    if (store.Key && store.ReadOnly)
        return ErrorAccessDenied;
    if (!Writable(store) || !name || !*name)
        return ErrorInvalidHandle;
    store.Key->setValue(Latin1(name), value);
    store.Changed = true;
    return 0;
}

int ParamReadString(TParamStore& store, const char* name, const char* defaultText, char* dest, int destSize)
{
    if (!dest || destSize <= 0)
        return 0;
    const bool sameBuffer = (defaultText == dest);
    const QByteArray fallback(defaultText ? defaultText : "");

    if (!store.UseRegistry) {
        QByteArray text;
        if (!ProfileRead(store, name, &text))
            text = fallback;
        return FillDest(dest, destSize, text);
    }

    const bool usable = Readable(store) && name && *name;
    if (usable && Writable(store) && store.Disposition == ParamCreatedNewKey) {
        store.Key->setValue(Latin1(name), QString::fromUtf8(fallback));
        store.Changed = true;
    }
    if (!sameBuffer)
        FillDest(dest, destSize, fallback);
    if (usable && store.Disposition != ParamCreatedNewKey) {
        const QVariant v = store.Key->value(Latin1(name));
        if (v.isValid())
            return FillDest(dest, destSize, StoredText(v));
    }
    return int(std::strlen(dest));
}

qint32 ParamPeekInt(const char* appName, const char* name, qint32 defaultValue)
{
    if (!ValidAppName(appName) || !name || !*name || !NativeSettingsAreFiles())
        return defaultValue;
    const QString path = ParamFilePath(nullptr, appName, 1);
    const QFileInfo info(path);
    // An opening's refusals but the remembered ones: a file that is not
    // plain text (a pipe, a device, binary junk) is not read.
    if (RefusedSettingsFile(info, path, false))
        return defaultValue;
    const QSettings settings(path, QSettings::IniFormat);
    qint32 value = defaultValue;
    if (settings.status() != QSettings::NoError || !ReadStoredInt(settings.value(Latin1(name)), &value))
        return defaultValue;
    return value;
}
