// Hiding to the notification area and restoring, with a notification area
// played by a double that can refuse adds, the password dialog answered
// through the dialog seam and message boxes recorded instead of shown.
#include "Formutil.h"
#include "Frestore.h"
#include "Hidetask.h"
#include "Messagebox.h"
#include "Testenv.h"
#include "Trayicon.h"
#include "Windowsystem.h"

#include <QApplication>
#include <QCursor>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr quint32 CallbackMessage = 1125;
const QByteArray Settings = "TrayTest";

struct THostState
{
    bool Area = true;
    int FailAdds = 0;
    int Adds = 0;
    int Removes = 0;
    TNotifyIconData Last;
    std::function<void()> Lost; // tells the tray object the area went away
};

class TFakeTrayHost : public TTrayIconHost
{
public:
    explicit TFakeTrayHost(std::shared_ptr<THostState> state) : FState(std::move(state)) {}
    bool AreaAvailable() override { return FState->Area; }
    bool Add(const TNotifyIconData& data) override
    {
        ++FState->Adds;
        FState->Last = data;
        if (FState->FailAdds > 0) {
            --FState->FailAdds;
            return false;
        }
        return true;
    }
    bool Remove(const TNotifyIconData&) override
    {
        ++FState->Removes;
        return true;
    }
    void SetAreaLostHandler(const std::function<void()>& lost) override { FState->Lost = lost; }

private:
    std::shared_ptr<THostState> FState;
};

QIcon TestIcon()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::red);
    return QIcon(pixmap);
}

// A main window as the program has it: it hands the icon's messages to its
// tray object.
class TOwnerWindow : public QWidget
{
public:
    THideOnTaskbar* Tray = nullptr;

protected:
    bool event(QEvent* e) override
    {
        if (e->type() == TTrayNotifyEvent::EventType() && Tray) {
            auto* notify = static_cast<TTrayNotifyEvent*>(e);
            if (notify->Message.Msg == CallbackMessage) {
                Tray->HandleTrayMessage(notify->Message);
                return true;
            }
        }
        return QWidget::event(e);
    }
};

struct TMessageRecord
{
    QByteArray Text;
    QByteArray Caption;
    QWidget* Owner;
};

} // namespace

class TestHidetask : public QObject
{
    Q_OBJECT

private:
    TTestConfigHome FConfig;
    std::shared_ptr<THostState> FHost;
    std::unique_ptr<TOwnerWindow> FOwner;
    std::unique_ptr<QMenu> FMenu;
    std::unique_ptr<THideOnTaskbar> FTray;
    std::vector<unsigned> FSleeps;
    std::vector<TMessageRecord> FMessages;
    int FDialogs = 0;

    void WritePasswordSettings(int use, const QByteArray& password)
    {
        QSettings s(QStringLiteral("Dremsel"), QString::fromLatin1(Settings));
        s.setValue(QStringLiteral("hidetask_usepassword"), use);
        s.setValue(QStringLiteral("hidetask_password"), QString::fromUtf8(password));
    }

    // Answers every password dialog with text, or cancels it when cancel.
    void AnswerDialogs(const QByteArray& text, bool cancel)
    {
        FTray->SetDialogRunner([this, text, cancel](TFormRestore& dialog) {
            ++FDialogs;
            dialog.EditPassword->setText(QString::fromUtf8(text));
            return cancel ? ModalResultCancel : ModalResultOk;
        });
    }

    void RightOrLeftClick(qintptr mouseEvent)
    {
        SendTrayMessage(FOwner.get(), CallbackMessage, mouseEvent);
    }

private slots:
    void init()
    {
        QSettings(QStringLiteral("Dremsel"), QString::fromLatin1(Settings)).clear();
        FHost = std::make_shared<THostState>();
        FOwner = std::make_unique<TOwnerWindow>();
        FOwner->setGeometry(200, 150, 275, 238);
        FOwner->show();
        FMenu = std::make_unique<QMenu>(FOwner.get());
        FMenu->addAction(QStringLiteral("Open"));
        FTray = std::make_unique<THideOnTaskbar>(std::make_unique<TFakeTrayHost>(FHost));
        FTray->FOwnerForm = FOwner.get();
        FTray->FTipText = "Tarvolin";
        FTray->FPopupMenu = FMenu.get();
        FTray->FCallbackMessage = CallbackMessage;
        FTray->FIcon = TestIcon();
        FTray->FSettingsName = Settings;
        FTray->SetSleep([this](unsigned ms) { FSleeps.push_back(ms); });
        FOwner->Tray = FTray.get();
        FSleeps.clear();
        FMessages.clear();
        FDialogs = 0;
        SetMessageBoxHandler([this](QWidget* owner, const QByteArray& text, const QByteArray& caption) {
            FMessages.push_back({text, caption, owner});
        });
        AnswerDialogs(QByteArray(), true);
    }

