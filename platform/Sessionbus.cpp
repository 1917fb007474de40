#include "Sessionbus.h"

#include <QFileInfo>
#include <QString>
#include <QtGlobal>

bool SessionBusKnown()
{
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    // Without the variable libdbus still finds a per-user bus at its
    // well-known socket in the runtime folder.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}
