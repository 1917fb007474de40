// The program's entry, in the program library that the `tarvolin` executable
// loads (launch/Launch.h): reads the command line (printing needs no window),
// hands a start over to the copy that runs already, else captures the
// start-up directory, creates the main window and runs the event loop until
// the main window really closes. The about box and the password dialog are
// made when they are used, each afresh.
#include "Activation.h"
#include "Commandline.h"
#include "Fmorvic.h"
#include "Fontwarmup.h"
#include "Instancelink.h"
#include "Launch.h"
#include "Lazyicons.h"
#include "Messagebox.h"
#include "Resources.h"
#include "Summon.h"
#include "Termination.h"

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QSessionManager>

#include <clocale>
#include <cstdio>
#include <exception>
#include <memory>

namespace {

// The application's exception box: shows an exception that escaped an event
// handler (the event loop then carries on) or the start-up.
void ShowException(const char* what)
{
    ShowMessageBox(nullptr, QByteArray(what && *what ? what : "Unknown error"), QByteArray("Tarvolin"));
}

class TTarvolinApplication : public QApplication
{
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            ShowException(e.what());
        } catch (...) {
            ShowException(nullptr);
        }
        return false;
    }
};

} // namespace

extern "C" __attribute__((visibility("default"))) int TarvolinProgramMain(int argc, char* argv[],
                                                                           TProgramLaunch* launch)
{
    // Everything that changes the environment or the locale happens here,
    // before any other thread runs: the process's locale from the
    // environment, and the launcher's focus permission taken out (the
    // application object would remove the startup id while it is made).
    std::setlocale(LC_ALL, "");
    const TMorvicCommand command = ParseMorvicCommandLine(MorvicArguments(argc, argv));
    if (command.Run != TMorvicRun::Window && command.Run != TMorvicRun::Toggle)
        return RunMorvicCommand(command, stdout, stderr); // no display, no settings written

    // A copy runs already: it takes the request, and this start ends without
    // touching the settings. The executable has asked already for a plain
    // window start.
    std::unique_ptr<TInstanceLink> ownLink;
    TInstanceLink* instance = launch ? launch->Link : nullptr;
    TActivationRequest start = instance ? launch->Start : TActivationRequest();
    if (!instance) {
        start = TakeActivationEnvironment(WindowStartKind(command.Run == TMorvicRun::Toggle, command.AutoMinimize));
        ownLink = std::make_unique<TInstanceLink>(TARVOLIN_APP_ID);
        instance = ownLink.get();
        // On the socket alone, as the launcher asks: a copy that runs only
        // on the bus is found below, when the claim of its name fails.
        switch (instance->HandOverLocally(start)) {
        case THandOverResult::Handed:
            return 0;
        case THandOverResult::Failed:
            std::fprintf(stderr, "tarvolin: the running copy did not answer: %s\n", instance->Error().c_str());
            return 1;
        case THandOverResult::NoRunningCopy:
            break;
        }
    }

    // The working directory at start, before anything can change it; the
    // Users Manual item looks for the manual there first. It stays null when
    // the directory cannot be read (it was removed, say).
    const QString startup = QDir::currentPath();
    if (!startup.isEmpty())
        StartupDirectory = startup.toLocal8Bit();
    // The font configuration is read while the application object is made.
    TFontConfigWarmUp fontConfig;
    TTarvolinApplication app(argc, argv);
    // The installed desktop entry's name: Wayland compositors match the
    // window to its entry (name and icon) by it.
    QGuiApplication::setDesktopFileName(QStringLiteral(TARVOLIN_APP_ID));
    try {
        // Another start may have won the race for the name since.
        TInstanceServer server(*instance);
        if (!server.Listen()) {
            const THandOverResult result = instance->HandOver(start);
            return result == THandOverResult::Handed ? 0 : 1;
        }
        UseLazyIconStyle();
        QApplication::setWindowIcon(TarvolinIcon());
        fontConfig.Wait();
        TFormMorvic formMorvic;
        // A close of the main window that goes through ends the program, also
        // one that reaches it while it is hidden in the notification area
        // (the tray object keeps the program running while hidden, so the
        // window's close alone would not end it then).
        QObject::connect(&formMorvic, &TFormMorvic::Ended, &app, &QCoreApplication::quit, Qt::QueuedConnection);
        QObject::connect(&server, &TInstanceServer::Requested, &formMorvic,
                         [&formMorvic](const TActivationRequest& request) { SummonMorvic(formMorvic, request); });
        // The session ends (the session manager's logout, or SIGTERM): the
        // settings are saved as a close saves them. A terminating signal then
        // quits as File › Quit does.
        QObject::connect(&app, &QGuiApplication::commitDataRequest, &formMorvic,
                         [&formMorvic](QSessionManager&) { formMorvic.SaveSettings(); });
        TTerminationWatch termination;
        QObject::connect(&termination, &TTerminationWatch::TerminationRequested, &formMorvic,
                         [&formMorvic] { formMorvic.Quit2Click(nullptr); });
        PrepareActivation(start);
        formMorvic.show();
        EndStartupNotification(start);
        app.exec();
    } catch (const std::exception& e) {
        ShowException(e.what());
    } catch (...) {
        ShowException(nullptr);
    }
    return 0;
}