    void cleanup()
    {
        SetMessageBoxHandler({});
        FTray.reset();
        FMenu.reset();
        FOwner.reset();
    }

    void addRetries_data()
    {
        QTest::addColumn<int>("failures");
        QTest::addColumn<int>("adds");
        QTest::addColumn<QList<unsigned>>("sleeps");
        QTest::newRow("first add works") << 0 << 1 << QList<unsigned>{};
        QTest::newRow("second add works") << 1 << 2 << QList<unsigned>{100};
        QTest::newRow("third add works") << 2 << 3 << QList<unsigned>{100, 250};
        QTest::newRow("all three fail") << 3 << 3 << QList<unsigned>{100, 250};
    }

    void addRetries()
    {
        QFETCH(int, failures);
        QFETCH(int, adds);
        QFETCH(QList<unsigned>, sleeps);
        FHost->FailAdds = failures;
        FTray->HideToTray();
        QCOMPARE(FHost->Adds, adds);
        QCOMPARE(QList<unsigned>(FSleeps.begin(), FSleeps.end()), sleeps);
        // Hidden whatever the outcome, and the icon counts as added so that
        // the area's next appearance brings it in.
        QVERIFY(FTray->Hidden());
        QVERIFY(FTray->IconAdded());
        QVERIFY(!FOwner->isVisible());
        FTray->ReAddIcon();
        QCOMPARE(FHost->Adds, adds + 1);
        QCOMPARE(FHost->Removes, 0);
    }

    void reAddIcon_data()
    {
        QTest::addColumn<bool>("hidden");
        QTest::addColumn<int>("adds");
        QTest::newRow("while hidden") << true << 2;
        QTest::newRow("while shown") << false << 1;
    }

    void reAddIcon()
    {
        QFETCH(bool, hidden);
        QFETCH(int, adds);
        FTray->HideToTray();
        if (!hidden)
            FTray->RequestRestore();
        FTray->ReAddIcon();
        QCOMPARE(FHost->Adds, adds);
        QCOMPARE(FTray->Hidden(), hidden);
        QCOMPARE(FTray->IconAdded(), hidden);
        QCOMPARE(QByteArray(FHost->Last.Tip), QByteArray("Tarvolin"));
        if (hidden) {
            RightOrLeftClick(TrayLeftButtonDown); // the new icon still restores
            QVERIFY(FOwner->isVisible());
        }
    }

    void notifyData_data()
    {
        QTest::addColumn<QByteArray>("tip");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("short") << QByteArray("Tarvolin") << QByteArray("Tarvolin");
        QTest::newRow("127") << QByteArray(127, 'a') << QByteArray(127, 'a');
        QTest::newRow("128") << QByteArray(128, 'b') << QByteArray(127, 'b');
        QTest::newRow("latin1") << QByteArray("Gr\xfc\xdf") << QByteArray("Gr\xfc\xdf");
    }

    void notifyData()
    {
        QFETCH(QByteArray, tip);
        QFETCH(QByteArray, expected);
        FTray->FTipText = tip;
        FTray->HideToTray();
        QCOMPARE(QByteArray(FHost->Last.Tip), expected);
        QCOMPARE(FHost->Last.Owner, FOwner.get());
        QCOMPARE(FHost->Last.CallbackMessage, CallbackMessage);
        QCOMPARE(FHost->Last.Flags, quint32(7));
        QCOMPARE(FHost->Last.Menu.data(), FMenu.get());
    }

