// The D-Bus menu as any program on the bus reaches it: random calls of every
// method, with ids of entries, of removed entries and made up, any depth and
// any property names, between random edits of the menu.
//
// Every call is answered, with an error exactly when it names what the menu
// does not have; no answer is larger than the menu (GetGroupProperties gives
// each known item once however often it is named, no item carries more
// properties than the protocol defines), and the id lists sent back are no
// longer than those sent.
#include "FuzzCheck.h"
#include "QtFuzzEnv.h"

#include "Dbuspeer.h"
#include "Dbusmenu.h"

#include <QAction>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QList>
#include <QMenu>
#include <QSet>
#include <QStringList>

namespace {

// The first MostProperties are those the protocol defines: no item has more.
const char* const Names[] = {"type", "label", "enabled", "visible", "icon-name", "icon-data", "shortcut",
                             "toggle-type", "toggle-state", "children-display", "disposition",
                             "accessible-desc", "x-vendor", "", "Label", "colour"};
constexpr int NameCount = int(sizeof Names / sizeof Names[0]);
constexpr int MostProperties = 12;

struct TSetup
{
    TDBusPeer Peer;
    QMenu Menu;
    TDBusMenuExporter Exporter;
    QList<int> Retired; // ids of entries since removed

    TSetup()
    {
        Exporter.SetMenu(&Menu);
        FUZZ_CHECK(Peer.Ready());
        FUZZ_CHECK(Exporter.Publish(QStringLiteral("/MenuBar"), Peer.Server()));
    }
};

TSetup& Setup()
{
    static TSetup* setup = new TSetup; // lives as long as the process
    return *setup;
}

QSet<int> KnownIds(const TSetup& s)
{
    QSet<int> ids{0};
    for (const QAction* action : s.Menu.actions())
        ids.insert(s.Exporter.IdOf(action));
    return ids;
}

// An id as a caller might name one: the menu, an entry, a removed entry, or
// any number.
int PickId(TSetup& s, TFuzzInput& in)
{
    const QList<QAction*> actions = s.Menu.actions();
    switch (in.Byte() % 4) {
    case 0: return 0;
    case 1: return actions.isEmpty() ? 0 : s.Exporter.IdOf(actions.at(in.Byte() % actions.size()));
    case 2: return s.Retired.isEmpty() ? -1 : s.Retired.at(in.Byte() % s.Retired.size());
    default: return int(in.Word32());
    }
}

// Ids, with runs of one id repeated up to 4,096 times.
QList<int> PickIds(TSetup& s, TFuzzInput& in)
{
    QList<int> ids;
    const int runs = in.Byte() % 6;
    for (int r = 0; r < runs; ++r) {
        const int id = PickId(s, in);
        const int count = 1 + int(in.Word16() % 4096);
        ids.append(QList<int>(count, id));
    }
    return ids;
}

QStringList PickNames(TFuzzInput& in)
{
    QStringList names;
    const int n = in.Byte() % 5;
    for (int i = 0; i < n; ++i)
        names.append(QString::fromLatin1(Names[in.Byte() % NameCount]));
    return names;
}

void EditMenu(TSetup& s, TFuzzInput& in)
{
    const QList<QAction*> actions = s.Menu.actions();
    QAction* some = actions.isEmpty() ? nullptr : actions.at(in.Byte() % actions.size());
    switch (some ? in.Byte() % 6 : 0) {
    case 0:
        if (actions.size() < 12)
            s.Menu.insertAction(some, new QAction(QStringLiteral("_E&ntry %1").arg(in.Byte()), &s.Menu));
        break;
    case 1:
        if (actions.size() < 12)
            s.Menu.insertSeparator(some);
        break;
    case 2:
        s.Retired.append(s.Exporter.IdOf(some));
        delete some;
        break;
    case 3: some->setEnabled(!some->isEnabled()); break;
    case 4: some->setVisible(!some->isVisible()); break;
    case 5:
        some->setCheckable(!some->isCheckable());
        some->setChecked(in.Byte() & 1);
        break;
    }
}

// The reply to a call, which must come: a reply or an error of our own,
// never a call left to time out.
QDBusMessage Call(TSetup& s, const char* method, const QVariantList& args)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QString(), QStringLiteral("/MenuBar"),
                                                       QStringLiteral("com.canonical.dbusmenu"),
                                                       QLatin1String(method));
    call.setArguments(args);
    const QDBusMessage reply = s.Peer.Call(call);
    FUZZ_CHECK(reply.type() == QDBusMessage::ReplyMessage || reply.type() == QDBusMessage::ErrorMessage);
    FUZZ_CHECK(!reply.errorName().endsWith(QLatin1String("NoReply")));
    return reply;
}

bool IsError(const QDBusMessage& reply) { return reply.type() == QDBusMessage::ErrorMessage; }

