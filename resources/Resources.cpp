#include "Resources.h"

#include <QtCore/qglobal.h>

// Q_INIT_RESOURCE must be used outside any namespace; the name is the base
// name of the .qrc file.
static void InitTarvolinQrc()
{
    Q_INIT_RESOURCE(tarvolin);
}

void TarvolinInitResources()
{
    static bool done = false;
    if (!done) {
        InitTarvolinQrc();
        done = true;
    }
}