    void nullIconRefusesToHide()
    {
        FTray->FIcon = QIcon();
        FTray->HideToTray();
        QCOMPARE(FMessages.size(), size_t(1));
        QCOMPARE(FMessages[0].Text, QByteArray("Internal Error: Taskbar icon is NULL"));
        QCOMPARE(FMessages[0].Caption, QByteArray("Error"));
        QVERIFY(FOwner->isVisible());
        QVERIFY(!FTray->Hidden());
        QCOMPARE(FHost->Adds, 0);
    }

    void passwordsMatch_data()
    {
        QTest::addColumn<QByteArray>("entered");
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<bool>("match");
        QTest::newRow("same") << QByteArray("secret") << QByteArray("secret") << true;
        QTest::newRow("mixed case") << QByteArray("SeCrEt") << QByteArray("sEcReT") << true;
        QTest::newRow("both empty") << QByteArray() << QByteArray() << true;
        QTest::newRow("empty entry") << QByteArray() << QByteArray("x") << false;
        QTest::newRow("prefix") << QByteArray("secre") << QByteArray("secret") << false;
        QTest::newRow("digit vs sign") << QByteArray("pass1") << QByteArray("pass!") << false;
        // Only a-z fold: [ and { are not a case pair, nor are Latin-1 letters.
        QTest::newRow("bracket brace") << QByteArray("a[") << QByteArray("a{") << false;
        QTest::newRow("e acute") << QByteArray("\u00e9") << QByteArray("\u00c9") << false;
        QTest::newRow("e acute same") << QByteArray("p\u00e9") << QByteArray("P\u00e9") << true;
    }

    void passwordsMatch()
    {
        QFETCH(QByteArray, entered);
        QFETCH(QByteArray, stored);
        QFETCH(bool, match);
        QCOMPARE(HideTaskPasswordsMatch(entered, stored), match);
    }

    void passwordRestore_data()
    {
        QTest::addColumn<int>("use");
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QByteArray>("entered");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<int>("dialogs");
        QTest::addColumn<bool>("restored");
        QTest::addColumn<bool>("invalid");
        QTest::newRow("no password use") << 0 << QByteArray("secret") << QByteArray() << false << 0 << true << false;
        QTest::newRow("right") << 1 << QByteArray("secret") << QByteArray("secret") << false << 1 << true << false;
        QTest::newRow("mixed case") << 1 << QByteArray("Secret") << QByteArray("sECRET") << false << 1 << true << false;
        QTest::newRow("wrong") << 1 << QByteArray("secret") << QByteArray("secrets") << false << 1 << false << true;
        QTest::newRow("empty password, empty entry") << 1 << QByteArray() << QByteArray() << false << 1 << true << false;
        QTest::newRow("empty password, some entry") << 1 << QByteArray() << QByteArray("x") << false << 1 << false << true;
        QTest::newRow("cancel") << 1 << QByteArray("secret") << QByteArray("secret") << true << 1 << false << false;
        // Any text is compared as it is; only a to z match either case.
        const QByteArray cyrillic("\u043f\u0430\u0440");
        QTest::newRow("Cyrillic") << 1 << cyrillic << cyrillic << false << 1 << true << false;
        QTest::newRow("Cyrillic, other word") << 1 << cyrillic << QByteArray("\u0436\u0443\u043a") << false << 1
                                              << false << true;
        QTest::newRow("Cyrillic, question marks") << 1 << cyrillic << QByteArray("???") << false << 1 << false << true;
        QTest::newRow("Cyrillic, other case") << 1 << cyrillic << QByteArray("\u041f\u0430\u0440") << false << 1
                                              << false << true;
        QTest::newRow("CJK") << 1 << QByteArray("\u65e5\u672c\u8a9e") << QByteArray("\u65e5\u672c\u8a9e") << false
                             << 1 << true << false;
        QTest::newRow("CJK, other") << 1 << QByteArray("\u65e5\u672c\u8a9e") << QByteArray("\u65e5\u672c\u4eba")
                                    << false << 1 << false << true;
        QTest::newRow("emoji") << 1 << QByteArray("key\U0001F511") << QByteArray("KEY\U0001F511") << false << 1
                               << true << false;
        QTest::newRow("emoji, other") << 1 << QByteArray("key\U0001F511") << QByteArray("key\U0001F512") << false
                                      << 1 << false << true;
        // Past 1023 bytes the stored text is cut between characters; the
        // entry is cut the same way.
        QByteArray ya;
        for (int i = 0; i < 512; ++i)
            ya += "\u044f";
        QTest::newRow("512 Cyrillic letters") << 1 << ya << ya << false << 1 << true << false;
        QTest::newRow("511 Cyrillic letters and another") << 1 << ya << ya.left(1022) + "x" << false << 1
                                                          << false << true;
        const QByteArray keyAcross = QByteArray(1021, 'k') + "\U0001F511";
        QTest::newRow("emoji across the cut") << 1 << keyAcross << keyAcross << false << 1 << true << false;
        QTest::newRow("Latin-1 accents") << 1 << QByteArray("p\u00e4ssw\u00f6rd") << QByteArray("P\u00e4SSW\u00f6RD")
                                         << false << 1 << true << false;
        QTest::newRow("Latin-1 accents, other case") << 1 << QByteArray("p\u00e4ssw\u00f6rd")
                                                     << QByteArray("p\u00c4ssw\u00f6rd") << false << 1 << false
                                                     << true;
    }

