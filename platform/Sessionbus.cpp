#include "Sessionbus.h"

#include <cstdlib>
#include <string>

#include <sys/stat.h>

bool SessionBusKnown()
{
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address && *address)
        return true;
    // Without the variable libdbus still finds a per-user bus at its
    // well-known socket in the runtime folder.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime)
        return false;
    struct stat info {};
    return ::stat((std::string(runtime) + "/bus").c_str(), &info) == 0;
}
