/* quarl_xclose: closes a top-level X11 window by its exact title, the way a window manager's
 * close button does, so that the program's close handlers run (xdotool's windowclose and
 * windowkill destroy the window instead and skip them).
 *
 *   quarl_xclose "<title>" [timeout_seconds]          wait for the window, ask it to close
 *   quarl_xclose --wait "<title>" [timeout_seconds]   only wait for it and print its id
 *
 * Waits up to the timeout (default 10 s) for a viewable window whose WM_NAME or _NET_WM_NAME
 * equals the title. Exit status: 0 done, 1 no such window in time, 2 bad arguments or no
 * display.
 */
#define _POSIX_C_SOURCE 200809L /* clock_gettime, nanosleep under -std=c11 */

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

enum { POLL_INTERVAL_MS = 100, MAX_DEPTH = 4 };
static const double DEFAULT_TIMEOUT_S = 10.0;

static Atom net_wm_name;
static Atom utf8_string;

/* Windows come and go while we walk the tree; a BadWindow on one of them is no fault. */
static int ignore_x_errors(Display* dpy, XErrorEvent* event) {
    (void)dpy;
    (void)event;
    return 0;
}

static int has_title(Display* dpy, Window w, const char* title) {
    int match = 0;
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = NULL;
    if (XGetWindowProperty(dpy, w, net_wm_name, 0, 4096, False, utf8_string, &type, &format, &count,
                           &after, &data) == Success &&
        data) {
        match = type == utf8_string && format == 8 && count == strlen(title) &&
                memcmp(data, title, count) == 0;
        XFree(data);
        if (match) return 1;
    }
    XTextProperty text;
    if (XGetWMName(dpy, w, &text) && text.value) {
        match = text.format == 8 && text.nitems == strlen(title) &&
                memcmp(text.value, title, text.nitems) == 0;
        XFree(text.value);
    }
    return match;
}

static int is_viewable(Display* dpy, Window w) {
    XWindowAttributes attributes;
    return XGetWindowAttributes(dpy, w, &attributes) && attributes.map_state == IsViewable;
}

/* Depth-first below `parent`: without a window manager the program's windows are children of
 * the root, with a reparenting one they sit a level or two further down. */
static Window find_window(Display* dpy, Window parent, const char* title, int depth) {
    Window root, up, *children = NULL;
    unsigned int count = 0;
    Window found = None;
    if (!XQueryTree(dpy, parent, &root, &up, &children, &count)) return None;
    for (unsigned int i = 0; i < count && found == None; ++i) {
        if (has_title(dpy, children[i], title) && is_viewable(dpy, children[i]))
            found = children[i];
        else if (depth < MAX_DEPTH)
            found = find_window(dpy, children[i], title, depth + 1);
    }
    if (children) XFree(children);
    return found;
}

static double now_s(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec / 1e9;
}

static Window wait_for_window(Display* dpy, const char* title, double timeout_s) {
    const double deadline = now_s() + timeout_s;
    const struct timespec pause = {0, POLL_INTERVAL_MS * 1000000L};
    for (;;) {
        Window w = find_window(dpy, DefaultRootWindow(dpy), title, 0);
        if (w != None || now_s() >= deadline) return w;
        nanosleep(&pause, NULL);
    }
}

static void send_delete_window(Display* dpy, Window w) {
    XEvent event;
    memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.window = w;
    event.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)XInternAtom(dpy, "WM_DELETE_WINDOW", False);
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(dpy, w, False, NoEventMask, &event);
    XSync(dpy, False);
}

static int usage(const char* program) {
    fprintf(stderr, "usage: %s [--wait] \"<window title>\" [timeout_seconds]\n", program);
    return 2;
}

int main(int argc, char** argv) {
    int arg = 1;
    int only_wait = 0;
    if (arg < argc && strcmp(argv[arg], "--wait") == 0) {
        only_wait = 1;
        ++arg;
    }
    if (arg >= argc || argc - arg > 2) return usage(argv[0]);
    const char* title = argv[arg];
    double timeout_s = DEFAULT_TIMEOUT_S;
    if (arg + 1 < argc) {
        char* end;
        errno = 0;
        timeout_s = strtod(argv[arg + 1], &end);
        if (errno || end == argv[arg + 1] || *end || !(timeout_s >= 0)) return usage(argv[0]);
    }

    Display* dpy = XOpenDisplay(NULL);
    if (!dpy) {
        const char* name = getenv("DISPLAY");
        fprintf(stderr, "quarl_xclose: cannot open display \"%s\"\n", name ? name : "");
        return 2;
    }
    XSetErrorHandler(ignore_x_errors);
    net_wm_name = XInternAtom(dpy, "_NET_WM_NAME", False);
    utf8_string = XInternAtom(dpy, "UTF8_STRING", False);

    Window w = wait_for_window(dpy, title, timeout_s);
    if (w == None) {
        fprintf(stderr, "quarl_xclose: no window titled \"%s\" appeared within %g s\n", title,
                timeout_s);
        XCloseDisplay(dpy);
        return 1;
    }
    if (only_wait)
        printf("0x%lx\n", (unsigned long)w);
    else
        send_delete_window(dpy, w);
    XCloseDisplay(dpy);
    return 0;
}
