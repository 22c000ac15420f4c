// Leaving the process once everything of ours is closed and saved.
#pragma once

#include <cstdio>
#include <cstdlib>

// Qt's PulseAudio engine is torn down with the application object, and that
// teardown races with its own mainloop thread: now and then PulseAudio aborts
// in it ("Assertion 'pd' failed at pulsecore/pdispatch.c"), turning an
// orderly close into a crash report and a failed exit status. By the time we
// get here the device is closed and the settings are written, so leave
// without running the library's teardown.
[[noreturn]] inline void ExitQuietly(int status) {
    std::fflush(nullptr);
    std::_Exit(status);
}
