/* quarl_xlatency: how long after a command a trace peak shows in one column of a window.
 *
 *   quarl_xlatency WINDOW_ID COLUMN TOP BOTTOM TIMEOUT_MS -- COMMAND [ARG...]
 *
 * Checks that rows TOP … BOTTOM − 1 of the columns around COLUMN hold no peak yet, runs
 * COMMAND (which switches a tone on) and, from the moment it has returned, reads that strip of
 * the window's pixels every 2 ms until PEAK_PIXELS more of them than before are the trace's
 * blue (0, 0, 255): a line rising from the base line to a peak. A strip, not the one column: a peak
 * far above the picture is drawn as a steep line that leaves the top of the picture several columns
 * before its point. Prints the milliseconds from the command's return to the first such picture.
 * Exit status: 0 measured, 1 no peak within the timeout, 2 bad arguments or no display, 3 a peak
 * was there before.
 */
#define _POSIX_C_SOURCE 200809L /* clock_gettime, nanosleep under -std=c11 */

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

enum { HALF_STRIP = 16, PEAK_PIXELS = 24, POLL_INTERVAL_US = 2000 };

static double now_ms(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec * 1e3 + (double)ts.tv_nsec / 1e6;
}

/* Blue pixels of the trace in the strip; -1 when the window cannot be read. */
static int blue_pixels(Display* dpy, Window w, int column, int top, int bottom) {
    const int left = column > HALF_STRIP ? column - HALF_STRIP : 0;
    const unsigned width = (unsigned)(column + HALF_STRIP + 1 - left);
    XImage* image =
        XGetImage(dpy, w, left, top, width, (unsigned)(bottom - top), AllPlanes, ZPixmap);
    if (!image) return -1;
    int count = 0;
    for (int y = 0; y < bottom - top; ++y)
        for (int x = 0; x < (int)width; ++x)
            if ((XGetPixel(image, x, y) & 0xFFFFFF) == 0x0000FF) ++count;
    XDestroyImage(image);
    return count;
}

static int run(char** command) {
    pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        execvp(command[0], command);
        _exit(127);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) < 0) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int main(int argc, char** argv) {
    if (argc < 8 || strcmp(argv[6], "--") != 0) {
        fprintf(stderr, "usage: %s WINDOW_ID COLUMN TOP BOTTOM TIMEOUT_MS -- COMMAND [ARG...]\n",
                argv[0]);
        return 2;
    }
    const Window w = (Window)strtoul(argv[1], NULL, 0);
    const int column = atoi(argv[2]), top = atoi(argv[3]), bottom = atoi(argv[4]);
    const double timeout_ms = atof(argv[5]);
    if (w == 0 || column < 0 || top < 0 || bottom <= top) return 2;
    Display* dpy = XOpenDisplay(NULL);
    if (!dpy) {
        fprintf(stderr, "quarl_xlatency: cannot open the display\n");
        return 2;
    }
    int before = blue_pixels(dpy, w, column, top, bottom);
    if (before < 0) {
        fprintf(stderr, "quarl_xlatency: cannot read window 0x%lx\n", (unsigned long)w);
        return 2;
    }
    if (before >= (bottom - top) / 2) {
        fprintf(stderr, "quarl_xlatency: column %d shows a peak already\n", column);
        return 3;
    }
    if (run(argv + 7) != 0) {
        fprintf(stderr, "quarl_xlatency: the command failed\n");
        return 2;
    }
    const double start = now_ms();
    const struct timespec pause = {0, POLL_INTERVAL_US * 1000L};
    while (now_ms() - start < timeout_ms) {
        if (blue_pixels(dpy, w, column, top, bottom) >= before + PEAK_PIXELS) {
            printf("%.1f\n", now_ms() - start);
            XCloseDisplay(dpy);
            return 0;
        }
        nanosleep(&pause, NULL);
    }
    fprintf(stderr, "quarl_xlatency: no peak in column %d within %.0f ms\n", column, timeout_ms);
    XCloseDisplay(dpy);
    return 1;
}
