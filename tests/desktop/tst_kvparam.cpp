// The parameter store over a private settings folder: seeding on the first
// opening, reads of present and missing values, the profile-file back-end,
// owner-only files and two stores saving at once.
#include "kvparam.h"

#include "Testenv.h"
#include "Testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QProcess>
#include <QTest>

#include <climits>
#include <cstdlib>
#include <cstring>

#ifdef Q_OS_LINUX
#include <sys/inotify.h>
#include <unistd.h>
#endif

class TestKvparam : public QObject
{
    Q_OBJECT

private:
    TTestConfigHome FHome;
    int FSerial = 0;

    // A fresh application name per case, so no case sees another's settings.
    QByteArray NewApp() { return "KVTest" + QByteArray::number(++FSerial); }
    QString ConfPath(const QByteArray& app) const
    {
        return FHome.Path() + "/Dremsel/" + QString::fromLatin1(app) + ".conf";
    }
    // Writes a settings file as a user editing it by hand would.
    void WriteFile(const QString& path, const QByteArray& text)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QVERIFY(::WriteFile(path, text));
    }
    // Qt's permission flags of an octal mode and back: other, group and
    // owner bits are its first, second and fourth nibbles (the third, the
    // user's, is the owner's here).
    static int ModeBits(int mode)
    {
        const int owner = (mode >> 6) & 7;
        return (mode & 7) | ((mode >> 3) & 7) << 4 | owner << 8 | owner << 12;
    }
    static int ModeOf(const QString& path)
    {
        const int flags = int(QFile::permissions(path));
        return (flags & 7) | ((flags >> 4) & 7) << 3 | ((flags >> 12) & 7) << 6;
    }
    static QFileDevice::Permissions Others()
    {
        return QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther
               | QFileDevice::WriteOther | QFileDevice::ExeOther;
    }

