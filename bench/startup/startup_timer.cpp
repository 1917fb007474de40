// Times how long programs take from their start until their first top-level
// window is mapped on the X server in $DISPLAY.
//
//   startup_timer <runs> <name>=<program>[@<argument>] ...
//
// The server must run no other client and no window manager (a fresh
// xvfb-run): every top-level window is then a child of the root window, and
// its MapNotify reaches a client watching the root's substructure. The
// programs take turns, so a slow spell of a shared machine falls on all of
// them alike; one untimed warm-up start of each comes first. Prints each
// program's median in milliseconds and, for every program after the first,
// its median over the first's.
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
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr int MapTimeoutMs = 30000;

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
    std::vector<double> Times;
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

// One start: spawn, wait for the map, end the program. Returns the time to
// the map in ms, or a negative number when the window never came.
double TimeOne(xcb_connection_t* c, const TProgram& p)
{
    Drain(c);
    char* argv[] = {const_cast<char*>(p.Path.c_str()), const_cast<char*>(p.Argument.c_str()), nullptr};
    if (p.Argument.empty())
        argv[1] = nullptr;
    pid_t pid = 0;
    const double start = NowMs();
    if (posix_spawn(&pid, p.Path.c_str(), nullptr, nullptr, argv, environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", p.Path.c_str());
        return -1;
    }
    const bool mapped = WaitForMap(c, start + MapTimeoutMs);
    const double elapsed = NowMs() - start;
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    return mapped ? elapsed : -1;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
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
        programs.push_back({std::string(argv[i], size_t(eq - argv[i])), path, argument, {}});
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

    for (TProgram& p : programs) {
        if (TimeOne(c, p) < 0) {
            std::fprintf(stderr, "%s: no window was mapped\n", p.Name.c_str());
            return 1;
        }
    }
    for (int r = 0; r < runs; ++r) {
        for (TProgram& p : programs) {
            const double t = TimeOne(c, p);
            if (t < 0) {
                std::fprintf(stderr, "%s: no window was mapped\n", p.Name.c_str());
                return 1;
            }
            p.Times.push_back(t);
        }
    }
    const double floor = Median(programs.front().Times);
    for (const TProgram& p : programs) {
        std::printf("startup %s median_ms %.1f", p.Name.c_str(), Median(p.Times));
        if (&p != &programs.front() && floor > 0)
            std::printf(" ratio %.2f", Median(p.Times) / floor);
        std::printf("\n");
    }
    xcb_disconnect(c);
    return 0;
}
