#include "Hidetask.h"

#include "Formutil.h"
#include "Frestore.h"
#include "Messagebox.h"
#include "Windowsystem.h"
#include "kvparam.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QEventLoopLocker>
#include <QMenu>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace {

constexpr const char* IconNullText = "Internal Error: Taskbar icon is NULL";
constexpr const char* IconNullCaption = "Error";
constexpr const char* InvalidPasswordText = "Invalid Password";
constexpr const char* InvalidPasswordCaption = "Invalid Password";

// Attempts at adding the icon after the first one fails, and the pause
// before each.
constexpr unsigned AddRetryPauses[] = {100, 250};

char FoldLetter(char c)
{
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

// The windows the user sees as the application's forms: top-level widgets
// that are ordinary or dialog windows. Menus, tooltips and the tray's own
// embedded icon window are not forms.
bool IsForm(const QWidget* w)
{
    if (!w->isWindow())
        return false;
    switch (w->windowType()) {
    case Qt::Popup:
    case Qt::ToolTip:
    case Qt::SplashScreen:
    case Qt::Desktop:
    case Qt::SubWindow:
        return false;
    default:
        break;
    }
    return !w->inherits("QSystemTrayIconSys") && w->objectName() != QLatin1String("QSystemTrayIconSys");
}

// The application's forms in the order their windows were created; forms
// that never had a window come last (they cannot be visible anyway).
QList<QWidget*> ApplicationForms()
{
    QList<QWidget*> forms;
    const QWidgetList widgets = QApplication::topLevelWidgets();
    const QWindowList windows = QGuiApplication::topLevelWindows();
    for (QWindow* window : windows) {
        for (QWidget* w : widgets) {
            if (w->windowHandle() == window && IsForm(w))
                forms.append(w);
        }
    }
    for (QWidget* w : widgets) {
        if (!w->windowHandle() && IsForm(w))
            forms.append(w);
    }
    return forms;
}

} // namespace

// Watches the application for what the plain tray object cannot: the end of
// the program (the icon goes with it), and forms minimised for want of a
// notification area being brought back from the taskbar.
class THideTaskWatch : public QObject
{
public:
    THideTaskWatch(std::function<void()> quitting, std::function<void(QWidget*)> unminimised)
        : FQuitting(std::move(quitting)), FUnminimised(std::move(unminimised))
    {
        if (QCoreApplication* app = QCoreApplication::instance())
            connect(app, &QCoreApplication::aboutToQuit, this, [this] { FQuitting(); });
    }

    void Watch(QWidget* form)
    {
        if (!FWatched.contains(form)) {
            FWatched.append(form);
            form->installEventFilter(this);
        }
    }

    void Clear()
    {
        for (const QPointer<QWidget>& form : std::as_const(FWatched)) {
            if (form)
                form->removeEventFilter(this);
        }
        FWatched.clear();
    }

    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() == QEvent::WindowStateChange) {
            auto* form = static_cast<QWidget*>(object);
            if (!(form->windowState() & Qt::WindowMinimized)) {
                // Handled once control is back in the event loop: the restore
                // may open a modal dialog, which must not run inside the
                // window system's state change.
                QPointer<QWidget> alive(form);
                QTimer::singleShot(0, this, [this, alive] {
                    if (alive)
                        FUnminimised(alive);
                });
            }
        }
        return false;
    }

private:
    std::function<void()> FQuitting;
    std::function<void(QWidget*)> FUnminimised;
    QList<QPointer<QWidget>> FWatched;
};

bool HideTaskPasswordsMatch(const QByteArray& entered, const QByteArray& stored)
{
    if (entered.size() != stored.size())
        return false;
    // In UTF-8 the bytes of a to z stand for those letters only, so folding
    // byte by byte folds exactly them.
    for (qsizetype i = 0; i < entered.size(); ++i) {
        if (FoldLetter(entered[i]) != FoldLetter(stored[i]))
            return false;
    }
    return true;
}

THideOnTaskbar::THideOnTaskbar(std::unique_ptr<TTrayIconHost> host)
    : FHost(std::move(host))
    , FSleep([](unsigned ms) { QThread::msleep(ms); })
    , FRunDialog([](TFormRestore& dialog) { return dialog.exec(); })
    , FMinimisedWatch(new THideTaskWatch(
          [this] {
              if (FIconAdded)
                  RemoveIcon();
          },
          [this](QWidget*) { RestoredFromTaskbar(); }))
    , FAreaGrace(std::make_unique<QTimer>())
{
    FAreaGrace->setSingleShot(true);
    FAreaGrace->setInterval(HideTaskAreaGraceMs);
    FAreaGrace->callOnTimeout([this] { EndAreaGrace(); });
    if (FHost)
        FHost->SetAreaLostHandler([this] { AreaLost(); });
}

