// The parameter store and the auto-start entry over arbitrary files.
//
// Settings store: whatever the settings file holds, an opening either works
// or leaves the file exactly as it was; texts come back cut to the caller's
// buffer and terminated; a value written and read back through a new opening
// is the value written; the file stays owner-only.
// Profile files: a write changes its one entry and no other.
// Auto-start: over whatever entry was there before, enabling writes a desktop
// entry with one Exec line that unquotes back to the program's path (any
// characters) and the switch; a value name never leads out of the autostart
// folder.
#include "FuzzCheck.h"
#include "QtFuzzEnv.h"

#include "Autoload.h"
#include "Paths.h"
#include "kvparam.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cstring>
#include <memory>

namespace {

const char* const Names[] = {"top", "left", "width", "height", "hideontaskbar", "autoload", "padhex",
                             "hidetask_password", "hidetask_usepassword", "Top", "x y", "k,v"};
constexpr int NameCount = int(sizeof Names / sizeof Names[0]);

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(f.write(bytes) == bytes.size());
}

void CheckReadString(TParamStore& store, const char* name, TFuzzInput& in)
{
    const int destSize = 1 + in.Byte() % 64;
    // Exactly destSize bytes, so writing past it is reported.
    std::unique_ptr<char[]> dest(new char[size_t(destSize)]);
    std::memset(dest.get(), 'q', size_t(destSize));
    const int n = ParamReadString(store, name, "default text", dest.get(), destSize);
    FUZZ_CHECK(n >= 0 && n < destSize);
    FUZZ_CHECK(dest[size_t(n)] == '\0');
    FUZZ_CHECK(std::strlen(dest.get()) == size_t(n));
}

void FuzzSettingsStore(const QByteArray& content, TFuzzInput& in)
{
    const QString path = ParamFilePath("KVMorvic", "KVMorvic", 1);
    FUZZ_CHECK(!path.isEmpty());
    WriteAll(path, content);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);

    const char* name = Names[in.Byte() % NameCount];
    const qint32 value = qint32(in.Word32());
    bool opened = false;
    bool wrote = false;
    {
        TParamStore store;
        ParamOpen("KVMorvic", "KVMorvic", store, 1);
        opened = store.Key != nullptr;
        for (int i = 0; i < 4; ++i) {
            ParamReadInt(store, Names[in.Byte() % NameCount], -7);
            CheckReadString(store, Names[in.Byte() % NameCount], in);
        }
        wrote = ParamWriteInt(store, name, value) == 0;
        ParamClose(store);
    }
    if (!opened) {
        // Settings it could not read are left exactly as they were.
        FUZZ_CHECK(ReadAll(path) == content);
        return;
    }
    // A file the store saved to is its owner's alone, even when the value
    // written was the one it held; one it only read keeps the mode it had.
    const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
    if (wrote)
        FUZZ_CHECK(!(QFile::permissions(path) & others));
    else
        FUZZ_CHECK(ReadAll(path) == content
                   && (QFile::permissions(path) & others) == (QFile::ReadGroup | QFile::ReadOther));
    TParamStore again;
    ParamOpen("KVMorvic", "KVMorvic", again, 1);
    FUZZ_CHECK(again.Key != nullptr);
    FUZZ_CHECK(again.Disposition == ParamOpenedExistingKey);
    FUZZ_CHECK(ParamReadInt(again, name, value ^ 1) == value);
    ParamClose(again);
}

void FuzzProfile(const QByteArray& content, TFuzzInput& in)
{
    const QString path = ParamFilePath("fuzz.ini", "KVMorvic", 0);
    WriteAll(path, content);
    TParamStore store;
    ParamOpen("fuzz.ini", "KVMorvic", store, 0);
    const char* name = Names[in.Byte() % NameCount];
    const char* other = Names[in.Byte() % NameCount];
    const qint32 value = qint32(in.Word32());
    char before[64];
    ParamReadString(store, other, "", before, sizeof before);
    const qint32 otherInt = ParamReadInt(store, other, 11);
    CheckReadString(store, name, in);

    ParamWriteInt(store, name, value);
    FUZZ_CHECK(ParamReadInt(store, name, value ^ 1) == value);
    if (qstricmp(name, other) != 0) {
        char after[64];
        ParamReadString(store, other, "", after, sizeof after);
        FUZZ_CHECK(std::strcmp(before, after) == 0);
        FUZZ_CHECK(ParamReadInt(store, other, 11) == otherInt);
    }
    ParamClose(store);
}

