// The hand-over of a later start on the session bus: a call to the running
// copy's org.freedesktop.Application, with libdbus on a private connection
// (before Qt's application object is made).
#include "Instanceclient.h"

#include <dbus/dbus.h>

namespace {

const char* const ApplicationInterface = "org.freedesktop.Application";

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

} // namespace

THandOverResult TInstanceLink::HandOver(const TActivationRequest& request, int timeoutMs)
{
    FError.clear();
    // The socket first: it answers for the running copy also when there is
    // a bus, and without libdbus. A copy found on neither does not run.
    const THandOverResult local = HandOverOnSocket(request, timeoutMs);
    if (local != THandOverResult::NoRunningCopy || !FUsesBus)
        return local;
    return HandOverOnBus(request, timeoutMs);
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
