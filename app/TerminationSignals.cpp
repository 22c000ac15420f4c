#include "app/TerminationSignals.h"

#include <QSocketNotifier>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

// Read by the handler; set before the handlers are installed and cleared
// after they are gone.
volatile std::sig_atomic_t wakeFd = -1;

extern "C" void onTerminationSignal(int) {
    // Only async-signal-safe calls here. The write cannot block (the eventfd
    // is non-blocking); should it fail, the counter is already non-zero.
    const int savedErrno = errno;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(wakeFd, &one, sizeof one);
    errno = savedErrno;
}

} // namespace

TerminationSignals::TerminationSignals() {
    fd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (fd_ < 0) {
        // Without it the signals keep their default action: the program
        // still ends, only without the close.
        std::perror("quarl: eventfd");
        return;
    }
    wakeFd = fd_;
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted system calls of other threads carry on.
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        sigaction(kSignals[i], nullptr, &previous_[i]);
        // A signal that the caller ignores stays ignored: `nohup quarl` must
        // outlive its terminal.
        if (previous_[i].sa_handler != SIG_IGN) sigaction(kSignals[i], &action, nullptr);
    }
}

TerminationSignals::~TerminationSignals() {
    notifier_.reset();
    if (fd_ < 0) return;
    for (std::size_t i = 0; i < std::size(kSignals); ++i)
        sigaction(kSignals[i], &previous_[i], nullptr);
    wakeFd = -1;
    close(fd_);
}

void TerminationSignals::Watch(QObject* context, std::function<void()> onSignal) {
    if (fd_ < 0) return;
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, context,
                     [fd = fd_, onSignal = std::move(onSignal)] {
                         std::uint64_t count = 0;
                         // Empties the counter: one call for however many came.
                         if (read(fd, &count, sizeof count) == sizeof count) onSignal();
                     });
}