THideOnTaskbar::~THideOnTaskbar()
{
    if (FIconAdded && FHost)
        RemoveIcon();
    if (FHost)
        FHost->SetAreaLostHandler({});
    FMinimisedWatch->Clear();
}

QWidget* THideOnTaskbar::HiddenForm(int index) const
{
    return (index >= 0 && index < FHiddenForms.size()) ? FHiddenForms.at(index).data() : nullptr;
}

TFormRestore* THideOnTaskbar::RestoreDialog() const
{
    return FRestoreDialog.data();
}

void THideOnTaskbar::SetSleep(std::function<void(unsigned)> sleep)
{
    FSleep = std::move(sleep);
}

void THideOnTaskbar::SetDialogRunner(std::function<int(TFormRestore&)> runner)
{
    FRunDialog = std::move(runner);
}

TTrayIconHost& THideOnTaskbar::Host()
{
    if (!FHost) {
        FHost = std::make_unique<TSystemTrayHost>();
        FHost->SetAreaLostHandler([this] { AreaLost(); });
    }
    return *FHost;
}

bool THideOnTaskbar::AddIcon()
{
    FNotifyData = TNotifyIconData();
    FNotifyData.Owner = FOwnerForm;
    FNotifyData.Id = 0;
    FNotifyData.Flags = NotifyIconMessage | NotifyIconIcon | NotifyIconTip;
    FNotifyData.CallbackMessage = FCallbackMessage;
    FNotifyData.Icon = FIcon;
    FNotifyData.SetTip(FTipText);
    FNotifyData.Menu = FPopupMenu;

    // The area may be busy starting up: try again twice, a little later each
    // time. Without success the icon still counts as added, so that the
    // area's next appearance brings it in.
    bool added = Host().Add(FNotifyData);
    for (unsigned pause : AddRetryPauses) {
        if (added)
            break;
        FSleep(pause);
        added = Host().Add(FNotifyData);
    }
    FIconAdded = true;
    return added;
}

void THideOnTaskbar::RemoveIcon()
{
    Host().Remove(FNotifyData);
    FIconAdded = false;
}

void THideOnTaskbar::ReAddIcon()
{
    if (!FIconAdded)
        return;
    FIconAdded = false;
    AddIcon();
}

void THideOnTaskbar::HandleTrayMessage(TTrayMessage& message)
{
    switch (message.LParam) {
    case TrayLeftButtonDown:
        RequestRestore();
        break;
    case TrayRightButtonDown:
        ShowTrayMenu();
        break;
    default:
        break;
    }
}

void THideOnTaskbar::ShowTrayMenu()
{
    const QPoint at = QCursor::pos();
    if (!FPopupMenu)
        return;
    // A menu owned by a hidden form was disabled along with it; as a window
    // of its own it can be enabled again.
    if (!FPopupMenu->isEnabled())
        FPopupMenu->setEnabled(true);
    FPopupMenu->popup(at);
}

void THideOnTaskbar::HideForms()
{
    // A second hide while hidden keeps what the first one recorded (those
    // forms are what a restore must bring back) and adds any form that has
    // appeared since.
    if (!FHidden)
        FHiddenForms.clear();
    const QList<QWidget*> forms = ApplicationForms();
    for (QWidget* form : forms) {
        if (FHiddenForms.size() >= HideTaskMaxForms)
            break;
        if (!form->isVisible() || FHiddenForms.contains(form))
            continue;
        FHiddenForms.append(form);
    }
    ConcealRecordedForms();
}

void THideOnTaskbar::ConcealRecordedForms()
{
    for (const QPointer<QWidget>& form : std::as_const(FHiddenForms)) {
        if (!form)
            continue;
        form->setEnabled(false);
        if (FMinimisedInstead) {
            FMinimisedWatch->Watch(form);
            if (!(form->windowState() & Qt::WindowMinimized))
                form->showMinimized();
        } else {
            form->hide();
        }
    }
}

void THideOnTaskbar::ShowForms()
{
    FMinimisedWatch->Clear();
    for (const QPointer<QWidget>& form : std::as_const(FHiddenForms)) {
        if (!form)
            continue; // closed while hidden
        form->setEnabled(true);
        if (FMinimisedInstead)
            form->setWindowState(form->windowState() & ~Qt::WindowMinimized);
        // A form minimised once (for want of a notification area) would
        // otherwise come back minimised.
        ClearIconicStartState(form);
        form->show();
    }
}

void THideOnTaskbar::RestoreNow()
{
    if (FIconAdded)
        RemoveIcon();
    ShowForms();
    FHidden = false;
    FMinimisedInstead = false;
    FKeepRunning.reset();
}