    void passwordRestore()
    {
        QFETCH(int, use);
        QFETCH(QByteArray, stored);
        QFETCH(QByteArray, entered);
        QFETCH(bool, cancel);
        QFETCH(int, dialogs);
        QFETCH(bool, restored);
        QFETCH(bool, invalid);
        WritePasswordSettings(use, stored);
        AnswerDialogs(entered, cancel);
        FTray->HideToTray();
        RightOrLeftClick(TrayLeftButtonDown);
        QCOMPARE(FDialogs, dialogs);
        QCOMPARE(FOwner->isVisible(), restored);
        QCOMPARE(FTray->Hidden(), !restored);
        QCOMPARE(FTray->IconAdded(), !restored);
        QCOMPARE(FHost->Removes, restored ? 1 : 0);
        QCOMPARE(FMessages.size(), size_t(invalid ? 1 : 0));
        if (invalid) {
            QCOMPARE(FMessages[0].Text, QByteArray("Invalid Password"));
            QCOMPARE(FMessages[0].Caption, QByteArray("Invalid Password"));
            QCOMPARE(FMessages[0].Owner, nullptr);
        }
        QVERIFY(!FTray->RestoreBusy());
        QVERIFY(!FTray->RestoreDialog());
        if (!restored) { // can be asked again
            AnswerDialogs(stored, false);
            FTray->RequestRestore();
            QVERIFY(FOwner->isVisible());
        }
    }

    void settingsReadAtEveryHide()
    {
        FTray->HideToTray();
        FTray->RequestRestore();
        QCOMPARE(FDialogs, 0);
        WritePasswordSettings(1, "pw");
        AnswerDialogs("PW", false);
        FTray->HideToTray();
        QCOMPARE(FTray->Password(), QByteArray("pw"));
        FTray->RequestRestore();
        QCOMPARE(FDialogs, 1);
        QVERIFY(FOwner->isVisible());
    }

    void dialogOwnedEnabledAndPlaced()
    {
        WritePasswordSettings(1, "pw");
        FTray->HideToTray();
        QPoint pos;
        bool enabled = false;
        QWidget* parent = nullptr;
        QLineEdit::EchoMode echo = QLineEdit::Normal;
        bool remembered = false;
        FTray->SetDialogRunner([&](TFormRestore& dialog) {
            remembered = FTray->RestoreDialog() == &dialog;
            pos = dialog.pos();
            enabled = dialog.isEnabled();
            parent = dialog.parentWidget();
            echo = dialog.EditPassword->echoMode();
            return ModalResultCancel;
        });
        FTray->RequestRestore();
        QVERIFY(remembered);
        QVERIFY2(enabled, "the dialog of a disabled owner must take input");
        QCOMPARE(parent, FOwner.get());
        QCOMPARE(echo, QLineEdit::Password);
        const QRect expected = PlaceRectOver(FOwner->frameGeometry(), QRect(0, 0, 275, 107),
                                             FOwner->screen()->geometry());
        QCOMPARE(pos, expected.topLeft());
    }

