// The whole program in one process: start-up with its settings, closing,
// quitting, the start-up switch, the menus and the commands. The notification
// area is played by a double; browser, message boxes and modal dialogs are
// answered through their seams, and every test has its own settings folder.
#include "Autoload.h"
#include "Faboutbase.h"
#include "Fmorvic.h"
#include "Hidetask.h"
#include "Linklabel.h"
#include "Messagebox.h"
#include "Paths.h"
#include "Resources.h"
#include "Shellopen.h"
#include "Morvicdriver.h"
#include "Testenv.h"
#include "Testfiles.h"
#include "Trayhostwatch.h"
#include "Trayicon.h"
#include "Weblinks.h"
#include "Windowsystem.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>
#include <utility>

namespace {

QSize ScreenSize()
{
    return QGuiApplication::primaryScreen()->geometry().size();
}

} // namespace

class TTestProgram : public QObject, protected TMorvicDriver
{
    Q_OBJECT

private:
    // One settings folder for the whole run: the settings library fixes its
    // folder at first use. Each test starts with it emptied.
    TTestConfigHome FConfigHome;

private slots:
    void ClearSettings()
    {
        QVERIFY(SettingsFile().startsWith(FConfigHome.Path()));
        QFile::remove(SettingsFile());
        QFile::remove(AutoLoadEntryPath(MorvicSettingsName));
    }

    void init()
    {
        ClearSettings();
        UseFakeArea();
    }

    void cleanup()
    {
        EndProgram();
        SetShellOpenHandler(nullptr);
        SetMessageBoxHandler(nullptr);
        ClearSettings();
    }

    void FirstStartSeedsTheDefaults()
    {
        TFormMorvic* form = Start();
        const QSize screen = ScreenSize();
        QCOMPARE(form->pos(), QPoint(screen.width() / 2, screen.height() / 2));
        QVERIFY(Action("HideonTaskbarinsteadofClosing1")->isChecked());
        QVERIFY(!Action("MenuItemAutoLoad")->isChecked());
        QCOMPARE(Spinner()->value(), 0);

        QSettings settings(SettingsFile(), QSettings::IniFormat);
        QStringList keys = settings.allKeys();
        keys.sort();
        QCOMPARE(keys, QStringList({"autoload", "hideontaskbar", "left", "padhex", "top"}));
        QCOMPARE(settings.value("top").toInt(), screen.height() / 2);
        QCOMPARE(settings.value("left").toInt(), screen.width() / 2);
        QCOMPARE(settings.value("hideontaskbar").toInt(), 1);
        QCOMPARE(settings.value("autoload").toInt(), 0);
        QCOMPARE(settings.value("padhex").toInt(), 0);
    }

    void StoredSettingsAreUsed_data()
    {
        QTest::addColumn<int>("top");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("hide");
        QTest::addColumn<int>("autoload");
        QTest::addColumn<int>("padhex");
        QTest::addColumn<int>("spinner");
        QTest::addColumn<QString>("hex");
        QTest::newRow("ordinary") << 10 << 20 << 0 << 1 << 4 << 4 << "0000";
        // Moved only as far as it takes to be wholly on the screen (there
        // against its top and right edges).
        QTest::newRow("off screen is brought back") << -500 << 5000 << 1 << 0 << 0 << 0 << "0";
        QTest::newRow("pad above 16 pads to 16") << 0 << 0 << 1 << 0 << 40 << 40 << "0000000000000000";
        QTest::newRow("pad keeps its low 16 bits") << 0 << 0 << 1 << 0 << 0x10000 + 3 << 3 << "000";
        QTest::newRow("pad beyond the spinner") << 0 << 0 << 1 << 0 << 500 << 100 << "0000000000000000";
        QTest::newRow("negative pad") << 0 << 0 << 1 << 0 << -5 << 0 << "0";
    }

    void StoredSettingsAreUsed()
    {
        QFETCH(int, top);
        QFETCH(int, left);
        QFETCH(int, hide);
        QFETCH(int, autoload);
        QFETCH(int, padhex);
        SeedSettings({{"top", top}, {"left", left}, {"hideontaskbar", hide}, {"autoload", autoload},
                      {"padhex", padhex}});
        TFormMorvic* form = Start();
        const QSize screen = ScreenSize();
        if (left < screen.width())
            QCOMPARE(form->pos(), QPoint(left, top));
        else
            QCOMPARE(form->frameGeometry().topRight(), QPoint(screen.width() - 1, 0));
        QCOMPARE(Action("HideonTaskbarinsteadofClosing1")->isChecked(), hide != 0);
        QCOMPARE(Action("MenuItemAutoLoad")->isChecked(), autoload != 0);
        QTEST(Spinner()->value(), "spinner");
        QTEST(Field("EditInspectHex")->text(), "hex");
    }

