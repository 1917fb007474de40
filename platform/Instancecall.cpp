// The hand-over of a later start through the local socket, and what both
// ways share: runs before Qt (or libdbus) is loaded. The session bus's way is
// in Instancebus.cpp.
#include "Instanceclient.h"
#include "Sessionbus.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const char* Verb(TActivationKind kind)
{
    switch (kind) {
    case TActivationKind::Toggle:
        return "TOGGLE";
    case TActivationKind::Probe:
        return "PROBE";
    case TActivationKind::Activate:
        break;
    }
    return "ACTIVATE";
}

bool WriteAll(int fd, const std::string& data)
{
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

std::string Errno()
{
    return std::strerror(errno);
}

} // namespace

bool ValidActivationId(std::string_view text)
{
    if (text.empty() || text.size() > size_t(ActivationIdMaxLength))
        return false;
    for (const char ch : text) {
        if (ch <= ' ' || ch >= 0x7F)
            return false;
    }
    return true;
}

uint32_t StartupIdTime(std::string_view startupId)
{
    const size_t at = startupId.rfind("_TIME");
    if (at == std::string_view::npos)
        return 0;
    const std::string_view digits = startupId.substr(at + 5);
    if (digits.empty() || digits.size() > 10)
        return 0;
    uint64_t time = 0;
    for (const char ch : digits) {
        if (ch < '0' || ch > '9')
            return 0;
        time = time * 10 + uint64_t(ch - '0');
    }
    return time > 0xFFFFFFFFu ? 0 : uint32_t(time);
}

TActivationRequest TakeActivationEnvironment(TActivationKind kind)
{
    TActivationRequest request;
    request.Kind = kind;
    const auto take = [](const char* name, std::string& into) {
        if (const char* value = std::getenv(name)) {
            if (ValidActivationId(value))
                into = value;
            ::unsetenv(name);
        }
    };
    take("XDG_ACTIVATION_TOKEN", request.Token);
    take("DESKTOP_STARTUP_ID", request.StartupId);
    return request;
}

TInstanceLink::TInstanceLink(std::string appId)
    : FAppId(std::move(appId))
    , FUsesBus(SessionBusKnown())
{
}

TInstanceLink::~TInstanceLink()
{
    if (FLockFd >= 0)
        ::close(FLockFd);
}

std::string TInstanceLink::ObjectPath() const
{
    std::string path = "/" + FAppId;
    for (char& ch : path) {
        if (ch == '.')
            ch = '/';
        else if (ch == '-')
            ch = '_';
    }
    return path;
}

std::string TInstanceLink::SocketPath() const
{
    return FFolder + "/instance";
}

bool TInstanceLink::SocketAddress(sockaddr_un& address) const
{
    address = sockaddr_un {};
    address.sun_family = AF_UNIX;
    const std::string path = SocketPath();
    if (path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.data(), path.size());
    return true;
}

THandOverResult TInstanceLink::HandOverLocally(const TActivationRequest& request, int timeoutMs)
{
    FError.clear();
    return HandOverOnSocket(request, timeoutMs);
}

void TInstanceLink::ReleaseLock()
{
    if (FLockFd >= 0)
        ::close(FLockFd);
    FLockFd = -1;
}

bool TInstanceLink::PrepareFolder()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string folder = runtime && *runtime
        ? std::string(runtime) + "/" + FAppId
        : "/tmp/" + FAppId + "-" + std::to_string(::getuid());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        FError = "cannot make " + folder + ": " + Errno();
        return false;
    }
    // Ours alone: a folder someone else made (in /tmp) or that others may
    // enter would let them answer in our place.
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid()
        || (info.st_mode & 077) != 0) {
        FError = folder + " is not a folder of this user's own";
        return false;
    }
    FFolder = folder;
    return true;
}

THandOverResult TInstanceLink::HandOverOnSocket(const TActivationRequest& request, int timeoutMs)
{
    if (FFolder.empty() && !PrepareFolder())
        return THandOverResult::NoRunningCopy; // runs on its own, as without this
    if (FLockFd < 0) {
        const std::string lockPath = FFolder + "/instance.lock";
        FLockFd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (FLockFd < 0) {
            FError = "cannot open " + lockPath + ": " + Errno();
            return THandOverResult::NoRunningCopy;
        }
    }
    if (::flock(FLockFd, LOCK_EX | LOCK_NB) == 0)
        return THandOverResult::NoRunningCopy; // the lock is ours: we are the running copy
    ::close(FLockFd);
    FLockFd = -1;

    sockaddr_un address {};
    if (!SocketAddress(address)) {
        FError = "socket path too long";
        return THandOverResult::Failed;
    }

    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const auto msLeft = [&deadline] {
        return int(std::max<int64_t>(0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count()));
    };
    int fd = -1;
    // The running copy takes the lock a moment before it listens.
    for (;;) {
        fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            FError = Errno();
            return THandOverResult::Failed;
        }
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            break;
        ::close(fd);
        fd = -1;
        if (msLeft() == 0) {
            FError = "the running copy does not listen";
            return THandOverResult::Failed;
        }
        ::poll(nullptr, 0, 20);
    }

    THandOverResult result = THandOverResult::Failed;
    if (WriteAll(fd, InstanceRequestLine(request) + '\n')) {
        std::string answer;
        char buffer[256];
        while (answer.find('\n') == std::string::npos && answer.size() < size_t(InstanceRequestMaxBytes)) {
            pollfd p {fd, POLLIN, 0};
            const int ready = ::poll(&p, 1, msLeft());
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready <= 0)
                break;
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            answer.append(buffer, size_t(n));
        }
        const std::string line = answer.substr(0, std::min(answer.find('\n'), size_t(200)));
        if (line == "OK")
            result = THandOverResult::Handed;
        else
            FError = line.empty() ? std::string("no answer") : line;
    } else {
        FError = Errno();
    }
    ::close(fd);
    return result;
}

std::string InstanceRequestLine(const TActivationRequest& request)
{
    return std::string(Verb(request.Kind)) + '\t' + request.Token + '\t' + request.StartupId;
}

bool ParseInstanceRequestLine(std::string_view line, TActivationRequest& request)
{
    std::vector<std::string_view> fields;
    for (size_t start = 0;;) {
        const size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
        if (tab == std::string_view::npos || fields.size() > 3)
            break;
        start = tab + 1;
    }
    if (fields.size() != 3)
        return false;
    TActivationRequest parsed;
    if (fields[0] == "ACTIVATE")
        parsed.Kind = TActivationKind::Activate;
    else if (fields[0] == "TOGGLE")
        parsed.Kind = TActivationKind::Toggle;
    else if (fields[0] == "PROBE")
        parsed.Kind = TActivationKind::Probe;
    else
        return false;
    for (int i = 1; i < 3; ++i) {
        if (!fields[size_t(i)].empty() && !ValidActivationId(fields[size_t(i)]))
            return false;
    }
    parsed.Token = std::string(fields[1]);
    parsed.StartupId = std::string(fields[2]);
    request = parsed;
    return true;
}
