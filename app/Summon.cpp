#include "Summon.h"

#include "Fmorvic.h"
#include "Hidetask.h"
#include "Windowsystem.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>

bool MorvicShownAndActive(const TFormMorvic& form)
{
    const THideOnTaskbar* tray = form.Tray();
    return form.isVisible() && !form.isMinimized() && !(tray && tray->Hidden()) && form.isActiveWindow();
}

void SummonMorvic(TFormMorvic& form, const TActivationRequest& request)
{
    if (request.Kind == TActivationKind::Probe) {
        EndStartupNotification(request);
        return;
    }
    THideOnTaskbar* tray = form.Tray();
    if (request.Kind == TActivationKind::Toggle && MorvicShownAndActive(form)) {
        EndStartupNotification(request);
        // A close that would end the program (no way to hide) must not come
        // from a shortcut meant to hide: minimise then, or leave it shown.
        if (form.HideOnTaskbar() && (!tray || tray->CanHide()))
            form.close();
        else if (WindowSystemTraits().ReliableMinimise)
            form.showMinimized();
        return;
    }

    PrepareActivation(request);
    // Once the window (or the password dialog in front of it) is up: the
    // dialog runs its own event loop inside the restore, where this comes.
    QPointer<TFormMorvic> guard(&form);
    QTimer::singleShot(0, &form, [guard, request] {
        QWidget* target = QApplication::activeModalWidget();
        if (!target || !target->isVisible())
            target = guard;
        if (target && target->isVisible())
            ActivateWindowFor(target, request);
        EndStartupNotification(request);
    });
    if (tray) {
        tray->RequestRestore();
    } else {
        if (form.isMinimized())
            form.showNormal();
        form.show();
        form.raise();
    }
}
