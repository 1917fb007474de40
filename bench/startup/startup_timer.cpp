// Times how long programs take from their start until their first top-level
// window is mapped on the X server in $DISPLAY, and how much memory each
// holds once it has settled after the map.
//
//   startup_timer <runs> <name>=<program>[@<argument>] ...
//   startup_timer <runs> <name>=<program> <name>=+<program> ...
//
// The server must run no other client and no window manager (a fresh
// xvfb-run): every top-level window is then a child of the root window, and
// its MapNotify reaches a client watching the root's substructure.
//
// Every run starts each program once; the order flips from one run to the
// next, so neither program of a pair always goes first, and a slow spell of
// a shared machine falls on both. One untimed warm-up start of each comes
// first. Most starts end the program at its map; every SettleEvery-th run
// lets each program settle for SettleMs and reads its resident memory then.
//
// A program written with a "+" before its path is timed as a later start: one
// copy of it is started (and waited for) before the runs and left running,
// and each timed start is from the spawn until that later start has ended
// (it hands over to the running copy and maps no window of its own).
//
// Prints, per program, its median time to the map (or to the end) in ms, and from the settled
// runs the processor time all its threads used until it was ended (ms: the
// start-up and the settling after it; steadier than the wall clock on a busy
// machine, though it leaves out waiting for the disk and the X server, and
// it counts work done after the map) and its resident memory in KiB, both
// medians, and the part of that memory it wrote itself (private dirty);
// then, for every pair (a later program over an earlier one), the medians of
// the run-by-run ratios:
//   startup <name> median_ms <ms> cpu_ms <ms> rss_kib <kib> dirty_kib <kib>
//   ratio <name>/<base> time <x> cpu <x> rss <x> dirty <x>
#include <xcb/xcb.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr int MapTimeoutMs = 30000;
constexpr int SettleMs = 300;
// Every this many runs, each program is left to settle and its memory and
// processor time are read (the other runs end it at once, so that many runs
// fit in little time: the memory hardly varies, the time does).
constexpr int SettleEvery = 5;

double NowMs()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

struct TProgram
{
    std::string Name;
    std::string Path;
    std::string Argument; // one argument, or none when empty
    bool LaterStart = false; // timed to its end, with a first copy running
    std::vector<double> Times;
    std::vector<double> CpuMs;
    std::vector<double> RssKiB;
    std::vector<double> DirtyKiB;
};

struct TStart
{
    double Ms = -1; // negative: no window was mapped
    double CpuMs = 0;
    double RssKiB = 0;
    double DirtyKiB = 0;
};

// Waits for the next MapNotify of a child of the root; false on timeout or
// a lost connection.
bool WaitForMap(xcb_connection_t* c, double deadline)
{
    const int fd = xcb_get_file_descriptor(c);
    for (;;) {
        while (xcb_generic_event_t* e = xcb_poll_for_event(c)) {
            const bool mapped = (e->response_type & 0x7F) == XCB_MAP_NOTIFY;
            std::free(e);
            if (mapped)
                return true;
        }
        if (xcb_connection_has_error(c))
            return false;
        const int left = int(deadline - NowMs());
        if (left <= 0)
            return false;
        pollfd p {fd, POLLIN, 0};
        if (poll(&p, 1, left) < 0 && errno != EINTR)
            return false;
    }
}

void Drain(xcb_connection_t* c)
{
    xcb_flush(c);
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)); // a round trip
    while (xcb_generic_event_t* e = xcb_poll_for_event(c))
        std::free(e);
}

// One figure of a running process's /proc file in KiB ("VmRSS:" in
// "status", say), 0 if unreadable.
double ProcKiB(pid_t pid, const char* file, const char* key)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/%s", int(pid), file);
    FILE* f = std::fopen(path, "r");
    if (!f)
        return 0;
    double kib = 0;
    const size_t length = std::strlen(key);
    char line[256];
    while (std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, key, length) == 0) {
            kib = std::atof(line + length);
            break;
        }
    }
    std::fclose(f);
    return kib;
}

