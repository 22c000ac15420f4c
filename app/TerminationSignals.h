// SIGTERM (a session ending, `systemctl --user stop`), SIGINT (Ctrl-C) and
// SIGHUP (the terminal closed) turned into an ordinary event of the GUI
// thread, so that the program can close as the operator's close does
// instead of dying with the run's settings unsaved.
//
// A signal handler may run on any thread, in the middle of anything: all it
// does here is add one to an eventfd (errno kept as it was). A socket
// notifier on the GUI thread sees the eventfd become readable, empties it
// and calls the program back from the event loop.
#pragma once

#include <csignal>
#include <functional>
#include <iterator>
#include <memory>

class QObject;
class QSocketNotifier;

class TerminationSignals {
public:
    // Installs the handlers, except for a signal that is ignored already
    // (nohup ignores SIGHUP). Needs no event loop yet: a signal that comes
    // before Watch() is kept in the eventfd until then. One at a time.
    TerminationSignals();
    // The handlers that were there before come back.
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // Once the application object exists: `onSignal` runs on this (the GUI)
    // thread from its event loop, once for all the signals that arrived
    // since the last call. `context` ends the calls when it is destroyed.
    void Watch(QObject* context, std::function<void()> onSignal);

    static constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

private:
    int fd_ = -1;
    struct sigaction previous_[std::size(kSignals)];
    std::unique_ptr<QSocketNotifier> notifier_;
};