    void clickWhileDialogUpRaisesIt()
    {
        WritePasswordSettings(1, "pw");
        FTray->HideToTray();
        TFormRestore* first = nullptr;
        int runs = 0;
        FTray->SetDialogRunner([&](TFormRestore& dialog) {
            ++runs;
            first = &dialog;
            // A click and the menu's "Open" arrive through the nested loop.
            RightOrLeftClick(TrayLeftButtonDown);
            FTray->RequestRestore();
            [&] {
                QCOMPARE(FTray->RestoreDialog(), &dialog);
                QVERIFY(FTray->RestoreBusy());
                QVERIFY(dialog.isVisible());
            }();
            return ModalResultCancel;
        });
        FTray->RequestRestore();
        QCOMPARE(runs, 1);
        QVERIFY(first);
        QVERIFY(FTray->Hidden());
        // After a cancel the next click opens a new dialog.
        FTray->RequestRestore();
        QCOMPARE(runs, 2);
    }

    void clickWhileInvalidMessageUpDoesNothing()
    {
        WritePasswordSettings(1, "pw");
        AnswerDialogs("nope", false);
        FTray->HideToTray();
        SetMessageBoxHandler([this](QWidget*, const QByteArray& text, const QByteArray&) {
            FMessages.push_back({text, {}, nullptr});
            RightOrLeftClick(TrayLeftButtonDown);
        });
        FTray->RequestRestore();
        QCOMPARE(FDialogs, 1);
        QCOMPARE(FMessages.size(), size_t(1));
        QVERIFY(FTray->Hidden());
    }

    void trayMessages_data()
    {
        QTest::addColumn<qintptr>("mouseEvent");
        QTest::addColumn<bool>("restored");
        QTest::addColumn<bool>("menu");
        QTest::newRow("left press") << qintptr(513) << true << false;
        QTest::newRow("right press") << qintptr(516) << false << true;
        QTest::newRow("left double click") << qintptr(515) << false << false;
        QTest::newRow("left release") << qintptr(514) << false << false;
        QTest::newRow("middle press") << qintptr(519) << false << false;
        QTest::newRow("mouse move") << qintptr(512) << false << false;
    }

    void trayMessages()
    {
        QFETCH(qintptr, mouseEvent);
        QFETCH(bool, restored);
        QFETCH(bool, menu);
        FTray->HideToTray();
        const QPoint cursor(120, 90);
        QCursor::setPos(cursor);
        RightOrLeftClick(mouseEvent);
        QCOMPARE(FOwner->isVisible(), restored);
        QCOMPARE(FMenu->isVisible(), menu);
        if (menu) {
            QCOMPARE(FMenu->pos(), cursor);
            // The menu belongs to the hidden, disabled window; it must still work.
            QVERIFY(FMenu->isEnabled());
            FMenu->hide();
        }
    }

    void hideWhileHiddenKeepsFirstForms()
    {
        QWidget other;
        other.show();
        FTray->HideToTray();
        QCOMPARE(FTray->HiddenCount(), 2);
        QWidget late;
        late.show();
        FTray->HideToTray(); // e.g. a close request reaching the hidden window
        QCOMPARE(FTray->HiddenCount(), 3);
        QVERIFY(!late.isVisible());
        QCOMPARE(FHost->Adds, 1);
        FTray->RequestRestore();
        QVERIFY(FOwner->isVisible());
        QVERIFY(other.isVisible());
        QVERIFY(late.isVisible());
    }

    void formClosedWhileHidden()
    {
        auto other = std::make_unique<QWidget>();
        other->show();
        FTray->HideToTray();
        other.reset();
        FTray->RequestRestore();
        QVERIFY(FOwner->isVisible());
    }

    void atMost256Forms()
    {
        std::vector<std::unique_ptr<QWidget>> forms;
        for (int i = 0; i < 300; ++i) {
            forms.push_back(std::make_unique<QWidget>());
            forms.back()->show();
        }
        FTray->HideToTray();
        QCOMPARE(FTray->HiddenCount(), HideTaskMaxForms);
        int stillVisible = 0;
        for (const auto& f : forms)
            stillVisible += f->isVisible() ? 1 : 0;
        QCOMPARE(stillVisible, 301 - HideTaskMaxForms); // nothing vanishes unrecorded
        FTray->RequestRestore();
        for (const auto& f : forms)
            QVERIFY(f->isVisible());
    }

