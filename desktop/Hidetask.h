#pragma once
// Hiding the application into the notification area and bringing it back,
// optionally behind a password kept in the parameter store.
//
// The main window owns one THideOnTaskbar for the whole run, sets the public
// fields below right after creating it, and drives it:
//  - HideToTray when its close is turned into a hide, or at start with
//    "-autominimize";
//  - HandleTrayMessage with the TTrayMessage of every TTrayNotifyEvent it
//    receives (the icon's mouse events, Msg == FCallbackMessage);
//  - RequestRestore from the icon menu's "Open";
//  - ReAddIcon when the "TaskbarCreated" message (RegisterWindowMessage)
//    arrives, i.e. a notification area (re)appeared.
//
// Where no notification area exists, a hide minimises the forms instead, so
// the window stays reachable from the taskbar or dock; bringing it back from
// there is then handled like a click on the icon. Where the window system
// cannot be relied on to minimise either (Wayland), a hide leaves the forms
// shown and usable; CanHide() tells beforehand.
//
// A notification area can also go away while the forms are hidden in it (the
// panel ends). If none is there again HideTaskAreaGraceMs later, the forms
// are handled as a hide without an area would have handled them: minimised,
// or where that cannot be relied on, shown again. A panel that restarts in
// that time gets the icon back, and the forms stay hidden.
//
// While hidden the object keeps the application running: closing the last
// visible window (a message box, say) does not end it. Ending the program
// from the hidden state therefore takes an explicit QCoreApplication::quit().
#include "Trayicon.h"

#include <QByteArray>
#include <QIcon>
#include <QList>
#include <QMenu>
#include <QPointer>
#include <QWidget>
#include <QtGlobal>

#include <functional>
#include <memory>

class QEventLoopLocker;
class QTimer;
class TFormRestore;
class THideTaskWatch;

// Settings read from the parameter store on every hide.
inline constexpr const char* HideTaskPasswordName = "hidetask_password";
inline constexpr const char* HideTaskUsePasswordName = "hidetask_usepassword";

// Longest password read from the store, terminator included.
constexpr int HideTaskPasswordSize = 1024;
// Most forms one hide records.
constexpr int HideTaskMaxForms = 256;
// How long a notification area that went away while the forms were hidden
// in it has to come back (a panel restarting) before the forms are brought
// within reach another way.
constexpr int HideTaskAreaGraceMs = 5000;

// Whether an entered password matches the stored one, both UTF-8 (so any
// text compares as it is): the letters a to z match either case, every other
// character only itself.
bool HideTaskPasswordsMatch(const QByteArray& entered, const QByteArray& stored);

class THideOnTaskbar
{
public:
    // host: the notification area to use; null for the system's.
    explicit THideOnTaskbar(std::unique_ptr<TTrayIconHost> host = nullptr);
    ~THideOnTaskbar(); // takes the icon away if it is there
    THideOnTaskbar(const THideOnTaskbar&) = delete;
    THideOnTaskbar& operator=(const THideOnTaskbar&) = delete;

    // Set by the owner after construction.
    QPointer<QMenu> FPopupMenu;            // the icon's menu, shown on a right click
    QPointer<QWidget> FOwnerForm;          // receives the icon's messages; the dialog's owner
    quint32 FCallbackMessage = 0;          // Msg of the icon's messages
    QByteArray FTipText = "Restore";       // tooltip, cut at 127 characters
    QIcon FIcon;                           // a null icon refuses to hide
    QByteArray FSettingsName = "kvhidetask"; // parameter store application name

    void HideToTray();
    // Whether a hide would take the forms away: into the notification area,
    // or minimised.
    bool CanHide();
    void RequestRestore();
    void HandleTrayMessage(TTrayMessage& message);
    void ReAddIcon();

    // State, for the owner and for tests.
    bool Hidden() const { return FHidden; }
    bool IconAdded() const { return FIconAdded; }
    bool RestoreBusy() const { return FRestoreBusy; }
    bool UsePassword() const { return FUsePassword; }
    QByteArray Password() const { return FPassword; }
    // True while hidden by minimising, for want of a notification area.
    bool MinimisedInstead() const { return FMinimisedInstead; }
    TFormRestore* RestoreDialog() const;
    int HiddenCount() const { return int(FHiddenForms.size()); }
    QWidget* HiddenForm(int index) const;
    const TNotifyIconData& NotifyData() const { return FNotifyData; }

    // Seams. The sleep between add attempts, and the modal run of the password
    // dialog (returns ModalResultOk or ModalResultCancel).
    void SetSleep(std::function<void(unsigned ms)> sleep);
    void SetDialogRunner(std::function<int(TFormRestore& dialog)> runner);
    // Whether the grace period after the notification area went away is
    // running, and the end of it, as its timer calls it.
    bool AreaGraceRunning() const;
    void EndAreaGrace();

private:
    bool AddIcon();
    void RemoveIcon();
    void ShowTrayMenu();
    void HideForms();
    void ConcealRecordedForms();
    void ShowForms();
    void RestoreNow();
    void LoadHideSettings();
    void RestoredFromTaskbar();
    void AreaLost();
    TTrayIconHost& Host();

    TNotifyIconData FNotifyData;
    bool FHidden = false;
    bool FRestoreBusy = false;
    bool FUsePassword = false;
    bool FIconAdded = false;
    bool FMinimisedInstead = false;
    QByteArray FPassword;
    QPointer<TFormRestore> FRestoreDialog;
    QList<QPointer<QWidget>> FHiddenForms;

    std::unique_ptr<TTrayIconHost> FHost;
    std::function<void(unsigned)> FSleep;
    std::function<int(TFormRestore&)> FRunDialog;
    std::unique_ptr<THideTaskWatch> FMinimisedWatch;
    std::unique_ptr<QEventLoopLocker> FKeepRunning; // held while hidden
    std::unique_ptr<QTimer> FAreaGrace;
};
