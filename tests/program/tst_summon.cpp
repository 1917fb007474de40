// Reaching the running window from outside: what a later start's request
// does in each state of the window, the Stay on Top item, and the command
// line of the program.
#include "Commandline.h"
#include "Fieldtexts.h"
#include "Fmorvic.h"
#include "Frestore.h"
#include "Hidetask.h"
#include "Morvicdriver.h"
#include "Summon.h"
#include "Testenv.h"
#include "Windowsystem.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>
#include <QtTest>

class TTestSummon : public QObject, protected TMorvicDriver
{
    Q_OBJECT

private:
    TTestConfigHome FConfigHome;

    void ShowActive(QWidget* window)
    {
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
    }

private slots:
    void init()
    {
        QFile::remove(SettingsFile());
        UseFakeArea();
    }

    void cleanup()
    {
        EndProgram();
        QFile::remove(SettingsFile());
    }

    // initial: "active", "behind" (another window has the focus), "hidden"
    // (in the notification area), "minimised". outcome: "active", "hidden",
    // "minimised" or "dialog" (the password asked, the window still hidden).
    void RequestInEachState_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("initial");
        QTest::addColumn<int>("hideOnTaskbar");
        QTest::addColumn<bool>("password");
        QTest::addColumn<QString>("outcome");
        const int activate = int(TActivationKind::Activate), toggle = int(TActivationKind::Toggle);
        QTest::newRow("activate: from the tray") << activate << "hidden" << 1 << false << "active";
        QTest::newRow("activate: from the tray, password asked") << activate << "hidden" << 1 << true << "dialog";
        QTest::newRow("activate: minimised") << activate << "minimised" << 1 << false << "active";
        QTest::newRow("activate: behind another window") << activate << "behind" << 1 << false << "active";
        QTest::newRow("activate: shown and active stays") << activate << "active" << 1 << false << "active";
        QTest::newRow("toggle: shown and active hides") << toggle << "active" << 1 << false << "hidden";
        QTest::newRow("toggle: hides, never ends") << toggle << "active" << 0 << false << "minimised";
        QTest::newRow("toggle: behind another window") << toggle << "behind" << 1 << false << "active";
        QTest::newRow("toggle: from the tray") << toggle << "hidden" << 1 << false << "active";
        QTest::newRow("toggle: password asked") << toggle << "hidden" << 1 << true << "dialog";
        QTest::newRow("probe: stays hidden") << int(TActivationKind::Probe) << "hidden" << 1 << false << "hidden";
    }

    void RequestInEachState()
    {
        QFETCH(int, kind);
        QFETCH(QString, initial);
        QFETCH(int, hideOnTaskbar);
        QFETCH(bool, password);
        QFETCH(QString, outcome);
        SeedSettings({{"hideontaskbar", hideOnTaskbar}, {HideTaskUsePasswordName, password ? 1 : 0}});
        TFormMorvic* form = Start();
        int dialogs = 0;
        form->Tray()->SetDialogRunner([&dialogs](TFormRestore&) {
            ++dialogs;
            return ModalResultCancel;
        });
        QWidget other;
        ShowActive(form);
        if (initial == QLatin1String("hidden")) {
            form->close();
            QVERIFY(form->Tray()->Hidden());
        } else if (initial == QLatin1String("minimised")) {
            form->showMinimized();
        } else if (initial == QLatin1String("behind")) {
            ShowActive(&other);
        }

        TActivationRequest request;
        request.Kind = TActivationKind(kind);
        SummonMorvic(*form, request);
        QCoreApplication::processEvents();

        QVERIFY(!Ended());
        QCOMPARE(dialogs, outcome == QLatin1String("dialog") ? 1 : 0);
        if (outcome == QLatin1String("active")) {
            QVERIFY(form->isVisible() && !form->isMinimized());
            QTRY_COMPARE(QGuiApplication::focusWindow(), form->windowHandle());
        } else if (outcome == QLatin1String("minimised")) {
            QVERIFY(form->isMinimized());
        } else {
            QVERIFY(form->Tray()->Hidden());
            QVERIFY(!form->isVisible());
        }
    }

    void StayOnTopIsKeptAndApplied_data()
    {
        QTest::addColumn<bool>("windowSystemAllows");
        QTest::addColumn<int>("stored");
        QTest::newRow("off, switched on") << true << 0;
        QTest::newRow("on at start, switched off") << true << 1;
        QTest::newRow("Wayland: disabled, says why") << false << 1;
    }

    void StayOnTopIsKeptAndApplied()
    {
        QFETCH(bool, windowSystemAllows);
        QFETCH(int, stored);
        TWindowSystemTraits traits;
        traits.StayOnTop = windowSystemAllows;
        SetWindowSystemTraits(&traits);
        const auto restore = qScopeGuard([] { SetWindowSystemTraits(nullptr); });
        SeedSettings({{MorvicSettingStayOnTop, stored}});
        TFormMorvic* form = Start();
        form->show();
        QAction* item = Action("MenuItemStayOnTop");
        QVERIFY(item);
        QCOMPARE(item->text(), QStringLiteral("Stay on &Top"));
        QCOMPARE(item->isChecked(), stored != 0);
        QCOMPARE(item->isEnabled(), windowSystemAllows);
        if (!windowSystemAllows) {
            QCOMPARE(item->toolTip(), QString::fromLatin1(MorvicStayOnTopUnavailable));
            QVERIFY(!form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
            return;
        }
        QCOMPARE(form->windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint), stored != 0);
        item->trigger();
        // Changed in place: the window stays shown.
        QVERIFY(form->isVisible());
        QCOMPARE(form->windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint), stored == 0);
        QCOMPARE(Setting(MorvicSettingStayOnTop).toInt(), stored); // stored at the close
        form->close();
        QCOMPARE(Setting(MorvicSettingStayOnTop).toInt(), stored ? 0 : 1);
    }

    void CommandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("run");
        QTest::addColumn<bool>("autoMinimize");
        const int window = int(TMorvicRun::Window), usage = int(TMorvicRun::Usage), print = int(TMorvicRun::Print);
        QTest::newRow("nothing") << QStringList() << window << false;
        QTest::newRow("-autominimize in any case, anywhere")
            << QStringList{"x", "-AutoMinimize", "--toggle"} << int(TMorvicRun::Toggle) << true;
        QTest::newRow("unknown arguments are ignored")
            << QStringList{"-autominimize=no", "--frobnicate", "--", "arg"} << window << false;
        QTest::newRow("--print") << QStringList{"--print", "-5"} << print << false;
        QTest::newRow("--print with all its options")
            << QStringList{"--print", "AB", "--from", "ascii", "--pad", "100", "--flip", "24"} << print << false;
        QTest::newRow("--print without its text") << QStringList{"--print"} << usage << false;
        QTest::newRow("--print, unknown option") << QStringList{"--print", "1", "--frobnicate"} << usage << false;
        QTest::newRow("--print, two texts") << QStringList{"--print", "1", "2"} << usage << false;
        QTest::newRow("--from without --print") << QStringList{"--from", "hex"} << usage << false;
        QTest::newRow("--from, unknown field") << QStringList{"--print", "1", "--from", "base64"} << usage << false;
        QTest::newRow("--pad out of range") << QStringList{"--print", "1", "--pad", "101"} << usage << false;
        QTest::newRow("--flip 8") << QStringList{"--print", "1", "--flip", "8"} << usage << false;
        QTest::newRow("--toggle with --print") << QStringList{"--print", "1", "--toggle"} << usage << false;
        QTest::newRow("--help wins") << QStringList{"--toggle", "--help"} << int(TMorvicRun::Help) << false;
        QTest::newRow("--version") << QStringList{"--version"} << int(TMorvicRun::Version) << false;
    }

    void CommandLine()
    {
        QFETCH(QStringList, arguments);
        arguments.prepend(QStringLiteral("tarvolin"));
        const TMorvicCommand command = ParseMorvicCommandLine(arguments);
        QTEST(int(command.Run), "run");
        QTEST(command.AutoMinimize, "autoMinimize");
        QCOMPARE(command.Error.isEmpty(), command.Run != TMorvicRun::Usage);
    }

    // --print against the window itself: the text typed into the --from
    // field, the flip button pressed, the pad set; every line must be what
    // the window then shows.
    void PrintShowsWhatTheWindowShows_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("flipButton");
        QTest::addColumn<int>("pad");
        QTest::newRow("decimal") << QStringList{"4294967295"} << "EditInspectDecimal" << "" << 0;
        QTest::newRow("decimal field, 0x") << QStringList{"0x41424344"} << "EditInspectDecimal" << "" << 0;
        QTest::newRow("negative") << QStringList{"-2"} << "EditInspectDecimal" << "" << 4;
        QTest::newRow("hex, pad 12") << QStringList{"ff", "--from", "hex", "--pad", "12"} << "EditInspectHex" << "" << 12;
        QTest::newRow("pad above 16") << QStringList{"1", "--pad", "40"} << "EditInspectDecimal" << "" << 40;
        QTest::newRow("binary") << QStringList{"1010 0101", "--from", "binary"} << "EditInspectBinary" << "" << 0;
        QTest::newRow("octal") << QStringList{"777", "--from", "octal"} << "EditInspectOctal" << "" << 0;
        QTest::newRow("ascii, Latin-1") << QStringList{"\u00e9t\u00e9!", "--from", "ascii"} << "EditInspectAscii" << "" << 0;
        QTest::newRow("ascii, controls") << QStringList{"\x1b[2J", "--from", "ascii"} << "EditInspectAscii" << "" << 0;
        QTest::newRow("flip 32") << QStringList{"0x11223344", "--flip", "32"} << "EditInspectDecimal"
                                 << "ButtonEndianFlip32" << 0;
        QTest::newRow("ascii, flip 24") << QStringList{"ABC", "--from", "ascii", "--flip", "24"} << "EditInspectAscii"
                                        << "ButtonEndianFlip24" << 0;
        QTest::newRow("flip 16") << QStringList{"0x11223344", "--flip", "16"} << "EditInspectDecimal"
                                 << "ButtonEndianFlip16" << 0;
    }

    void PrintShowsWhatTheWindowShows()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, field);
        QFETCH(QString, flipButton);
        QFETCH(int, pad);
        arguments.prepend(QStringLiteral("--print"));
        arguments.prepend(QStringLiteral("tarvolin"));
        TMorvicCommand command = ParseMorvicCommandLine(arguments);
        QCOMPARE(command.Run, TMorvicRun::Print);
        if (command.Pad < 0)
            command.Pad = pad;
        const QByteArray printed = MorvicPrintLines(MorvicPrintValue(command), MorvicPadWidth(command.Pad));

        TFormMorvic* form = Start();
        Spinner()->setValue(pad);
        Field(field.toLatin1().constData())->setText(command.PrintText);
        // What every field shows for the value (the typed one included).
        form->InspectorChange(nullptr);
        if (!flipButton.isEmpty())
            QTest::mouseClick(form->findChild<QPushButton*>(flipButton), Qt::LeftButton);
        QByteArray shown;
        for (const char* name : {"binary", "decimal", "hex", "octal", "ascii"}) {
            const QString objectName = QStringLiteral("EditInspect") + QChar(QLatin1Char(name[0])).toUpper()
                + QString::fromLatin1(name + 1);
            const QString text = Field(objectName.toLatin1().constData())->text();
            QByteArray escaped;
            for (const QChar ch : text) {
                const ushort code = ch.unicode();
                escaped += (code < 0x20 || code == 0x7F || (code >= 0x80 && code < 0xA0))
                    ? QByteArray("\\x") + QByteArray::number(code, 16).toUpper().rightJustified(2, '0')
                    : QString(ch).toUtf8();
            }
            shown += QByteArray(name) + ": " + escaped + '\n';
        }
        const QColor swatch = form->findChild<QWidget*>("PanelRGB")->palette().color(QPalette::Window);
        shown += "rgb: " + swatch.name().toUpper().toLatin1() + '\n';
        QCOMPARE(printed, shown);
    }
};

QTEST_MAIN(TTestSummon)
#include "tst_summon.moc"
