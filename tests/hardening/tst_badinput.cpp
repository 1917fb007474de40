// The whole program against bad input from outside: settings files it cannot
// read, a settings folder it cannot write at close, odd command lines, a
// start-up directory that is gone and an executable path with spaces and
// quotes. Each test checks that the program starts or ends as asked, says
// nothing alarming, and leaves every file it could not use as it was.
#include "Autoload.h"
#include "Fmorvic.h"
#include "Messagebox.h"
#include "Paths.h"
#include "Shellopen.h"
#include "Morvicdriver.h"
#include "Testenv.h"
#include "Testfiles.h"
#include "Trayicon.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What a path is, told without following a final symbolic link, so the
// test sees the entry itself.
struct TEntryState
{
    QString Kind; // "file", "dir", "link", "fifo", "none"
    QByteArray Content;
    QString Target;
    bool operator==(const TEntryState& o) const
    {
        return Kind == o.Kind && Content == o.Content && Target == o.Target;
    }
};

TEntryState EntryState(const QString& path)
{
    struct stat st {};
    if (lstat(QFile::encodeName(path).constData(), &st) != 0)
        return {QStringLiteral("none"), {}, {}};
    if (S_ISLNK(st.st_mode))
        return {QStringLiteral("link"), {}, QFile::symLinkTarget(path)};
    if (S_ISDIR(st.st_mode))
        return {QStringLiteral("dir"), {}, {}};
    if (S_ISFIFO(st.st_mode))
        return {QStringLiteral("fifo"), {}, {}};
    QFile f(path);
    QByteArray content;
    if (f.open(QIODevice::ReadOnly))
        content = f.readAll();
    return {QStringLiteral("file"), content, {}};
}

void RemoveEntry(const QString& path)
{
    const TEntryState s = EntryState(path);
    if (s.Kind == QLatin1String("dir"))
        QDir(path).removeRecursively();
    else if (s.Kind != QLatin1String("none"))
        QFile::remove(path);
}

} // namespace

class TTestBadInput : public QObject, protected TMorvicDriver
{
    Q_OBJECT

private:
    // One settings folder for the run (the settings library keeps the folder
    // it found first); every test starts with the settings file gone.
    TTestConfigHome FConfigHome;
    QList<QByteArray> FMessages;
    QList<QUrl> FOpened;

    TFormMorvic* Start(const QStringList& arguments = {QStringLiteral("tarvolin")})
    {
        TMorvicDriver::Start(arguments)->show();
        return FForm.get();
    }

    // The defaults of a first start are in effect.
    void VerifyDefaults()
    {
        QVERIFY(Action("HideonTaskbarinsteadofClosing1")->isChecked());
        QVERIFY(!Action("MenuItemAutoLoad")->isChecked());
        QCOMPARE(Spinner()->value(), 0);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(SettingsFile().startsWith(FConfigHome.Path()));
        QDir().mkpath(QFileInfo(SettingsFile()).absolutePath());
    }

    void init()
    {
        RemoveEntry(SettingsFile());
        FMessages.clear();
        FOpened.clear();
        SetMessageBoxHandler([this](QWidget*, const QByteArray& text, const QByteArray&) { FMessages << text; });
        SetShellOpenHandler([this](const QUrl& url) {
            FOpened << url;
            return true;
        });
        UseFakeArea();
    }

    void cleanup()
    {
        EndProgram();
        SetMessageBoxHandler(nullptr);
        SetShellOpenHandler(nullptr);
        SetModuleFileNameOverride(QString());
        const QString folder = QFileInfo(SettingsFile()).absolutePath();
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        RemoveEntry(SettingsFile());
        QFile::remove(AutoLoadEntryPath(MorvicSettingsName));
    }