private slots:
    void firstOpeningSeedsEveryDefault()
    {
        const QByteArray app = NewApp();
        {
            TParamStore store;
            ParamOpen(app, app, store, 1);
            QCOMPARE(store.Disposition, ParamCreatedNewKey);
            QCOMPARE(ParamReadInt(store, "top", 384), 384);
            QCOMPARE(ParamReadInt(store, "hideontaskbar", 1), 1);
            char pw[1024];
            ParamReadString(store, "hidetask_password", "", pw, sizeof pw);
            QCOMPARE(pw, "");
            char text[16];
            ParamReadString(store, "greeting", "hello", text, sizeof text);
            QCOMPARE(text, "hello");
            ParamClose(store);
        }
        TParamStore again;
        ParamOpen(app, app, again, 1);
        QCOMPARE(again.Disposition, ParamOpenedExistingKey);
        QCOMPARE(ParamReadInt(again, "top", -5), 384);
        QCOMPARE(ParamReadInt(again, "hideontaskbar", 0), 1);
        char text[16] = "x";
        ParamReadString(again, "greeting", "other", text, sizeof text);
        QCOMPARE(text, "hello");
        char pw[8] = "x";
        ParamReadString(again, "hidetask_password", "dflt", pw, sizeof pw);
        QCOMPARE(pw, ""); // stored empty, not absent
        ParamClose(again);
    }

    void missingValueOfExistingSettingsIsNotStored()
    {
        const QByteArray app = NewApp();
        WriteFile(ConfPath(app), "[General]\nleft=10\n");
        for (int round = 0; round < 2; ++round) {
            TParamStore store;
            ParamOpen(app, app, store, 1);
            QCOMPARE(store.Disposition, ParamOpenedExistingKey);
            const qint32 dflt = round == 0 ? 77 : 88;
            QCOMPARE(ParamReadInt(store, "padhex", dflt), dflt);
            char text[8];
            ParamReadString(store, "name", round == 0 ? "a" : "b", text, sizeof text);
            QCOMPARE(text, round == 0 ? "a" : "b");
            QCOMPARE(ParamReadInt(store, "left", 0), 10);
            ParamClose(store);
        }
        QSettings raw(ConfPath(app), QSettings::IniFormat);
        QCOMPARE(raw.allKeys(), QStringList{"left"});
    }

    void writtenIntegersComeBack_data()
    {
        QTest::addColumn<qint32>("value");
        QTest::newRow("minus one") << -1;
        QTest::newRow("smallest") << qint32(INT_MIN);
        QTest::newRow("largest") << qint32(INT_MAX);
    }
    void writtenIntegersComeBack()
    {
        QFETCH(qint32, value);
        for (int useRegistry : {1, 0}) {
            const QByteArray app = NewApp();
            {
                TParamStore store;
                ParamOpen(app, app, store, useRegistry);
                ParamWriteInt(store, "padhex", value);
                ParamClose(store);
            }
            TParamStore store;
            ParamOpen(app, app, store, useRegistry);
            QCOMPARE(ParamReadInt(store, "padhex", 12345), value);
        }
    }

    // Values as a user may leave them in the settings file.
    void handEditedSettings_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<qint32>("intValue");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("number") << QByteArray("v=42") << 42 << QByteArray("42");
        QTest::newRow("not a number") << QByteArray("v=abc") << -9 << QByteArray("abc");
        QTest::newRow("digits then letters") << QByteArray("v=12abc") << -9 << QByteArray("12abc");
        QTest::newRow("unsigned 32-bit") << QByteArray("v=4294967295") << -1 << QByteArray("4294967295");
        QTest::newRow("quoted with comma") << QByteArray("v=\"my, pass\"") << -9 << QByteArray("my, pass");
        QTest::newRow("bare comma") << QByteArray("v=a,b") << -9 << QByteArray("a,b");
        QTest::newRow("empty") << QByteArray("v=") << -9 << QByteArray("");
        // Texts come back as UTF-8, whatever their characters.
        QTest::newRow("Latin-1 letters") << QByteArray("v=p\u00e4ss") << -9 << QByteArray("p\u00e4ss");
        QTest::newRow("Latin-1 letter escaped") << QByteArray("v=p\\x00e4ss") << -9 << QByteArray("p\u00e4ss");
        QTest::newRow("Cyrillic") << QByteArray("v=\u043f\u0430\u0440") << -9 << QByteArray("\u043f\u0430\u0440");
        QTest::newRow("emoji") << QByteArray("v=\U0001F511") << -9 << QByteArray("\U0001F511");
    }
    void handEditedSettings()
    {
        QFETCH(QByteArray, line);
        QFETCH(qint32, intValue);
        QFETCH(QByteArray, text);
        const QByteArray app = NewApp();
        WriteFile(ConfPath(app), "[General]\n" + line + "\n");
        TParamStore store;
        ParamOpen(app, app, store, 1);
        QCOMPARE(ParamReadInt(store, "v", -9), intValue);
        char buf[64];
        ParamReadString(store, "v", "dflt", buf, sizeof buf);
        QCOMPARE(QByteArray(buf), text);
    }

    void sameBufferRead()
    {
        const QByteArray app = NewApp();
        WriteFile(ConfPath(app), "[General]\nstored=xyz\n");
        TParamStore store;
        ParamOpen(app, app, store, 1);
        char buf[16] = "dflt";
        ParamReadString(store, "stored", buf, buf, sizeof buf);
        QCOMPARE(buf, "xyz");
        char keep[16] = "dflt";
        ParamReadString(store, "absent", keep, keep, sizeof keep);
        QCOMPARE(keep, "dflt");

        const QByteArray fresh = NewApp();
        TParamStore seeding;
        ParamOpen(fresh, fresh, seeding, 1);
        char seed[16] = "seed";
        ParamReadString(seeding, "s", seed, seed, sizeof seed);
        QCOMPARE(seed, "seed");
        ParamClose(seeding);
        QCOMPARE(QSettings(ConfPath(fresh), QSettings::IniFormat).value("s").toString(), QString("seed"));
    }

    void longTextIsCutAndTerminated_data()
    {
        QTest::addColumn<int>("useRegistry");
        QTest::newRow("settings store") << 1;
        QTest::newRow("profile file") << 0;
    }
    void longTextIsCutAndTerminated()
    {
        QFETCH(int, useRegistry);
        const QByteArray app = NewApp();
        const QString path = useRegistry ? ConfPath(app) : FHome.Path() + "/Dremsel/" + app;
        WriteFile(path, (useRegistry ? "[General]" : "[" + app + "]") + "\nlong=abcdefgh\ncyr=\u043f\u0430\u0440\n");
        TParamStore store;
        ParamOpen(app, app, store, useRegistry);
        char buf[8];
        std::memset(buf, 'Z', sizeof buf);
        ParamReadString(store, "long", "", buf, 4);
        QCOMPARE(buf[3], '\0');
        QCOMPARE(QByteArray(buf), QByteArray("abc"));
        QCOMPARE(buf[4], 'Z');
        // A default longer than the destination is cut the same way.
        std::memset(buf, 'Z', sizeof buf);
        ParamReadString(store, "absent", "123456789", buf, 5);
        QCOMPARE(QByteArray(buf), QByteArray("1234"));
        QCOMPARE(buf[5], 'Z');
        // A cut falls between characters, never inside one.
        ParamReadString(store, "cyr", "", buf, 4);
        QCOMPARE(QByteArray(buf), QByteArray("\u043f"));
    }

    void profileIntegers_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<qint32>("expected");
        QTest::newRow("digits then letters") << QByteArray("12abc") << 12;
        QTest::newRow("no digits") << QByteArray("abc") << 0;
        QTest::newRow("empty") << QByteArray("") << 0;
        QTest::newRow("signed with blanks") << QByteArray("  -7") << -7;
        QTest::newRow("plus") << QByteArray("+5x") << 5;
        QTest::newRow("too large saturates") << QByteArray("99999999999") << qint32(INT_MAX);
        QTest::newRow("too small saturates") << QByteArray("-99999999999") << qint32(INT_MIN);
        QTest::newRow("hex is not read") << QByteArray("0x1F") << 0;
    }
    void profileIntegers()
    {
        QFETCH(QByteArray, stored);
        QFETCH(qint32, expected);
        const QString path = FHome.Path() + "/profile.ini";
        WriteFile(path, "[Other]\nn=1\n[MyApp]\nn=" + stored + "\n");
        TParamStore store;
        ParamOpen(path.toLatin1(), "myapp", store, 0);
        QCOMPARE(ParamReadInt(store, "N", 555), expected);
        QCOMPARE(ParamReadInt(store, "absent", -31), -31);
    }

    void profileTextComesBackAsWritten()
    {
        const QString path = FHome.Path() + "/text.ini";
        WriteFile(path, "; settings\r\n[app]\r\npw =  a, \"b\" ;c  \r\nother=1\r\n");
        TParamStore store;
        ParamOpen(path.toLatin1(), "app", store, 0);
        char buf[64];
        ParamReadString(store, "pw", "", buf, sizeof buf);
        QCOMPARE(buf, "a, \"b\" ;c");
    }

    // A relative profile name lives in the vendor folder of the settings home.
    void profileWriteKeepsTheRestOfTheFile()
    {
        const QString path = FHome.Path() + "/Dremsel/keep.ini";
        WriteFile(path, "; my notes\n[app]\nx=1\ny=2\n\n[other]\nx=9\n");
        TParamStore store;
        ParamOpen("keep.ini", "APP", store, 0);
        QVERIFY(ParamWriteInt(store, "X", 5));
        QVERIFY(ParamWriteInt(store, "z", 6));
        ParamClose(store);
        QCOMPARE(ReadFile(path), QByteArray("; my notes\n[app]\nX=5\ny=2\nz=6\n\n[other]\nx=9\n"));
    }

    void nullProfileName()
    {
        TParamStore store;
        std::memset(store.IniFile, 'x', sizeof store.IniFile);
        ParamOpen(nullptr, "app", store, 0);
        QCOMPARE(store.IniFile, "");
        QCOMPARE(store.AppName, "app");
        QCOMPARE(ParamReadInt(store, "n", 4), 4);
        QCOMPARE(ParamWriteInt(store, "n", 5), 0);
    }

    void filesAreOwnerOnly()
    {
        const QByteArray app = NewApp();
        for (int round = 0; round < 2; ++round) {
            TParamStore store;
            ParamOpen(app, app, store, 1);
            char pw[64];
            ParamReadString(store, "hidetask_password", "", pw, sizeof pw);
            ParamWriteInt(store, "top", round);
            ParamClose(store);
            const QFileDevice::Permissions p = QFile(ConfPath(app)).permissions();
            QVERIFY(p & QFileDevice::ReadOwner);
            QVERIFY(p & QFileDevice::WriteOwner);
            QCOMPARE(p & Others(), QFileDevice::Permissions());
        }
        // A file made readable by others is made private again at the next save.
        QFile(ConfPath(app)).setPermissions(QFile(ConfPath(app)).permissions() | QFileDevice::ReadOther);
        TParamStore store;
        ParamOpen(app, app, store, 1);
        ParamWriteInt(store, "top", 9);
        ParamClose(store);
        QCOMPARE(QFile(ConfPath(app)).permissions() & Others(), QFileDevice::Permissions());

        const QString profile = FHome.Path() + "/private.ini";
        ParamOpen(profile.toLatin1(), "app", store, 0);
        ParamWriteInt(store, "n", 1);
        ParamClose(store);
        QCOMPARE(QFile(profile).permissions() & Others(), QFileDevice::Permissions());
    }

    // A file Tarvolin did not write keeps its mode; one it saved is made
    // owner-only. A file its owner may not write is not written at all,
    // also where permissions would not stop the writer (the superuser).
    void modeOfAnExistingFile_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("write");
        QTest::addColumn<int>("after");
        QTest::addColumn<QByteArray>("content");
        const QByteArray good("[General]\ntop=3\n");
        // A line Qt cannot parse: the file is rewritten whole all the same.
        const QByteArray odd("[General]\ntop=3\nhideta2k_pess\n\v\f");
        QTest::newRow("read-only, written") << 0444 << true << 0444 << good;
        QTest::newRow("read-only, only read") << 0444 << false << 0444 << good;
        QTest::newRow("shared, only read") << 0644 << false << 0644 << good;
        QTest::newRow("shared, written") << 0644 << true << 0600 << good;
        QTest::newRow("shared, odd line, written") << 0644 << true << 0600 << odd;
    }
    void modeOfAnExistingFile()
    {
        QFETCH(int, mode);
        QFETCH(bool, write);
        QFETCH(int, after);
        QFETCH(QByteArray, content);
        const QByteArray app = NewApp();
        WriteFile(ConfPath(app), content);
        QVERIFY(QFile::setPermissions(ConfPath(app), QFileDevice::Permissions(ModeBits(mode))));
        {
            TParamStore store;
            ParamOpen(app, app, store, 1);
            QCOMPARE(ParamReadInt(store, "top", 0), 3);
            QCOMPARE(ParamReadInt(store, "left", 7), 7);
            if (write)
                ParamWriteInt(store, "top", 4);
            ParamClose(store);
        }
        QCOMPARE(ModeOf(ConfPath(app)), after);
        if (mode == 0444)
            QCOMPARE(ReadFile(ConfPath(app)), content);
        QFile::setPermissions(ConfPath(app), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }

    void twoProfileStoresWritingAtOnceKeepBoth()
    {
        const QByteArray app = NewApp();
        {
            TParamStore seed;
            ParamOpen(app, app, seed, 0);
            ParamWriteInt(seed, "shared", 1);
        }
        TParamStore a;
        TParamStore b;
        ParamOpen(app, app, a, 0);
        ParamOpen(app, app, b, 0);
        ParamWriteInt(a, "top", 111);
        ParamWriteInt(b, "left", 222);
        ParamWriteInt(a, "shared", 2);
        ParamClose(a);
        ParamClose(b);
        TParamStore check;
        ParamOpen(app, app, check, 0);
        QCOMPARE(ParamReadInt(check, "top", 0), 111);
        QCOMPARE(ParamReadInt(check, "left", 0), 222);
        QCOMPARE(ParamReadInt(check, "shared", 0), 2);
    }

    // Another program saves while this one holds unsaved changes: the later
    // save merges into the file instead of overwriting the other's value.
    void anotherProgramSavingMeanwhileKeepsBoth()
    {
        const QByteArray app = NewApp();
        {
            TParamStore seed;
            ParamOpen(app, app, seed, 1);
            ParamWriteInt(seed, "shared", 1);
        }
        TParamStore mine;
        ParamOpen(app, app, mine, 1);
        ParamWriteInt(mine, "top", 111);

        QProcess other;
        other.start(QCoreApplication::applicationFilePath(), {"--write", app, "left", "222"});
        QVERIFY(other.waitForFinished(30000));
        QCOMPARE(other.exitCode(), 0);

        ParamClose(mine);
        QSettings raw(ConfPath(app), QSettings::IniFormat);
        QCOMPARE(raw.value("top").toInt(), 111);
        QCOMPARE(raw.value("left").toInt(), 222);
        QCOMPARE(raw.value("shared").toInt(), 1);
    }

    // A settings file that cannot be understood gives defaults and is never
    // saved over, also when it is opened again unchanged.
    void unreadableSettingsAreLeftAsTheyAre_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("zero byte") << QByteArray("[General]\ntop=1\n") + '\0';
        QTest::newRow("unclosed section") << QByteArray("[General\ntop=1\n");
    }
    void unreadableSettingsAreLeftAsTheyAre()
    {
        QFETCH(QByteArray, content);
        const QByteArray app = NewApp();
        WriteFile(ConfPath(app), content);
        for (int opening = 0; opening < 2; ++opening) {
            TParamStore store;
            ParamOpen(app, app, store, 1);
            QCOMPARE(ParamReadInt(store, "top", 6), 6);
            ParamWriteInt(store, "top", 7);
            ParamClose(store);
            QCOMPARE(ReadFile(ConfPath(app)), content);
        }
    }

    // Judging whether the settings file can be read, at every opening and
    // after every save, copies it (and the password in it) nowhere, such as
    // into the temporary folder.
    void judgingTheSettingsCopiesThemNowhere()
    {
#ifndef Q_OS_LINUX
        QSKIP("watches the temporary folder through inotify");
#else
        const QString temp = FHome.Path() + "/tmp";
        QVERIFY(QDir().mkpath(temp));
        const QByteArray oldTemp = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(temp));
        const auto restoreTemp = qScopeGuard([&] { oldTemp.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", oldTemp); });
        const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        QVERIFY(watch >= 0);
        const auto closeWatch = qScopeGuard([&] { ::close(watch); });
        QVERIFY(::inotify_add_watch(watch, QFile::encodeName(temp).constData(), IN_CREATE | IN_MOVED_TO) >= 0);

        const QByteArray app = NewApp();
        WriteFile(ConfPath(app), "[General]\nhidetask_password=secret\n");
        for (int opening = 0; opening < 2; ++opening) {
            TParamStore store;
            ParamOpen(app, app, store, 1);
            char pw[16] = "";
            ParamReadString(store, "hidetask_password", "", pw, sizeof pw);
            QCOMPARE(pw, "secret");
            ParamWriteInt(store, "top", opening);
            ParamClose(store);
        }
        char events[4096];
        QCOMPARE(::read(watch, events, sizeof events), ssize_t(-1)); // no file was made there
#endif
    }

    void unusableSettingsGiveDefaultsAndKeepNothing()
    {
        // The settings file's place is taken by a folder: nothing can be opened.
        const QByteArray app = NewApp();
        QVERIFY(QDir().mkpath(ConfPath(app)));
        TParamStore store;
        ParamOpen(app, app, store, 1);
        QCOMPARE(store.Disposition, 0u);
        QCOMPARE(ParamReadInt(store, "top", 6), 6);
        QVERIFY(ParamWriteInt(store, "top", 7) != 0);
        char buf[8] = "";
        ParamReadString(store, "s", "d", buf, sizeof buf);
        QCOMPARE(buf, "d");
        ParamClose(store);
        QVERIFY(QFileInfo(ConfPath(app)).isDir());

        // A name that would leave the vendor folder is refused.
        TParamStore escape;
        ParamOpen("../escape", "../escape", escape, 1);
        QVERIFY(ParamWriteInt(escape, "top", 4) != 0);
        ParamClose(escape);
        QVERIFY(!QFileInfo::exists(FHome.Path() + "/escape.conf"));
    }
};

// "--write <app> <name> <value>" makes this program the other writer of
// anotherProgramSavingMeanwhileKeepsBoth.
int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 5 && std::strcmp(argv[1], "--write") == 0) {
        TParamStore store;
        ParamOpen(argv[2], argv[2], store, 1);
        const int rc = ParamWriteInt(store, argv[3], std::atoi(argv[4]));
        ParamClose(store);
        return rc;
    }
    TestKvparam test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_kvparam.moc"
