#include "Termination.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace {

int WritePipe = -1;
int ReadPipe = -1;
constexpr std::array<int, 3> Watched = {SIGTERM, SIGHUP, SIGINT};
struct sigaction Previous[Watched.size()];

extern "C" void OnTerminationSignal(int signalNumber)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // A full pipe already holds requests enough; the byte may go.
    [[maybe_unused]] const ssize_t n = ::write(WritePipe, &byte, 1);
    errno = saved;
}

} // namespace

TTerminationWatch::TTerminationWatch(QObject* parent)
    : QObject(parent)
{
    if (WritePipe >= 0)
        return; // another watch has the signals
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    ReadPipe = fds[0];
    WritePipe = fds[1];
    FNotifier = new QSocketNotifier(ReadPipe, QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, &TTerminationWatch::Drain);
    for (size_t i = 0; i < Watched.size(); ++i) {
        // A signal ignored when we started (nohup, a background job's
        // SIGINT) stays ignored.
        ::sigaction(Watched[i], nullptr, &Previous[i]);
        if (Previous[i].sa_handler == SIG_IGN)
            continue;
        struct sigaction action {};
        action.sa_handler = OnTerminationSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(Watched[i], &action, nullptr);
    }
}

TTerminationWatch::~TTerminationWatch()
{
    if (!FNotifier)
        return;
    for (size_t i = 0; i < Watched.size(); ++i)
        ::sigaction(Watched[i], &Previous[i], nullptr);
    delete FNotifier;
    FNotifier = nullptr;
    ::close(ReadPipe);
    ::close(WritePipe);
    ReadPipe = WritePipe = -1;
}

void TTerminationWatch::Drain()
{
    unsigned char bytes[16];
    for (;;) {
        const ssize_t n = ::read(ReadPipe, bytes, sizeof bytes);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        for (ssize_t i = 0; i < n; ++i)
            emit TerminationRequested(int(bytes[i]));
    }
}