    // A settings file that cannot be read: the program starts with its
    // defaults, shows no message, and at close leaves the file exactly as it
    // found it (it neither overwrites nor removes what it could not read).
    void UnreadableSettingsAreLeftAlone_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("garbage") << "file" << QByteArray("\xff\xfe\x01 not a settings file\n[[[\n\x80\x81", 30);
        QTest::newRow("truncated inside a section name") << "file" << QByteArray("[General]\ntop=5\n[Gen");
        QTest::newRow("zero bytes inside") << "file" << QByteArray("[General]\ntop=1\n\0\0\0\0garbage\n", 27);
        QTest::newRow("section never closed") << "file" << QByteArray("[General\nhideontaskbar=0\n");
        QTest::newRow("a directory") << "dir" << QByteArray();
        QTest::newRow("a link to itself") << "loop" << QByteArray();
        QTest::newRow("a dangling link") << "dangling" << QByteArray();
        QTest::newRow("a named pipe") << "fifo" << QByteArray();
        QTest::newRow("no read permission") << "noperm" << QByteArray("[General]\nhideontaskbar=0\n");
    }

    void UnreadableSettingsAreLeftAlone()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, content);
        const QString path = SettingsFile();
        if (kind == QLatin1String("file")) {
            QVERIFY(WriteFile(path, content));
        } else if (kind == QLatin1String("dir")) {
            QVERIFY(QDir().mkpath(path + QStringLiteral("/inside")));
        } else if (kind == QLatin1String("loop")) {
            QVERIFY(QFile::link(path, path));
        } else if (kind == QLatin1String("dangling")) {
            QVERIFY(QFile::link(path + QStringLiteral(".gone"), path));
        } else if (kind == QLatin1String("fifo")) {
            QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == QLatin1String("noperm")) {
            if (geteuid() == 0)
                QSKIP("permissions do not stop the superuser");
            QVERIFY(WriteFile(path, content));
            QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions()));
        }
        const TEntryState before = EntryState(path);

        Start();
        VerifyDefaults();
        QVERIFY2(FMessages.isEmpty(), FMessages.value(0).constData());

        // A close that hides, a change the program would save, then Quit.
        FForm->close();
        QVERIFY(!FForm->isVisible());
        QCOMPARE(FEnded->count(), 0);
        Spinner()->setValue(7);
        Action("Quit2")->trigger();
        QCOMPARE(FEnded->count(), 1);
        QVERIFY(FMessages.isEmpty());

        if (kind == QLatin1String("noperm"))
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        const TEntryState after = EntryState(path);
        QCOMPARE(after.Kind, before.Kind);
        QCOMPARE(after.Target, before.Target);
        QCOMPARE(after.Content, kind == QLatin1String("noperm") ? content : before.Content);
    }

    // A file cut off after its last complete line reads as the lines it
    // still has; the next save writes it whole again.
    void TruncatedSettingsKeepTheirReadablePart()
    {
        QVERIFY(WriteFile(SettingsFile(), "[General]\nhideontaskbar=0\npadhex=4\nlef"));
        Start();
        QCOMPARE(Spinner()->value(), 4);
        QVERIFY(!Action("HideonTaskbarinsteadofClosing1")->isChecked());
        FForm->close();
        QCOMPARE(FEnded->count(), 1);
        QSettings saved(SettingsFile(), QSettings::IniFormat);
        QCOMPARE(saved.status(), QSettings::NoError);
        QCOMPARE(saved.value(QStringLiteral("padhex")).toInt(), 4);
        QCOMPARE(saved.value(QStringLiteral("hideontaskbar")).toInt(), 0);
        QVERIFY(FMessages.isEmpty());
    }

    // The settings cannot be written at close, because the disk is full or
    // the folder is read-only: the close still hides or ends as asked, and
    // the file keeps what it held.
    void UnwritableSettingsAtClose_data()
    {
        QTest::addColumn<QString>("cause");
        QTest::addColumn<bool>("quit");
        QTest::newRow("disk full, close hides") << "full" << false;
        QTest::newRow("disk full, quit ends") << "full" << true;
        QTest::newRow("read-only folder, close hides") << "readonly" << false;
        QTest::newRow("read-only folder, quit ends") << "readonly" << true;
    }

    void UnwritableSettingsAtClose()
    {
        QFETCH(QString, cause);
        QFETCH(bool, quit);
        if (cause == QLatin1String("readonly") && geteuid() == 0)
            QSKIP("permissions do not stop the superuser");
        SeedSettings({{"padhex", 3}, {"hideontaskbar", 1}});
        const QByteArray before = EntryState(SettingsFile()).Content;
        QVERIFY(before.contains("padhex=3"));

        Start();
        QCOMPARE(Spinner()->value(), 3);
        Spinner()->setValue(9); // something to save

        const QString folder = QFileInfo(SettingsFile()).absolutePath();
        rlimit old {};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        if (cause == QLatin1String("full")) {
            // No file of this process may grow past a few bytes: every write
            // of the settings fails as on a full disk.
            rlimit tiny = old;
            tiny.rlim_cur = 8;
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &tiny), 0);
        } else {
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        }

        if (quit)
            Action("Quit2")->trigger();
        else
            FForm->close();

        // The failed save left the file as it was (a later save that can
        // write may still store the newer values).
        const QByteArray afterFailedSave = EntryState(SettingsFile()).Content;
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(afterFailedSave, before);
        // Let the save that was left pending go through now, so it cannot
        // land in a later test's settings.
        QSettings(QStringLiteral("Dremsel"), QLatin1String(MorvicSettingsName)).sync();

        QCOMPARE(FEnded->count(), quit ? 1 : 0);
        QCOMPARE(FForm->isVisible(), false);
        if (!quit)
            QCOMPARE(FArea->Adds, 1);
        QVERIFY(FMessages.isEmpty());
    }

    // Command lines the program did not expect: the switch is found where it
    // stands as a whole argument in any case, and nothing else disturbs the
    // start.
    void OddCommandLines_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("autoMinimize");
        const QString program = QStringLiteral("tarvolin");
        QStringList many{program};
        for (int i = 0; i < 20000; ++i)
            many << QStringLiteral("arg%1").arg(i);
        QStringList manyWithSwitch = many;
        manyWithSwitch.insert(12345, QStringLiteral("-AUTOMINIMIZE"));
        QTest::newRow("no arguments at all") << QStringList() << false;
        QTest::newRow("20,000 arguments") << many << false;
        QTest::newRow("20,000 arguments, switch among them") << manyWithSwitch << true;
        QTest::newRow("one argument of a million characters")
            << QStringList{program, QString(1000000, QLatin1Char('x'))} << false;
        QTest::newRow("switch with a million-character neighbour")
            << QStringList{program, QString(1000000, QLatin1Char('-')), QStringLiteral("-autoMinimize")} << true;
        QTest::newRow("empty, blanks, controls")
            << QStringList{program, QString(), QStringLiteral("   "), QStringLiteral("\x01\x7f\n\t")} << false;
        QTest::newRow("non-Latin-1 text")
            << QStringList{program, QStringLiteral("\u4e2d\u6587"), QStringLiteral("\U0001F600")} << false;
        QTest::newRow("switch with something after it")
            << QStringList{program, QStringLiteral("-autominimize=1"), QStringLiteral("-autominimize ")} << false;
        QTest::newRow("switch as the program name only") << QStringList{QStringLiteral("-autominimize")} << false;
        QTest::newRow("switch twice") << QStringList{program, QStringLiteral("-autominimize"),
                                                     QStringLiteral("-AutoMinimize")} << true;
    }

    void OddCommandLines()
    {
        QFETCH(QStringList, arguments);
        Start(arguments);
        QTEST(FForm->AutoMinimize(), "autoMinimize");
        VerifyDefaults();
        QVERIFY(FMessages.isEmpty());
        Action("Quit2")->trigger();
        QCOMPARE(FEnded->count(), 1);
    }

    // The directory the program started in, or the current one, no longer
    // exists: the manual is still looked for in the other places, and when
    // it is nowhere the user is told so, once.
    void StartupDirectoryGone()
    {
        const QString cwd = QDir::currentPath();
        QTemporaryDir exeDir;
        QVERIFY(exeDir.isValid());
        SetModuleFileNameOverride(exeDir.filePath(QStringLiteral("tarvolin")));
        const QByteArray oldStartup = StartupDirectory;
        {
            QTemporaryDir gone;
            StartupDirectory = QFile::encodeName(gone.path());
            QVERIFY(QDir::setCurrent(gone.path()));
        }
        QVERIFY(!QFileInfo::exists(QString::fromLocal8Bit(StartupDirectory)));

        Start();
        Action("Help2")->trigger();
        QVERIFY(FOpened.isEmpty());
        QCOMPARE(FMessages, QList<QByteArray>{"Unable to find documentation"});

        // With the manual beside the executable, that one opens.
        QVERIFY(WriteFile(exeDir.filePath(QStringLiteral("morvic.html")), "<html></html>"));
        FMessages.clear();
        Action("Help2")->trigger();
        QCOMPARE(FOpened.size(), 1);
        QCOMPARE(FOpened.first().toLocalFile(), exeDir.filePath(QStringLiteral("morvic.html")));
        QVERIFY(FMessages.isEmpty());

        StartupDirectory = oldStartup;
        QDir::setCurrent(cwd);
    }

    // An executable whose path holds spaces, quotes and other characters
    // that mean something to a shell, a URL or a desktop entry: the manual
    // beside it opens as that very file, and the auto-start entry names it.
    void ExecutablePathWithSpacesAndQuotes()
    {
        QTemporaryDir root;
        QVERIFY(root.isValid());
        const QString dir = root.filePath(QStringLiteral("my \"tools\" & it's $HOME #1 %20 100%"));
        QVERIFY(QDir().mkpath(dir));
        const QString exe = dir + QStringLiteral("/tar volin");
        SetModuleFileNameOverride(exe);
        QVERIFY(WriteFile(dir + QStringLiteral("/morvic.html"), "<html></html>"));
        const QByteArray oldStartup = StartupDirectory;
        StartupDirectory = QByteArray(); // only the executable's folder holds it

        Start();
        Action("Help2")->trigger();
        QCOMPARE(FOpened.size(), 1);
        QCOMPARE(FOpened.first().toLocalFile(), dir + QStringLiteral("/morvic.html"));

        Action("MenuItemAutoLoad")->trigger();
        const QByteArray text = ReadFile(AutoLoadEntryPath(MorvicSettingsName));
        QVERIFY2(text.contains("Exec=" + AutoLoadExecLine(exe).toUtf8() + "\n"), text.constData());
        QVERIFY(FMessages.isEmpty());
        StartupDirectory = oldStartup;
    }
};

QTEST_MAIN(TTestBadInput)
#include "tst_badinput.moc"
