// The documentation launcher over temporary folders standing for the
// start-up directory, the current directory and the executable's directory.
#include "Viewdoc.h"

#include "Messagebox.h"
#include "Paths.h"
#include "Shellopen.h"
#include "Testenv.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestViewdoc : public QObject
{
    Q_OBJECT

private:
    TTestConfigHome FHome;
    QString FOldCurrent;
    std::unique_ptr<QTemporaryDir> FStart, FCurrent, FExe;
    QList<QUrl> FOpened;
    QList<QByteArray> FMessages;

    QString DirOf(char where) const
    {
        switch (where) {
        case 'S': return FStart->path();
        case 'C': return FCurrent->path();
        case 'D': return FExe->path() + "/share/doc/tarvolin"; // installed beside bin/
        default: return FExe->path() + "/bin";
        }
    }
    // "S:morvic.html C:morvic.htm" creates those files (S start-up, C current,
    // E executable folder, D installed documentation folder); a trailing '/'
    // creates a folder of that name instead.
    void Create(const QString& entries)
    {
        for (const QString& item : entries.split(' ', Qt::SkipEmptyParts)) {
            const QString path = DirOf(item.at(0).toLatin1()) + '/' + item.mid(2);
            if (path.endsWith('/')) {
                QVERIFY(QDir().mkpath(path));
            } else {
                QFile f(path);
                QVERIFY(f.open(QIODevice::WriteOnly));
            }
        }
    }

private slots:
    void initTestCase()
    {
        FOldCurrent = QDir::currentPath();
        SetShellOpenHandler([this](const QUrl& url) {
            FOpened.append(url);
            return true;
        });
        SetMessageBoxHandler([this](QWidget*, const QByteArray& text, const QByteArray& caption) {
            FMessages.append(caption + ": " + text);
        });
    }
    void cleanupTestCase()
    {
        QDir::setCurrent(FOldCurrent);
        SetShellOpenHandler({});
        SetMessageBoxHandler({});
        SetModuleFileNameOverride(QString());
    }
    void init()
    {
        FStart = std::make_unique<QTemporaryDir>();
        FCurrent = std::make_unique<QTemporaryDir>();
        FExe = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(FCurrent->path()));
        QVERIFY(QDir().mkpath(DirOf('E')));
        QVERIFY(QDir().mkpath(DirOf('D')));
        SetModuleFileNameOverride(DirOf('E') + "/tarvolin");
        FOpened.clear();
        FMessages.clear();
    }

    void searchOrder_data()
    {
        QTest::addColumn<QString>("files");
        QTest::addColumn<QString>("opened"); // place and name, or empty for none
        QTest::newRow("html before htm") << "S:morvic.html S:morvic.htm C:morvic.html" << "S:morvic.html";
        QTest::newRow("start-up htm before executable html") << "S:morvic.htm E:morvic.html" << "S:morvic.htm";
        QTest::newRow("current directory html") << "C:morvic.html C:morvic.htm E:morvic.html" << "C:morvic.html";
        QTest::newRow("current directory htm") << "C:morvic.htm E:morvic.html" << "C:morvic.htm";
        QTest::newRow("executable directory html") << "E:morvic.html E:morvic.htm" << "E:morvic.html";
        QTest::newRow("executable directory htm") << "E:morvic.htm D:morvic.html" << "E:morvic.htm";
        QTest::newRow("installed documentation folder") << "D:morvic.html D:morvic.htm" << "D:morvic.html";
        QTest::newRow("folder named like the manual") << "S:morvic.html/ C:morvic.html/ E:morvic.htm" << "E:morvic.htm";
        QTest::newRow("other names ignored") << "S:Morvic.html S:morvic.txt S:morvic" << "";
        QTest::newRow("nothing") << "" << "";
    }
    void searchOrder()
    {
        QFETCH(QString, files);
        QFETCH(QString, opened);
        Create(files);
        const QByteArray start = FStart->path().toLocal8Bit();
        const int found = ViewDocumentation("morvic", start.constData(), 0);
        if (opened.isEmpty()) {
            QCOMPARE(found, 0);
            QVERIFY(FOpened.isEmpty());
            QCOMPARE(FMessages, QList<QByteArray>{"error: Unable to find documentation"});
        } else {
            QCOMPARE(found, 1);
            const QString path = DirOf(opened.at(0).toLatin1()) + '/' + opened.mid(2);
            QCOMPARE(FOpened, QList<QUrl>{QUrl::fromLocalFile(path)});
            QVERIFY(FMessages.isEmpty());
        }
    }

    // A manual found that nothing could open (no URL opener installed): the
    // search still ends there, and the user is told where the manual is.
    void foundButNothingOpensIt()
    {
        Create("S:morvic.html E:morvic.html");
        const TShellOpenHandler recording = SetShellOpenHandler([this](const QUrl& url) {
            FOpened.append(url);
            return false;
        });
        const QByteArray start = FStart->path().toLocal8Bit();
        QCOMPARE(ViewDocumentation("morvic", start.constData(), 1), 1);
        QVERIFY(FMessages.isEmpty());
        QCOMPARE(ViewDocumentation("morvic", start.constData(), 0), 1);
        SetShellOpenHandler(recording);
        const QString path = DirOf('S') + "/morvic.html";
        QCOMPARE(FOpened, QList<QUrl>(2, QUrl::fromLocalFile(path)));
        QCOMPARE(FMessages, QList<QByteArray>{"error: Unable to open documentation:\n" + QFile::encodeName(path)});
    }

    void quietModeSaysNothing()
    {
        QCOMPARE(ViewDocumentation("morvic", FStart->path().toLocal8Bit().constData(), 1), 0);
        QVERIFY(FMessages.isEmpty());
        QVERIFY(FOpened.isEmpty());
    }

    void nullStartupDirectorySkipsItsCandidates()
    {
        Create("E:morvic.htm");
        QCOMPARE(ViewDocumentation("morvic", nullptr, 1), 1);
        QCOMPARE(FOpened, QList<QUrl>{QUrl::fromLocalFile(DirOf('E') + "/morvic.htm")});
    }

    void backslashIsAnOrdinaryCharacterInFolderNames()
    {
        Create("E:a\\b/");
        Create("E:a\\b/morvic.html");
        SetModuleFileNameOverride(DirOf('E') + "/a\\b/tarvolin");
        QCOMPARE(ViewDocumentation("morvic", nullptr, 1), 1);
        QCOMPARE(FOpened, QList<QUrl>{QUrl::fromLocalFile(DirOf('E') + "/a\\b/morvic.html")});
    }

    void unknownExecutableSkipsItsCandidates()
    {
        Create("E:morvic.html");
        SetModuleFileNameOverride("tarvolin"); // a path without any folder
        QCOMPARE(ViewDocumentation("morvic", FStart->path().toLocal8Bit().constData(), 1), 0);
        QVERIFY(FOpened.isEmpty());
    }

    void findsTheManualTheBuildPutsBesideTheExecutable()
    {
        SetModuleFileNameOverride(QStringLiteral(TARVOLIN_APP_DIR "/tarvolin"));
        QCOMPARE(ViewDocumentation("morvic", FStart->path().toLocal8Bit().constData(), 1), 1);
        QCOMPARE(FOpened, QList<QUrl>{QUrl::fromLocalFile(TARVOLIN_APP_DIR "/morvic.html")});
    }

    void joinPath_data()
    {
        QTest::addColumn<QByteArray>("directory");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("joined");
        QTest::addColumn<int>("result");
        QTest::newRow("adds separator") << QByteArray("/usr/share") << QByteArray("m.html") << QByteArray("/usr/share/m.html") << 1;
        QTest::newRow("keeps trailing separator") << QByteArray("/usr/share/") << QByteArray("m.html") << QByteArray("/usr/share/m.html") << 1;
        QTest::newRow("empty directory") << QByteArray("") << QByteArray("m.html") << QByteArray("m.html") << 1;
        QTest::newRow("fills the buffer") << QByteArray(DocPathSize - 8, 'd') << QByteArray("m.html") << QByteArray(DocPathSize - 8, 'd') + "/m.html" << 1;
        QTest::newRow("one too long") << QByteArray(DocPathSize - 7, 'd') << QByteArray("m.html") << QByteArray() << 0;
    }
    void joinPath()
    {
        QFETCH(QByteArray, directory);
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, joined);
        QFETCH(int, result);
        QByteArray buffer(DocPathSize + 16, 'Z');
        QCOMPARE(JoinPath(directory.constData(), name.constData(), buffer.data()), result);
        QCOMPARE(QByteArray(buffer.constData()), joined);
        QCOMPARE(buffer.mid(DocPathSize), QByteArray(16, 'Z'));
    }
};

QTEST_MAIN(TestViewdoc)
#include "tst_viewdoc.moc"
