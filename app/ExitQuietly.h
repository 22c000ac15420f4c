// Leaving the process once everything of ours is closed and saved.
#pragma once

#include <cstdio>
#include <cstdlib>

// The leak checker's entry point, present only in a build that links one
// (-fsanitize=address or -fsanitize=leak); declared weak so that every other
// build links without it.
extern "C" void __lsan_do_leak_check() __attribute__((weak));

// Qt's PulseAudio engine is torn down with the application object, and that
// teardown races with its own mainloop thread: now and then PulseAudio aborts
// in it ("Assertion 'pd' failed at pulsecore/pdispatch.c"), turning an
// orderly close into a crash report and a failed exit status. By the time we
// get here the device is closed and the settings are written, so leave
// without running the library's teardown.
[[noreturn]] inline void ExitQuietly(int status) {
    std::fflush(nullptr);
    // _Exit also skips the leak check that a sanitizer build runs at exit:
    // run it now, so that our own leaks are still reported (and fail the run).
    if (__lsan_do_leak_check != nullptr) __lsan_do_leak_check();
    std::_Exit(status);
}
