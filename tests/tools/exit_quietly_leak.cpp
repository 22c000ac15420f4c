// Built with the address sanitizer: ExitQuietly leaves with _Exit, which
// skips the leak check at exit, so it must run the check itself. A child that
// leaks must fail through it; a clean child keeps its own exit status.
#include "app/ExitQuietly.h"

#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>

namespace {

void* volatile kept = nullptr; // keeps the compiler from dropping the allocation

int exitStatusOf(bool leak, int status) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (leak) kept = new char[100];
        kept = nullptr;
        ExitQuietly(status);
    }
    int how = 0;
    if (pid < 0 || ::waitpid(pid, &how, 0) != pid || !WIFEXITED(how)) return -1;
    return WEXITSTATUS(how);
}

} // namespace

int main() {
    const int leaking = exitStatusOf(true, 0);
    const int clean = exitStatusOf(false, 7);
    std::printf("leaking child exited with %d (want not 0), clean child with %d (want 7)\n",
                leaking, clean);
    return leaking != 0 && clean == 7 ? 0 : 1;
}