void THideOnTaskbar::LoadHideSettings()
{
    TParamStore store;
    ParamOpen(FSettingsName.constData(), FSettingsName.constData(), store, 1);
    char password[HideTaskPasswordSize] = {};
    ParamReadString(store, HideTaskPasswordName, "", password, int(sizeof password));
    FUsePassword = ParamReadInt(store, HideTaskUsePasswordName, 0) != 0;
    FPassword = QByteArray(password); // UTF-8, as the dialog gives the entry
    ParamClose(store);
}

void THideOnTaskbar::HideToTray()
{
    LoadHideSettings();
    if (FIcon.isNull()) {
        ShowMessageBox(FOwnerForm, IconNullText, IconNullCaption);
        return;
    }
    if (FHidden) {
        HideForms();
        return;
    }
    // Without a notification area a hidden program could not be brought back:
    // minimise instead, so the taskbar or dock still shows it. Where
    // minimising cannot be relied on either, the forms stay as they are.
    const bool area = Host().AreaAvailable();
    if (!area && !WindowSystemTraits().ReliableMinimise)
        return;
    FMinimisedInstead = !area;
    if (!FMinimisedInstead)
        AddIcon();
    // With every form hidden, closing any other window (a message box, the
    // password dialog) would otherwise count as closing the last window and
    // end the program.
    FKeepRunning = std::make_unique<QEventLoopLocker>();
    HideForms();
    FHidden = true;
}

bool THideOnTaskbar::CanHide()
{
    return WindowSystemTraits().ReliableMinimise || Host().AreaAvailable();
}

void THideOnTaskbar::RestoredFromTaskbar()
{
    if (FHidden && FMinimisedInstead)
        RequestRestore();
}

void THideOnTaskbar::AreaLost()
{
    // Only forms hidden in the area depend on it. Every loss starts the
    // period anew: a panel may come and go more than once while restarting.
    if (FHidden && !FMinimisedInstead)
        FAreaGrace->start();
}

bool THideOnTaskbar::AreaGraceRunning() const
{
    return FAreaGrace->isActive();
}

void THideOnTaskbar::EndAreaGrace()
{
    FAreaGrace->stop();
    if (!FHidden || FMinimisedInstead || Host().AreaAvailable())
        return;
    // The password dialog is up and answers for itself; look again later.
    if (FRestoreBusy) {
        FAreaGrace->start();
        return;
    }
    // Nothing shows the icon any more. A later area gets no icon either:
    // the forms are within reach by then.
    if (FIconAdded)
        RemoveIcon();
    if (WindowSystemTraits().ReliableMinimise) {
        FMinimisedInstead = true;
        ConcealRecordedForms();
    } else {
        RestoreNow();
    }
}

void THideOnTaskbar::RequestRestore()
{
    if (FRestoreBusy) {
        // Its password dialog may be up: bring it to the top, open no other.
        if (FRestoreDialog) {
            FRestoreDialog->show();
            FRestoreDialog->raise();
            FRestoreDialog->activateWindow();
        }
        return;
    }
    FRestoreBusy = true;

    bool stayHidden = false;
    if (!FHidden && FOwnerForm && FOwnerForm->isVisible()) {
        if (FOwnerForm->isMinimized())
            FOwnerForm->showNormal();
        FOwnerForm->raise();
        FOwnerForm->activateWindow();
    } else if (FUsePassword) {
        auto* dialog = new TFormRestore(FOwnerForm);
        // A dialog owned by a hidden, disabled form starts out disabled too.
        dialog->setEnabled(true);
        // Modal to its owner only: an application-modal dialog would block
        // the icon's own window, and a click on the icon must still reach
        // this object to raise the dialog.
        dialog->setWindowModality(Qt::WindowModal);
        FRestoreDialog = dialog;
        PlaceFormOver(FOwnerForm, dialog);
        QPointer<TFormRestore> alive(dialog); // the owner may go, and the dialog with it
        const int result = FRunDialog(*dialog);
        const bool answered = alive && result == ModalResultOk;
        // Cut as the stored password was cut on reading, so that an entry
        // as long as the stored text before its cut still matches it.
        const QByteArray entered =
            answered ? ParamCutText(alive->Password(), HideTaskPasswordSize - 1) : QByteArray();
        delete alive.data();
        FRestoreDialog = nullptr;
        if (!answered) {
            stayHidden = true;
        } else if (!HideTaskPasswordsMatch(entered, FPassword)) {
            ShowMessageBox(nullptr, InvalidPasswordText, InvalidPasswordCaption);
            stayHidden = true;
        } else {
            RestoreNow();
        }
    } else {
        RestoreNow();
    }

    // Forms brought back from the taskbar before the password was given go
    // back down.
    if (stayHidden && FHidden && FMinimisedInstead)
        ConcealRecordedForms();
    FRestoreBusy = false;
}