// The argument vector of a desktop entry's Exec value as a launcher reads
// it: the string escapes first, then the quoting rules.
bool UnquoteExec(const QString& raw, QStringList* args)
{
    QString value;
    for (int i = 0; i < raw.size(); ++i) {
        if (raw[i] != QLatin1Char('\\')) {
            value += raw[i];
            continue;
        }
        if (++i >= raw.size())
            return false;
        switch (raw[i].unicode()) {
        case 's': value += QLatin1Char(' '); break;
        case 'n': value += QLatin1Char('\n'); break;
        case 't': value += QLatin1Char('\t'); break;
        case 'r': value += QLatin1Char('\r'); break;
        case '\\': value += QLatin1Char('\\'); break;
        default: return false;
        }
    }
    args->clear();
    QString arg;
    bool inArg = false;
    bool quoted = false;
    for (int i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == QLatin1Char('%')) {
            // Only the literal percent sign; no field codes are written.
            if (i + 1 >= value.size() || value[i + 1] != QLatin1Char('%'))
                return false;
            arg += c;
            inArg = true;
            ++i;
        } else if (quoted) {
            if (c == QLatin1Char('"')) {
                quoted = false;
            } else if (c == QLatin1Char('\\')) {
                if (++i >= value.size() || !QStringLiteral("\"`$\\").contains(value[i]))
                    return false;
                arg += value[i];
            } else {
                arg += c;
            }
        } else if (c == QLatin1Char(' ')) {
            if (inArg)
                args->append(arg);
            arg.clear();
            inArg = false;
        } else if (c == QLatin1Char('"')) {
            quoted = true;
            inArg = true;
        } else {
            arg += c;
            inArg = true;
        }
    }
    if (quoted)
        return false;
    if (inArg)
        args->append(arg);
    return true;
}

void FuzzAutoStart(const QByteArray& content, TFuzzInput& in)
{
    size_t n = 0;
    const unsigned char* p = in.Bytes(40, &n);
    QByteArray programBytes(reinterpret_cast<const char*>(p), int(n));
    programBytes.replace('\0', "");
    const QString program = QStringLiteral("/opt/") + QString::fromLatin1(programBytes);

    // Any value name stays inside the autostart folder or is refused.
    size_t nameLength = 0;
    const unsigned char* np = in.Bytes(12, &nameLength);
    QByteArray valueName(reinterpret_cast<const char*>(np), int(nameLength));
    valueName.replace('\0', "");
    const QString entry = AutoLoadEntryPath(valueName.constData());
    const QString folder = ConfigHome() + QStringLiteral("/autostart");
    if (!entry.isEmpty())
        FUZZ_CHECK(QFileInfo(entry).absolutePath() == QDir(folder).absolutePath());

    const QString path = AutoLoadEntryPath("KVMorvic");
    WriteAll(path, content);
    SetModuleFileNameOverride(program);
    FUZZ_CHECK(SetAutoLoad(1, "KVMorvic") == 0);
    SetModuleFileNameOverride(QString());

    const QStringList lines = QString::fromUtf8(ReadAll(path)).split(QLatin1Char('\n'));
    FUZZ_CHECK(lines.value(0) == QLatin1String("[Desktop Entry]"));
    QStringList execLines;
    for (const QString& line : lines)
        if (line.startsWith(QLatin1String("Exec=")))
            execLines.append(line.mid(5));
    FUZZ_CHECK(execLines.size() == 1);
    QStringList args;
    FUZZ_CHECK(UnquoteExec(execLines.first(), &args));
    FUZZ_CHECK(args == (QStringList() << program << QLatin1String(AutoLoadSwitch)));

    FUZZ_CHECK(SetAutoLoad(0, "KVMorvic") == 0);
    FUZZ_CHECK(!QFileInfo::exists(path));
    FUZZ_CHECK(SetAutoLoad(0, "KVMorvic") == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TFuzzInput in(data, size);
    const unsigned char which = in.Byte();
    size_t length = 0;
    const unsigned char* p = in.Bytes(255, &length);
    const QByteArray content(reinterpret_cast<const char*>(p), int(length));
    switch (which % 3) {
    case 0: FuzzSettingsStore(content, in); break;
    case 1: FuzzProfile(content, in); break;
    case 2: FuzzAutoStart(content, in); break;
    }
    return 0;
}
