#pragma once
// A headless QApplication for the widget targets, created once per process,
// with XDG_CONFIG_HOME pointed at a private temporary folder so a run never
// reads or writes the user's settings.
#include <QApplication>
#include <QByteArray>
#include <QTemporaryDir>
#include <QtGlobal>

inline QTemporaryDir& FuzzTempDir()
{
    static QTemporaryDir dir;
    return dir;
}

inline void FuzzStartQt()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "qt.qpa.*=false");
    static QApplication* app = nullptr;
    if (!app) {
        app = new QApplication(argc, argv);
        qputenv("XDG_CONFIG_HOME", FuzzTempDir().path().toLocal8Bit());
    }
}

// libFuzzer calls this once before the first input: every target that
// includes this header runs with the headless application in place. Each
// target is a program of its own, so the one definition lives here.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzStartQt();
    return 0;
}
