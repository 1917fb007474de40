// The hand-over of a later start: runs before Qt is loaded, with libdbus on a
// private connection or with a plain local socket.
#include "Instanceclient.h"
#include "Sessionbus.h"

#include <dbus/dbus.h>

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

const char* const ApplicationInterface = "org.freedesktop.Application";

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

// Appends platform_data (a{sv}) with the request's ids.
bool AppendPlatformData(DBusMessageIter* args, const TActivationRequest& request)
{
    DBusMessageIter dict;
    if (!dbus_message_iter_open_container(args, DBUS_TYPE_ARRAY, "{sv}", &dict))
        return false;
    const auto entry = [&dict](const char* key, const std::string& value) {
        if (value.empty())
            return true;
        DBusMessageIter pair, variant;
        const char* text = value.c_str();
        return dbus_message_iter_open_container(&dict, DBUS_TYPE_DICT_ENTRY, nullptr, &pair)
            && dbus_message_iter_append_basic(&pair, DBUS_TYPE_STRING, &key)
            && dbus_message_iter_open_container(&pair, DBUS_TYPE_VARIANT, "s", &variant)
            && dbus_message_iter_append_basic(&variant, DBUS_TYPE_STRING, &text)
            && dbus_message_iter_close_container(&pair, &variant)
            && dbus_message_iter_close_container(&dict, &pair);
    };
    return entry("activation-token", request.Token) && entry("desktop-startup-id", request.StartupId)
        && dbus_message_iter_close_container(args, &dict);
}

DBusMessage* BusCall(const char* name, const char* path, const TActivationRequest& request)
{
    DBusMessage* call = nullptr;
    DBusMessageIter args;
    switch (request.Kind) {
    case TActivationKind::Probe:
        call = dbus_message_new_method_call(name, path, "org.freedesktop.DBus.Peer", "Ping");
        break;
    case TActivationKind::Activate:
        call = dbus_message_new_method_call(name, path, ApplicationInterface, "Activate");
        if (call) {
            dbus_message_iter_init_append(call, &args);
            if (!AppendPlatformData(&args, request)) {
                dbus_message_unref(call);
                call = nullptr;
            }
        }
        break;
    case TActivationKind::Toggle: {
        call = dbus_message_new_method_call(name, path, ApplicationInterface, "ActivateAction");
        const char* action = "toggle";
        DBusMessageIter none;
        if (call) {
            dbus_message_iter_init_append(call, &args);
            const bool ok = dbus_message_iter_append_basic(&args, DBUS_TYPE_STRING, &action)
                && dbus_message_iter_open_container(&args, DBUS_TYPE_ARRAY, "v", &none)
                && dbus_message_iter_close_container(&args, &none) && AppendPlatformData(&args, request);
            if (!ok) {
                dbus_message_unref(call);
                call = nullptr;
            }
        }
        break;
    }
    }
    // Never have the bus start a copy for us: this start is that copy.
    if (call)
        dbus_message_set_auto_start(call, FALSE);
    return call;
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

THandOverResult TInstanceLink::HandOver(const TActivationRequest& request, int timeoutMs)
{
    FError.clear();
    return FUsesBus ? HandOverOnBus(request, timeoutMs) : HandOverOnSocket(request, timeoutMs);
}

THandOverResult TInstanceLink::HandOverOnBus(const TActivationRequest& request, int timeoutMs)
{
    DBusError error;
    dbus_error_init(&error);
    DBusConnection* bus = dbus_bus_get_private(DBUS_BUS_SESSION, &error);
    if (!bus) {
        // No bus after all: the program runs, and nothing else could own
        // the name on it either.
        dbus_error_free(&error);
        return THandOverResult::NoRunningCopy;
    }
    dbus_connection_set_exit_on_disconnect(bus, FALSE);
    THandOverResult result = THandOverResult::Failed;
    if (DBusMessage* call = BusCall(FAppId.c_str(), ObjectPath().c_str(), request)) {
        DBusMessage* reply = dbus_connection_send_with_reply_and_block(bus, call, timeoutMs, &error);
        dbus_message_unref(call);
        if (reply) {
            result = THandOverResult::Handed;
            dbus_message_unref(reply);
        } else if (dbus_error_has_name(&error, DBUS_ERROR_SERVICE_UNKNOWN)
                   || dbus_error_has_name(&error, DBUS_ERROR_NAME_HAS_NO_OWNER)) {
            result = THandOverResult::NoRunningCopy;
        } else {
            FError = error.message ? error.message : "no answer";
        }
        dbus_error_free(&error);
    } else {
        FError = "out of memory";
    }
    dbus_connection_close(bus);
    dbus_connection_unref(bus);
    return result;
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
    address.sun_family = AF_UNIX;
    const std::string path = SocketPath();
    if (path.size() >= sizeof address.sun_path) {
        FError = "socket path too long";
        return THandOverResult::Failed;
    }
    std::memcpy(address.sun_path, path.data(), path.size());

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