    void noAreaMinimisesInstead()
    {
        FHost->Area = false;
        FTray->HideToTray();
        QVERIFY(FTray->Hidden());
        QVERIFY(FTray->MinimisedInstead());
        QCOMPARE(FHost->Adds, 0);
        QVERIFY(FOwner->isVisible());
        QVERIFY(FOwner->isMinimized());
        FTray->RequestRestore();
        QVERIFY(!FOwner->isMinimized());
        QVERIFY(FOwner->isEnabled());
        QVERIFY(!FTray->Hidden());
        QVERIFY(!FTray->MinimisedInstead());
    }

    void noAreaAndNoReliableMinimiseLeavesFormsUsable_data()
    {
        QTest::addColumn<bool>("area");
        QTest::newRow("notification area: hidden") << true;
        QTest::newRow("none: stays shown and usable") << false;
    }

    void noAreaAndNoReliableMinimiseLeavesFormsUsable()
    {
        QFETCH(bool, area);
        TWindowSystemTraits wayland;
        wayland.ReliableMinimise = false;
        SetWindowSystemTraits(&wayland);
        const auto restore = qScopeGuard([] { SetWindowSystemTraits(nullptr); });
        FHost->Area = area;
        QCOMPARE(FTray->CanHide(), area);
        FTray->HideToTray();
        QCOMPARE(FTray->Hidden(), area);
        QCOMPARE(FOwner->isVisible(), !area);
        QVERIFY(!FOwner->isMinimized());
        QCOMPARE(FOwner->isEnabled(), !area);
    }