    void CloseHidesOrEnds_data()
    {
        QTest::addColumn<int>("hide");
        QTest::newRow("hideontaskbar set: hides") << 1;
        QTest::newRow("hideontaskbar clear: ends") << 0;
    }

    void CloseHidesOrEnds()
    {
        QFETCH(int, hide);
        SeedSettings({{"hideontaskbar", hide}});
        TFormMorvic* form = Start();
        form->show();
        form->move(30, 40);
        QVERIFY(!form->close() == bool(hide));

        QCOMPARE(Ended(), hide == 0);
        QCOMPARE(form->Tray()->Hidden(), hide != 0);
        QCOMPARE(FArea->Showing, hide != 0);
        QVERIFY(!form->isVisible());
        // Saved on every close, also one that turns into a hide.
        QCOMPARE(Setting("left").toInt(), form->frameGeometry().left());
        QCOMPARE(Setting("top").toInt(), form->frameGeometry().top());
        QCOMPARE(Setting("width").toInt(), form->frameGeometry().width());
        QCOMPARE(Setting("height").toInt(), form->frameGeometry().height());
    }

    void QuitEndsFromAnyState_data()
    {
        QTest::addColumn<int>("hide");
        QTest::addColumn<bool>("hiddenFirst");
        QTest::addColumn<QString>("item");
        QTest::newRow("File > Quit, shown") << 1 << false << "Quit2";
        QTest::newRow("File > Quit, hideontaskbar clear") << 0 << false << "Quit2";
        QTest::newRow("tray Quit, hidden") << 1 << true << "MenuItem1";
        QTest::newRow("File > Quit, hidden") << 1 << true << "Quit2";
    }

    void QuitEndsFromAnyState()
    {
        QFETCH(int, hide);
        QFETCH(bool, hiddenFirst);
        QFETCH(QString, item);
        SeedSettings({{"hideontaskbar", hide}});
        TFormMorvic* form = Start();
        form->show();
        if (hiddenFirst) {
            QVERIFY(!form->close());
            QVERIFY(form->Tray()->Hidden());
        }
        Action(item.toLatin1().constData())->trigger();
        QVERIFY(Ended());
        QVERIFY(!form->isVisible());
        QCOMPARE(Setting("hideontaskbar").toInt(), hide);
    }

    void ToggleTakesEffectAtTheNextClose_data()
    {
        QTest::addColumn<int>("hide");
        QTest::newRow("set, toggled: the close ends") << 1;
        QTest::newRow("clear, toggled: the close hides") << 0;
    }

    void ToggleTakesEffectAtTheNextClose()
    {
        QFETCH(int, hide);
        SeedSettings({{"hideontaskbar", hide}});
        TFormMorvic* form = Start();
        form->show();
        Action("HideonTaskbarinsteadofClosing1")->trigger();
        QCOMPARE(Action("HideonTaskbarinsteadofClosing1")->isChecked(), hide == 0);
        QCOMPARE(Setting("hideontaskbar").toInt(), hide); // stored at the close, not before
        form->close();
        QCOMPARE(Ended(), hide != 0);
        QCOMPARE(form->Tray()->Hidden(), hide == 0);
        QCOMPARE(Setting("hideontaskbar").toInt(), hide ? 0 : 1);
    }

    void AbnormalStateLeavesPositionAlone_data()
    {
        QTest::addColumn<int>("state");
        QTest::newRow("maximised") << int(Qt::WindowMaximized);
        QTest::newRow("minimised") << int(Qt::WindowMinimized);
        QTest::newRow("full screen") << int(Qt::WindowFullScreen);
    }

    void AbnormalStateLeavesPositionAlone()
    {
        QFETCH(int, state);
        SeedSettings({{"top", 11}, {"left", 22}, {"width", 33}, {"height", 44}, {"hideontaskbar", 0}});
        TFormMorvic* form = Start();
        form->show();
        form->setWindowState(Qt::WindowState(state));
        Spinner()->setValue(7);
        Action("MenuItemAutoLoad")->trigger();

        form->close();
        QVERIFY(Ended());
        QCOMPARE(Setting("top").toInt(), 11);
        QCOMPARE(Setting("left").toInt(), 22);
        QCOMPARE(Setting("width").toInt(), 33);
        QCOMPARE(Setting("height").toInt(), 44);
        QCOMPARE(Setting("padhex").toInt(), 7);
        QCOMPARE(Setting("autoload").toInt(), 1);
    }

