#pragma once
// Ending requests that arrive as signals (SIGTERM from a session that ends or
// from `kill`, SIGHUP when the terminal goes, SIGINT from Ctrl+C) become a Qt
// signal on the event loop, so that the program can save and quit in an
// orderly way instead of dying where it stands. The handler only writes a
// byte to a pipe; a QSocketNotifier on the other end reports it.
//
// One watch at a time; the signals' earlier handlers come back when it goes.
// A signal that was ignored when the watch was made (nohup) stays ignored.
#include <QObject>

class QSocketNotifier;

class TTerminationWatch : public QObject
{
    Q_OBJECT

public:
    explicit TTerminationWatch(QObject* parent = nullptr);
    ~TTerminationWatch() override;

    // Whether the handlers are in place.
    bool Active() const { return FNotifier != nullptr; }

signals:
    // signalNumber: SIGTERM, SIGHUP or SIGINT. Once per signal received.
    void TerminationRequested(int signalNumber);

private:
    void Drain();

    QSocketNotifier* FNotifier = nullptr;
};