void SleepMs(int ms)
{
    timespec ts {ms / 1000, long(ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

// A later start: spawn, wait until it has ended by itself (status 0).
TStart StartLater(const TProgram& p)
{
    char* argv[] = {const_cast<char*>(p.Path.c_str()), nullptr};
    pid_t pid = 0;
    TStart result;
    const double start = NowMs();
    if (posix_spawn(&pid, p.Path.c_str(), nullptr, nullptr, argv, environ) != 0)
        return result;
    int status = 0;
    rusage usage {};
    const double deadline = start + MapTimeoutMs;
    while (wait4(pid, &status, WNOHANG, &usage) == 0) {
        if (NowMs() > deadline) {
            kill(pid, SIGKILL);
            wait4(pid, &status, 0, &usage);
            return result;
        }
        timespec pause {0, 100000L}; // 0.1 ms
        nanosleep(&pause, nullptr);
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        result.Ms = NowMs() - start;
    result.CpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
    return result;
}

// One start: spawn, wait for the map, end it; with settle, let it settle
// first and read its memory and processor time.
TStart StartOne(xcb_connection_t* c, const TProgram& p, bool settle)
{
    if (p.LaterStart)
        return StartLater(p);
    Drain(c);
    char* argv[] = {const_cast<char*>(p.Path.c_str()), const_cast<char*>(p.Argument.c_str()), nullptr};
    if (p.Argument.empty())
        argv[1] = nullptr;
    pid_t pid = 0;
    TStart result;
    const double start = NowMs();
    if (posix_spawn(&pid, p.Path.c_str(), nullptr, nullptr, argv, environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", p.Path.c_str());
        return result;
    }
    const bool mapped = WaitForMap(c, start + MapTimeoutMs);
    const double elapsed = NowMs() - start;
    if (mapped) {
        result.Ms = elapsed;
        if (settle) {
            SleepMs(SettleMs);
            result.RssKiB = ProcKiB(pid, "status", "VmRSS:");
            // The pages the program wrote (heap, stacks, relocated data):
            // its own, unlike the pages of code and files it shares with
            // every other program using the same libraries.
            result.DirtyKiB = ProcKiB(pid, "smaps_rollup", "Private_Dirty:");
        }
    }
    kill(pid, SIGKILL);
    int status = 0;
    rusage usage {};
    wait4(pid, &status, 0, &usage);
    result.CpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
    return result;
}

double Median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// The median of the run-by-run ratios a[i] / b[i].
double PairedRatio(const std::vector<double>& a, const std::vector<double>& b)
{
    std::vector<double> ratios;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (b[i] > 0)
            ratios.push_back(a[i] / b[i]);
    }
    return Median(ratios);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: startup_timer <runs> <name>=<program>[@<argument>] ...\n");
        return 2;
    }
    const int runs = std::max(1, std::atoi(argv[1]));
    std::vector<TProgram> programs;
    for (int i = 2; i < argc; ++i) {
        const char* eq = std::strchr(argv[i], '=');
        if (!eq) {
            std::fprintf(stderr, "expected <name>=<program>: %s\n", argv[i]);
            return 2;
        }
        std::string path(eq + 1);
        std::string argument;
        const size_t at = path.rfind('@');
        if (at != std::string::npos) {
            argument = path.substr(at + 1);
            path.resize(at);
        }
        TProgram program;
        if (!path.empty() && path[0] == '+') {
            program.LaterStart = true;
            path.erase(0, 1);
        }
        program.Name.assign(argv[i], size_t(eq - argv[i]));
        program.Path = path;
        program.Argument = argument;
        programs.push_back(program);
    }

    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "cannot connect to the X server\n");
        return 1;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, screen->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);

    // The running copies the later starts hand over to.
    std::vector<pid_t> firstCopies;
    for (const TProgram& p : programs) {
        if (!p.LaterStart)
            continue;
        Drain(c);
        char* first[] = {const_cast<char*>(p.Path.c_str()), nullptr};
        pid_t pid = 0;
        if (posix_spawn(&pid, p.Path.c_str(), nullptr, nullptr, first, environ) != 0
            || !WaitForMap(c, NowMs() + MapTimeoutMs)) {
            std::fprintf(stderr, "%s: the first copy mapped no window\n", p.Name.c_str());
            return 1;
        }
        firstCopies.push_back(pid);
    }
    for (TProgram& p : programs) {
        if (StartOne(c, p, false).Ms < 0) {
            std::fprintf(stderr, "%s: no window was mapped\n", p.Name.c_str());
            return 1;
        }
    }
    for (int r = 0; r < runs; ++r) {
        for (size_t k = 0; k < programs.size(); ++k) {
            TProgram& p = programs[r % 2 ? programs.size() - 1 - k : k];
            const bool settle = r % SettleEvery == 0;
            const TStart s = StartOne(c, p, settle);
            if (s.Ms < 0) {
                std::fprintf(stderr, "%s: no window was mapped\n", p.Name.c_str());
                return 1;
            }
            p.Times.push_back(s.Ms);
            if (settle) {
                p.CpuMs.push_back(s.CpuMs);
                p.RssKiB.push_back(s.RssKiB);
                p.DirtyKiB.push_back(s.DirtyKiB);
            }
        }
    }
    for (const TProgram& p : programs) {
        std::printf("startup %s median_ms %.1f cpu_ms %.1f rss_kib %.0f dirty_kib %.0f\n", p.Name.c_str(),
            Median(p.Times), Median(p.CpuMs), Median(p.RssKiB), Median(p.DirtyKiB));
    }
    for (size_t a = 1; a < programs.size(); ++a) {
        for (size_t b = 0; b < a; ++b) {
            std::printf("ratio %s/%s time %.2f cpu %.2f rss %.2f dirty %.2f\n", programs[a].Name.c_str(),
                programs[b].Name.c_str(), PairedRatio(programs[a].Times, programs[b].Times),
                PairedRatio(programs[a].CpuMs, programs[b].CpuMs),
                PairedRatio(programs[a].RssKiB, programs[b].RssKiB),
                PairedRatio(programs[a].DirtyKiB, programs[b].DirtyKiB));
        }
    }
    for (const pid_t pid : firstCopies) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    xcb_disconnect(c);
    return 0;
}