    void AutoMinimizeSwitch_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("hides");
        QTest::newRow("none") << QStringList{"tarvolin"} << false;
        QTest::newRow("lower case") << QStringList{"tarvolin", "-autominimize"} << true;
        QTest::newRow("mixed case among others") << QStringList{"tarvolin", "x", "-AutoMinimize", "y"} << true;
        QTest::newRow("upper case last") << QStringList{"tarvolin", "--other", "-AUTOMINIMIZE"} << true;
        QTest::newRow("program name is not an argument") << QStringList{"-autominimize"} << false;
        QTest::newRow("prefix only") << QStringList{"tarvolin", "-autominimiz"} << false;
        QTest::newRow("longer") << QStringList{"tarvolin", "-autominimized"} << false;
        QTest::newRow("without dash") << QStringList{"tarvolin", "autominimize"} << false;
    }

    void AutoMinimizeSwitch()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, hides);
        TFormMorvic* form = Start(arguments);
        form->show();
        auto* timer = form->findChild<QTimer*>("TimerStartup");
        QVERIFY(timer && timer->isActive());
        QCOMPARE(timer->interval(), 100);
        QVERIFY(timer->isSingleShot());

        form->TimerStartupTimer(timer); // its first tick
        QVERIFY(!timer->isActive());
        QCOMPARE(form->Tray()->Hidden(), hides);
        QCOMPARE(form->isVisible(), !hides);
        QVERIFY(!Ended());
        // Hiding at start-up saves nothing: the first start wrote no size.
        QVERIFY(!Setting("width").isValid());
    }

    void TaskbarCreatedReAddsTheIcon_data()
    {
        QTest::addColumn<bool>("hidden");
        QTest::newRow("while hidden: the icon comes back") << true;
        QTest::newRow("while shown: no icon") << false;
    }

    void TaskbarCreatedReAddsTheIcon()
    {
        QFETCH(bool, hidden);
        TFormMorvic* form = Start();
        form->show();
        if (hidden)
            form->close();
        const int adds = FArea->Adds;
        QVERIFY(form->TaskbarCreatedMessage() != QEvent::None);
        QCOMPARE(form->TaskbarCreatedMessage(), RegisterWindowMessage("TaskbarCreated"));

        // The watch's broadcast reaches the window, which takes the message.
        QVERIFY(TTrayHostWatch::Instance()->Broadcast() >= 1);
        QCOMPARE(FArea->Adds, adds + (hidden ? 1 : 0));
        QCOMPARE(form->Tray()->Hidden(), hidden);

        // The icon that came back still restores on a left click.
        if (hidden) {
            SendTrayMessage(form, WM_TRAYNOTIFY, TrayLeftButtonDown);
            QVERIFY(form->isVisible());
            QVERIFY(!form->Tray()->Hidden());
            QVERIFY(!FArea->Showing);
        }
    }

    void OpenItemRestores()
    {
        TFormMorvic* form = Start();
        form->show();
        form->close();
        QVERIFY(!form->isVisible());
        Action("Open1")->trigger();
        QVERIFY(form->isVisible());
        QVERIFY(!form->Tray()->Hidden());
    }

    void NoNotificationAreaMinimisesInstead()
    {
        FArea->Available = false;
        TFormMorvic* form = Start();
        form->show();
        QVERIFY(!form->close());
        QVERIFY(!Ended());
        QVERIFY(form->Tray()->MinimisedInstead());
        QVERIFY(form->isMinimized());
        QCOMPARE(FArea->Adds, 0);
        Action("Quit2")->trigger();
        QVERIFY(Ended());
    }

    void WindowSystemWithoutPositionsOrMinimising_data()
    {
        QTest::addColumn<bool>("area");
        QTest::newRow("notification area: a close hides") << true;
        QTest::newRow("none: a close ends the program") << false;
    }

    void WindowSystemWithoutPositionsOrMinimising()
    {
        QFETCH(bool, area);
        const TWindowSystemTraits wayland{false, false, false};
        SetWindowSystemTraits(&wayland);
        const auto restore = qScopeGuard([] { SetWindowSystemTraits(nullptr); });
        FArea->Available = area;
        SeedSettings({{"top", 11}, {"left", 22}});
        TFormMorvic* form = Start();
        form->show();
        form->move(30, 40);
        form->close();
        QCOMPARE(Ended(), !area);
        QCOMPARE(form->Tray()->Hidden(), area);
        // The position the window system keeps to itself stays as stored;
        // the size is saved.
        QCOMPARE(Setting("top").toInt(), 11);
        QCOMPARE(Setting("left").toInt(), 22);
        QCOMPARE(Setting("width").toInt(), form->frameGeometry().width());
        QCOMPARE(Setting("height").toInt(), form->frameGeometry().height());
    }

    void AutoLoadItemWritesTheEntryAtOnce_data()
    {
        QTest::addColumn<int>("toggles");
        QTest::newRow("once: registered") << 1;
        QTest::newRow("twice: as before") << 2;
    }

    void AutoLoadItemWritesTheEntryAtOnce()
    {
        QFETCH(int, toggles);
        Start();
        const QString entry = AutoLoadEntryPath(MorvicSettingsName);
        for (int i = 0; i < toggles; ++i)
            Action("MenuItemAutoLoad")->trigger();
        const bool on = toggles % 2 == 1;
        QCOMPARE(Action("MenuItemAutoLoad")->isChecked(), on);
        QCOMPARE(QFile::exists(entry), on);
        if (on)
            QVERIFY(ReadFile(entry).contains(" -autominimize"));
        QCOMPARE(Setting("autoload").toInt(), 0); // written at the next close
        Action("Quit2")->trigger();
        QCOMPARE(Setting("autoload").toInt(), on ? 1 : 0);
    }

    void UsersManual_data()
    {
        QTest::addColumn<bool>("present");
        QTest::newRow("in the start-up directory") << true;
        QTest::newRow("nowhere") << false;
    }

    void UsersManual()
    {
        QFETCH(bool, present);
        QTemporaryDir startup, elsewhere;
        if (present)
            QVERIFY(WriteFile(startup.filePath("morvic.html"), QByteArray()));
        const QByteArray oldStartup = StartupDirectory;
        const QString oldCurrent = QDir::currentPath();
        StartupDirectory = startup.path().toLocal8Bit();
        QVERIFY(QDir::setCurrent(elsewhere.path()));
        SetModuleFileNameOverride(elsewhere.filePath("tarvolin"));

        QList<QUrl> opened;
        SetShellOpenHandler([&opened](const QUrl& url) { opened << url; return true; });
        QList<QByteArray> messages;
        SetMessageBoxHandler([&messages](QWidget*, const QByteArray& text, const QByteArray& caption) {
            messages << text + '|' + caption;
        });
        Start();
        Action("Help2")->trigger();

        StartupDirectory = oldStartup;
        QDir::setCurrent(oldCurrent);
        SetModuleFileNameOverride(QString());
        if (present) {
            QCOMPARE(opened.size(), 1);
            QCOMPARE(QFileInfo(opened.at(0).toLocalFile()).canonicalFilePath(),
                     QFileInfo(startup.filePath("morvic.html")).canonicalFilePath());
            QVERIFY(messages.isEmpty());
        } else {
            QVERIFY(opened.isEmpty());
            QCOMPARE(messages, QList<QByteArray>{"Unable to find documentation|error"});
        }
    }

    void WebLinkOpensTheMakersSite()
    {
        QList<QUrl> opened;
        SetShellOpenHandler([&opened](const QUrl& url) { opened << url; return true; });
        Start()->show();
        auto* label = FForm->findChild<TLinkLabel*>("Label4");
        QCOMPARE(label->text(), QString("visit ") + WebMakerHost);
        QTest::mouseClick(label, Qt::LeftButton, Qt::NoModifier, label->rect().center());
        QCOMPARE(opened, QList<QUrl>{QUrl(QString::fromLatin1(WebMakerSite))});
    }

    void AboutShowsAFreshModalBox()
    {
        TFormMorvic* form = Start();
        QList<QString> titles;
        form->SetModalRunner([&titles, form](QDialog& dialog) {
            if (qobject_cast<TFormAboutBase*>(&dialog) && dialog.parentWidget() == form)
                titles << dialog.windowTitle();
            return 1;
        });
        Action("About1")->trigger();
        Action("About1")->trigger();
        QCOMPARE(titles, QList<QString>({"About Tarvolin", "About Tarvolin"}));
        QVERIFY(form->findChildren<TFormAboutBase*>().isEmpty()); // each destroyed after use
    }

    void IconsAreLinkedIn()
    {
        TarvolinInitResources();
        QCOMPARE(QImage(TarvolinTrayIconPath).size(), QSize(16, 16));
        QVERIFY(QImage(TarvolinIconPath).width() >= 48);
        TFormMorvic* form = Start();
        // The window icon is made from pixels stored at build time, the tray
        // icon when it is first needed: both are their PNGs' images.
        for (const auto& [icon, path] : {std::pair(form->windowIcon(), TarvolinIconPath),
                 std::pair(form->Tray()->FIcon, TarvolinTrayIconPath)}) {
            const QImage png = QImage(path).convertToFormat(QImage::Format_ARGB32_Premultiplied);
            QCOMPARE(icon.pixmap(png.size()).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied), png);
        }
        QVERIFY(!form->Tray()->FIcon.isNull()); // a null icon would refuse every hide
    }
};

QTEST_MAIN(TTestProgram)
#include "tst_program.moc"