    void noAreaRestoreFromTaskbarAsksPassword_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("right password") << false;
        QTest::newRow("cancel") << true;
    }

    void noAreaRestoreFromTaskbarAsksPassword()
    {
        QFETCH(bool, cancel);
        FHost->Area = false;
        WritePasswordSettings(1, "pw");
        AnswerDialogs("pw", cancel);
        FTray->HideToTray();
        FOwner->showNormal(); // the user picks the window in the taskbar
        QCoreApplication::processEvents();
        QCOMPARE(FDialogs, 1);
        QCOMPARE(FOwner->isMinimized(), cancel);
        QCOMPARE(FOwner->isEnabled(), !cancel);
        QCOMPARE(FTray->Hidden(), cancel);
    }

    // The area goes while the forms are hidden in it; at the end of the grace
    // period the forms are hidden still if an area is back, else within
    // reach as a hide without an area leaves them.
    void areaGoneWhileHidden_data()
    {
        QTest::addColumn<bool>("hidden");
        QTest::addColumn<bool>("areaBack");
        QTest::addColumn<bool>("reliableMinimise");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("back in time") << true << true << true << "hidden";
        QTest::newRow("gone for good: minimised") << true << false << true << "minimised";
        QTest::newRow("gone for good, no minimising: shown") << true << false << false << "shown";
        QTest::newRow("gone while shown") << false << false << true << "shown";
    }

    void areaGoneWhileHidden()
    {
        QFETCH(bool, hidden);
        QFETCH(bool, areaBack);
        QFETCH(bool, reliableMinimise);
        QFETCH(QString, outcome);
        TWindowSystemTraits traits;
        traits.ReliableMinimise = reliableMinimise;
        SetWindowSystemTraits(&traits);
        const auto restore = qScopeGuard([] { SetWindowSystemTraits(nullptr); });
        if (hidden)
            FTray->HideToTray();
        QVERIFY(FHost->Lost);
        FHost->Area = false;
        FHost->Lost();
        QCOMPARE(FTray->AreaGraceRunning(), hidden);
        FHost->Area = areaBack;
        FTray->EndAreaGrace();
        QVERIFY(!FTray->AreaGraceRunning());
        QCOMPARE(FTray->Hidden(), outcome != "shown");
        QCOMPARE(FTray->IconAdded(), outcome == "hidden");
        QCOMPARE(FOwner->isVisible(), outcome != "hidden");
        QCOMPARE(FOwner->isMinimized(), outcome == "minimised");
        QCOMPARE(FOwner->isEnabled(), outcome == "shown");
        if (outcome == "minimised") { // the taskbar brings it back
            FOwner->showNormal();
            QCoreApplication::processEvents();
            QVERIFY(!FTray->Hidden());
            QVERIFY(FOwner->isEnabled());
        }
        QCOMPARE(FHost->Adds, hidden ? 1 : 0); // an area coming later adds no icon
    }

    void iconRemovedWhenObjectGoes_data()
    {
        QTest::addColumn<bool>("hidden");
        QTest::newRow("hidden") << true;
        QTest::newRow("shown") << false;
    }

    void iconRemovedWhenObjectGoes()
    {
        QFETCH(bool, hidden);
        if (hidden)
            FTray->HideToTray();
        FTray.reset();
        FOwner->Tray = nullptr;
        QCOMPARE(FHost->Removes, hidden ? 1 : 0);
    }

    void restoreDialogForm_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("result");
        QTest::newRow("Enter is Ok") << int(Qt::Key_Return) << ModalResultOk;
        QTest::newRow("Escape is Cancel") << int(Qt::Key_Escape) << ModalResultCancel;
        QTest::newRow("close box is Cancel") << 0 << ModalResultCancel;
    }

    void restoreDialogForm()
    {
        QFETCH(int, key);
        QFETCH(int, result);
        TFormRestore dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Restore Program"));
        QCOMPARE(dialog.size(), QSize(275, 107));
        QCOMPARE(dialog.ButtonOk->text(), QStringLiteral("Ok"));
        QCOMPARE(dialog.ButtonCancel->text(), QStringLiteral("Cancel"));
        QSignalSpy finished(&dialog, &QDialog::finished);
        dialog.show();
        QTest::keyClicks(dialog.EditPassword, QStringLiteral("Ab"));
        dialog.EditPassword->insert(QStringLiteral("\u00e9"));
        if (key)
            QTest::keyClick(dialog.EditPassword, Qt::Key(key));
        else
            dialog.close();
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.at(0).at(0).toInt(), result);
        QCOMPARE(dialog.Password(), QByteArray("Ab\u00e9"));
    }

    // The real "Invalid Password" box: its text is no wider than its
    // caption, and it must still be wide enough to show the caption whole.
    void invalidPasswordBoxFitsItsCaption()
    {
        SetMessageBoxHandler({});
        int width = 0;
        QTimer::singleShot(0, this, [&width] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<QMessageBox*>(w);
                if (box && box->isVisible()) {
                    width = box->width();
                    box->accept();
                }
            }
        });
        ShowMessageBox(nullptr, "Invalid Password", "Invalid Password");
        QVERIFY(width >= MessageBoxTitleWidth(QStringLiteral("Invalid Password")));
    }

    void placeFormOver_data()
    {
        QTest::addColumn<QRect>("parent");
        QTest::addColumn<QSize>("child");
        QTest::addColumn<QPoint>("expected");
        const QSize dialog(275, 107);
        QTest::newRow("centred") << QRect(100, 100, 401, 301) << dialog << QPoint(163, 197);
        QTest::newRow("centred, odd difference truncates") << QRect(0, 0, 300, 200) << QSize(101, 51) << QPoint(99, 74);
        QTest::newRow("negative top and left clamp") << QRect(-300, -200, 400, 300) << dialog << QPoint(0, 0);
        QTest::newRow("same width shifts right") << QRect(100, 100, 281, 300) << dialog << QPoint(118, 196);
        QTest::newRow("width 10 apart does not") << QRect(100, 100, 285, 300) << dialog << QPoint(105, 196);
        QTest::newRow("same height shifts down") << QRect(100, 100, 400, 110) << dialog << QPoint(162, 116);
        QTest::newRow("both close") << QRect(100, 100, 275, 107) << dialog << QPoint(115, 115);
        QTest::newRow("near bottom") << QRect(100, 900, 400, 238) << dialog << QPoint(162, 1024 - 107 - 50);
        QTest::newRow("one pixel above the bottom limit") << QRect(100, 0, 400, 1839) << dialog << QPoint(162, 866);
        QTest::newRow("centre below the screen") << QRect(100, 300, 400, 2000) << dialog << QPoint(162, 1024 - 107 - 50);
        QTest::newRow("near right") << QRect(1200, 100, 400, 300) << dialog << QPoint(1280 - 275, 196);
        QTest::newRow("child larger than screen") << QRect(0, 0, 100, 100) << QSize(1400, 1100) << QPoint(-120, -126);
    }

    void placeFormOver()
    {
        QFETCH(QRect, parent);
        QFETCH(QSize, child);
        QFETCH(QPoint, expected);
        const QRect screen(0, 0, 1280, 1024);
        const QRect placed = PlaceRectOver(parent, QRect(QPoint(0, 0), child), screen);
        QCOMPARE(placed.topLeft(), expected);
        QCOMPARE(placed.size(), child);
    }

    // A window frame of 283 x 290 against screens' available areas: left
    // where it lies wholly on one, else moved the least distance onto the
    // nearest. Screens are 1280 x 768 (with a 24-pixel panel at the top
    // where said), a 1920 x 1080 one to its right or left, and the small one
    // at scale 2 (640 x 384 logical pixels).
    void keepRectOnScreens_data()
    {
        QTest::addColumn<QPoint>("place");
        QTest::addColumn<QList<QRect>>("areas");
        QTest::addColumn<QPoint>("expected");
        const QRect small(0, 0, 1280, 768);
        const QRect panel(0, 24, 1280, 744);
        const QRect right(1280, 0, 1920, 1080);
        const QRect left(-1920, 0, 1920, 1080);
        QTest::newRow("on the screen") << QPoint(100, 100) << QList<QRect>{small} << QPoint(100, 100);
        QTest::newRow("touching every edge") << QPoint(997, 478) << QList<QRect>{small} << QPoint(997, 478);
        QTest::newRow("off the right") << QPoint(1700, 300) << QList<QRect>{small} << QPoint(997, 300);
        QTest::newRow("above and left") << QPoint(-300, -200) << QList<QRect>{small} << QPoint(0, 0);
        QTest::newRow("below") << QPoint(40, 700) << QList<QRect>{small} << QPoint(40, 478);
        QTest::newRow("under the panel") << QPoint(10, 0) << QList<QRect>{panel} << QPoint(10, 24);
        QTest::newRow("on the second screen") << QPoint(1300, 700) << QList<QRect>{small, right} << QPoint(1300, 700);
        QTest::newRow("across two, nearer the right") << QPoint(1200, 100) << QList<QRect>{small, right}
                                                      << QPoint(1280, 100);
        QTest::newRow("across two, nearer the left") << QPoint(1100, 100) << QList<QRect>{small, right}
                                                     << QPoint(997, 100);
        QTest::newRow("beyond the second") << QPoint(3300, 900) << QList<QRect>{small, right} << QPoint(2917, 790);
        QTest::newRow("negative screen") << QPoint(-2000, 50) << QList<QRect>{small, left} << QPoint(-1920, 50);
        QTest::newRow("below the shorter, beside the taller") << QPoint(-400, 900) << QList<QRect>{small, left}
                                                              << QPoint(-400, 790);
        QTest::newRow("scale 2, the default place") << QPoint(320, 192) << QList<QRect>{QRect(0, 0, 640, 384)}
                                                    << QPoint(320, 94);
        QTest::newRow("taller than the screen") << QPoint(50, 100) << QList<QRect>{QRect(0, 0, 640, 200)}
                                                << QPoint(50, 0);
        QTest::newRow("no screen") << QPoint(-5000, 5000) << QList<QRect>{} << QPoint(-5000, 5000);
    }

    void keepRectOnScreens()
    {
        QFETCH(QPoint, place);
        QFETCH(QList<QRect>, areas);
        QFETCH(QPoint, expected);
        QCOMPARE(KeepRectOnScreens(QRect(place, QSize(283, 290)), areas), expected);
    }
};

QTEST_MAIN(TestHidetask)
#include "tst_hidetask.moc"
