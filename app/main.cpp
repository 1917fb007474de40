// Program entry: captures the start-up directory, creates the main window and
// runs the event loop until the main window really closes. The about box and
// the password dialog are made when they are used, each afresh.
#include "Fmorvic.h"
#include "Fontwarmup.h"
#include "Lazyicons.h"
#include "Messagebox.h"
#include "Resources.h"

#include <QApplication>
#include <QByteArray>
#include <QDir>

#include <exception>
#include <malloc.h>

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
        UseLazyIconStyle();
        QApplication::setWindowIcon(TarvolinIcon());
        fontConfig.Wait();
        TFormMorvic formMorvic;
        // A close of the main window that goes through ends the program, also
        // one that reaches it while it is hidden in the notification area
        // (the tray object keeps the program running while hidden, so the
        // window's close alone would not end it then).
        QObject::connect(&formMorvic, &TFormMorvic::Ended, &app, &QCoreApplication::quit, Qt::QueuedConnection);
        formMorvic.show();
        app.exec();
    } catch (const std::exception& e) {
        ShowException(e.what());
    } catch (...) {
        ShowException(nullptr);
    }
    return 0;
}
