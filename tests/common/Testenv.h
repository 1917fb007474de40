#pragma once
// A private settings folder for one test program: XDG_CONFIG_HOME points at a
// fresh temporary folder for as long as the object lives, so no test ever
// reads or writes the real user's settings.
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <QtGlobal>

class TTestConfigHome
{
public:
    TTestConfigHome()
    {
        FOld = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", FDir.path().toLocal8Bit());
    }
    ~TTestConfigHome() { qputenv("XDG_CONFIG_HOME", FOld); }
    TTestConfigHome(const TTestConfigHome&) = delete;
    TTestConfigHome& operator=(const TTestConfigHome&) = delete;

    QString Path() const { return FDir.path(); }

private:
    QTemporaryDir FDir;
    QByteArray FOld;
};
