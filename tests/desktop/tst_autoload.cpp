// Auto-start registration as an XDG autostart entry in a private settings
// folder: the Exec line's quoting, overwriting, removal and unusable folders.
#include "Autoload.h"

#include "Paths.h"
#include "Testenv.h"
#include "Testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTest>

class TestAutoload : public QObject
{
    Q_OBJECT

private:
    TTestConfigHome FHome;

    QString EntryPath() const { return FHome.Path() + "/autostart/KVMorvic.desktop"; }
    // The value of key in the entry's [Desktop Entry] group, as written.
    QByteArray EntryValue(const QByteArray& key) const
    {
        for (const QByteArray& line : ReadFile(EntryPath()).split('\n'))
            if (line.startsWith(key + '='))
                return line.mid(key.size() + 1);
        return QByteArray();
    }

private slots:
    void init()
    {
        QDir(FHome.Path() + "/autostart").removeRecursively();
        QFile::remove(FHome.Path() + "/autostart");
        SetModuleFileNameOverride("/opt/tarvolin/bin/tarvolin");
    }
    void cleanupTestCase() { SetModuleFileNameOverride(QString()); }

    void execLineQuotesThePath_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QByteArray>("exec");
        QTest::newRow("plain") << "/opt/tarvolin/bin/tarvolin"
                               << QByteArray("\"/opt/tarvolin/bin/tarvolin\" -autominimize");
        QTest::newRow("spaces") << "/home/ann/my tools/tarvolin"
                                << QByteArray("\"/home/ann/my tools/tarvolin\" -autominimize");
        // Inside quotes '"', '`', '$' and '\' take a backslash, and the
        // string escapes of the file double every backslash once more.
        QTest::newRow("quote") << "/home/ann/a\"b/tarvolin"
                               << QByteArray("\"/home/ann/a\\\\\"b/tarvolin\" -autominimize");
        QTest::newRow("dollar and backtick") << "/x/$HOME/`id`/tarvolin"
                                             << QByteArray("\"/x/\\\\$HOME/\\\\`id\\\\`/tarvolin\" -autominimize");
        QTest::newRow("backslash") << "/x/a\\b/tarvolin" << QByteArray("\"/x/a\\\\\\\\b/tarvolin\" -autominimize");
        QTest::newRow("percent") << "/x/100%/tarvolin" << QByteArray("\"/x/100%%/tarvolin\" -autominimize");
    }
    void execLineQuotesThePath()
    {
        QFETCH(QString, program);
        QFETCH(QByteArray, exec);
        SetModuleFileNameOverride(program);
        QCOMPARE(SetAutoLoad(1, "KVMorvic"), 0);
        QCOMPARE(EntryValue("Exec"), exec);
        QVERIFY(ReadFile(EntryPath()).startsWith("[Desktop Entry]\nType=Application\n"));
    }

    void enablingAgainRewritesThePath()
    {
        QCOMPARE(SetAutoLoad(1, "KVMorvic"), 0);
        SetModuleFileNameOverride("/moved/tarvolin-new");
        QCOMPARE(SetAutoLoad(1, "KVMorvic"), 0);
        QCOMPARE(EntryValue("Exec"), QByteArray("\"/moved/tarvolin-new\" -autominimize"));
        QCOMPARE(QDir(FHome.Path() + "/autostart").entryList(QDir::Files), QStringList{"KVMorvic.desktop"});
    }

    void disablingRemovesTheEntry()
    {
        QCOMPARE(SetAutoLoad(1, "KVMorvic"), 0);
        QCOMPARE(SetAutoLoad(1, "Other"), 0);
        QCOMPARE(SetAutoLoad(0, "KVMorvic"), 0);
        QVERIFY(!QFileInfo::exists(EntryPath()));
        QVERIFY(QFileInfo::exists(FHome.Path() + "/autostart/Other.desktop"));
        // Nothing to remove: no error, nothing changes.
        QCOMPARE(SetAutoLoad(0, "KVMorvic"), 0);
        QCOMPARE(QDir(FHome.Path() + "/autostart").entryList(QDir::Files), QStringList{"Other.desktop"});
    }

    void unusableFolderChangesNothing()
    {
        // The autostart folder's place is taken by a file, so it cannot be made.
        const QString blocker = FHome.Path() + "/autostart";
        QVERIFY(WriteFile(blocker, "keep"));
        QVERIFY(SetAutoLoad(1, "KVMorvic") != 0);
        QCOMPARE(ReadFile(blocker), QByteArray("keep"));
    }

};

QTEST_GUILESS_MAIN(TestAutoload)
#include "tst_autoload.moc"