void CheckLayout(const TDBusMenuLayoutItem& item, const QSet<int>& known, int depth)
{
    FUZZ_CHECK(known.contains(item.Id));
    FUZZ_CHECK(item.Properties.size() <= MostProperties);
    for (const QVariant& value : item.Properties)
        FUZZ_CHECK(value.isValid());
    FUZZ_CHECK(item.Children.size() < known.size());
    FUZZ_CHECK(depth != 0 || item.Children.isEmpty());
    for (const TDBusMenuLayoutItem& child : item.Children)
        CheckLayout(child, known, depth - 1);
}

void AskMenu(TSetup& s, TFuzzInput& in)
{
    const QSet<int> known = KnownIds(s);
    switch (in.Byte() % 7) {
    case 0: {
        const int parent = PickId(s, in);
        const int depth = int(qint8(in.Byte()));
        const QDBusMessage reply = Call(s, "GetLayout", {parent, depth, PickNames(in)});
        FUZZ_CHECK(IsError(reply) == !known.contains(parent));
        if (!IsError(reply)) {
            TDBusMenuLayoutItem layout;
            reply.arguments().value(1).value<QDBusArgument>() >> layout;
            FUZZ_CHECK(layout.Id == parent);
            CheckLayout(layout, known, depth);
        }
        break;
    }
    case 1: {
        const QList<int> ids = PickIds(s, in);
        const QDBusMessage reply = Call(s, "GetGroupProperties", {QVariant::fromValue(ids), PickNames(in)});
        FUZZ_CHECK(!IsError(reply));
        const auto items = qdbus_cast<QList<TDBusMenuItem>>(reply.arguments().value(0));
        FUZZ_CHECK(items.size() <= known.size());
        QSet<int> seen;
        for (const TDBusMenuItem& item : items) {
            FUZZ_CHECK(known.contains(item.Id) && !seen.contains(item.Id));
            FUZZ_CHECK(ids.isEmpty() || ids.contains(item.Id));
            FUZZ_CHECK(item.Properties.size() <= MostProperties);
            seen.insert(item.Id);
        }
        if (ids.isEmpty())
            FUZZ_CHECK(seen == known);
        break;
    }
    case 2: {
        const int id = PickId(s, in);
        const int name = in.Byte() % NameCount;
        const QDBusMessage reply = Call(s, "GetProperty", {id, QString::fromLatin1(Names[name])});
        FUZZ_CHECK(IsError(reply) == (!known.contains(id) || name >= MostProperties));
        if (!IsError(reply))
            FUZZ_CHECK(reply.arguments().value(0).value<QDBusVariant>().variant().isValid());
        break;
    }
    case 3: {
        const int id = PickId(s, in);
        const QString event = QString::fromLatin1(in.Byte() & 1 ? "clicked" : "hovered");
        const QDBusMessage reply = Call(s, "Event", {id, event, QVariant::fromValue(QDBusVariant(0)), 0u});
        FUZZ_CHECK(IsError(reply) == !known.contains(id));
        break;
    }
    case 4: {
        QList<TDBusMenuEvent> events;
        int unknown = 0;
        const int n = in.Byte() % 8;
        for (int i = 0; i < n; ++i) {
            TDBusMenuEvent event;
            event.Id = PickId(s, in);
            event.EventId = QString::fromLatin1(in.Byte() & 1 ? "clicked" : "opened");
            event.Data = QDBusVariant(QString());
            events.append(event);
            unknown += known.contains(event.Id) ? 0 : 1;
        }
        const QDBusMessage reply = Call(s, "EventGroup", {QVariant::fromValue(events)});
        FUZZ_CHECK(IsError(reply) == (n > 0 && unknown == n));
        if (!IsError(reply))
            FUZZ_CHECK(qdbus_cast<QList<int>>(reply.arguments().value(0)).size() == unknown);
        break;
    }
    case 5: {
        const int id = PickId(s, in);
        FUZZ_CHECK(IsError(Call(s, "AboutToShow", {id})) == !known.contains(id));
        break;
    }
    case 6: {
        const QList<int> ids = PickIds(s, in);
        const QDBusMessage reply = Call(s, "AboutToShowGroup", {QVariant::fromValue(ids)});
        FUZZ_CHECK(!IsError(reply));
        const auto errors = qdbus_cast<QList<int>>(reply.arguments().value(1));
        FUZZ_CHECK(errors.size() <= ids.size());
        for (int id : errors)
            FUZZ_CHECK(!known.contains(id));
        break;
    }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TSetup& s = Setup();
    TFuzzInput in(data, size);
    for (int step = 0; step < 24 && !in.Empty(); ++step) {
        if (in.Byte() % 4 == 0)
            EditMenu(s, in);
        else
            AskMenu(s, in);
    }
    // Clicks run from the event loop; the retired list stays small.
    QCoreApplication::processEvents();
    if (s.Retired.size() > 64)
        s.Retired.remove(0, s.Retired.size() - 64);
    return 0;
}
