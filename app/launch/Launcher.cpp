// The `tarvolin` executable: hands a window start to the running copy when
// there is one, else loads the program library and runs it (Launch.h).
#include "Launch.h"

#include <cstdio>
#include <cstring>
#include <string>

#include <dlfcn.h>
#include <malloc.h>
#include <strings.h>
#include <unistd.h>

namespace {

// The folder of this executable, from the kernel's own record of it.
std::string OwnFolder()
{
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return std::string();
    const std::string self(path, size_t(n));
    return self.substr(0, self.rfind('/'));
}

// The program library: beside the executable (a build folder, a copy), then
// where an install puts it relative to the executable, then where this build
// installs it.
void* LoadProgram(std::string& tried)
{
    const std::string folder = OwnFolder();
    const std::string candidates[] = {
        folder + "/" TARVOLIN_PROGRAM_LIBRARY,
        folder + "/" TARVOLIN_PROGRAM_RELATIVE "/" TARVOLIN_PROGRAM_LIBRARY,
        TARVOLIN_PROGRAM_INSTALLED "/" TARVOLIN_PROGRAM_LIBRARY,
    };
    for (const std::string& path : candidates) {
        if (folder.empty() && path[0] != '/')
            continue;
        if (::access(path.c_str(), R_OK) != 0)
            continue;
        if (void* library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL))
            return library;
        tried = ::dlerror();
        return nullptr;
    }
    tried = "no " TARVOLIN_PROGRAM_LIBRARY " beside the program or in " TARVOLIN_PROGRAM_INSTALLED;
    return nullptr;
}

} // namespace

int main(int argc, char* argv[])
{
#ifdef __GLIBC__
    // The program lives all day, mostly hidden in the notification area.
    // Blocks from 128 KiB up (images, mostly) get pages of their own that go
    // back to the system when freed. Left to itself the allocator raises that
    // bound past the first such block freed, and the next ones grow the heap
    // for good: the window icon's images alone left 0.3 MiB there.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
    // Only a plain window start (nothing but "-autominimize" in any case,
    // or "--toggle") is handed over here; the program reads every other
    // command line itself, and hands over then if it is a window start.
    bool windowStart = true;
    bool toggle = false;
    bool autoMinimize = false;
    for (int i = 1; i < argc && windowStart; ++i) {
        if (::strcasecmp(argv[i], "-autominimize") == 0)
            autoMinimize = true;
        else if (std::strcmp(argv[i], "--toggle") == 0)
            toggle = true;
        else
            windowStart = false;
    }
    TInstanceLink link(TARVOLIN_APP_ID);
    TProgramLaunch launch;
    if (windowStart) {
        launch.Start = TakeActivationEnvironment(WindowStartKind(toggle, autoMinimize));
        switch (link.HandOverLocally(launch.Start)) {
        case THandOverResult::Handed:
            return 0;
        case THandOverResult::Failed:
            std::fprintf(stderr, "tarvolin: the running copy did not answer: %s\n", link.Error().c_str());
            return 1;
        case THandOverResult::NoRunningCopy:
            launch.Link = &link;
            break;
        }
    }

    std::string error;
    void* library = LoadProgram(error);
    const auto entry = library ? reinterpret_cast<TProgramEntry>(::dlsym(library, TARVOLIN_PROGRAM_ENTRY)) : nullptr;
    if (!entry) {
        std::fprintf(stderr, "tarvolin: cannot load the program: %s\n", library ? "no entry" : error.c_str());
        return 1;
    }
    return entry(argc, argv, &launch);
}
