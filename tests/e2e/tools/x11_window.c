/*
 * Finds and closes a program's window the way a window manager would.
 *
 *   x11_window wait PID [TIMEOUT_SECONDS]   print the id of the process's window,
 *                                           and its title on a second line
 *   x11_window close PID [TIMEOUT_SECONDS]  send it a WM_DELETE_WINDOW message
 *
 * Both wait until the process with the given pid maps a top-level window.
 * Exits 0 on success, 1 when no window appeared in time, 2 on bad arguments or
 * when the X display cannot be opened.
 */
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static Atom net_wm_pid;

static int window_pid(Display *display, Window window, unsigned long *pid)
{
    Atom type;
    int format;
    unsigned long count, remaining;
    unsigned char *data = NULL;
    int found = 0;
    if (XGetWindowProperty(
            display, window, net_wm_pid, 0, 1, False, XA_CARDINAL, &type, &format, &count, &remaining, &data)
            == Success
        && data && type == XA_CARDINAL && format == 32 && count == 1) {
        *pid = *(unsigned long *)data;
        found = 1;
    }
    if (data)
        XFree(data);
    return found;
}

/* The window's UTF-8 title (_NET_WM_NAME), as a window manager shows it. */
static void print_title(Display *display, Window window)
{
    Atom type;
    int format;
    unsigned long count, remaining;
    unsigned char *data = NULL;
    const Atom name = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    if (XGetWindowProperty(
            display, window, name, 0, 1024, False, utf8, &type, &format, &count, &remaining, &data)
            == Success
        && data && format == 8)
        printf("%.*s\n", (int)count, (const char *)data);
    else
        printf("\n");
    if (data)
        XFree(data);
}

/* Windows come and go while the tree is walked (Wine makes short-lived ones):
 * a window gone between listing and asking is no error, only not the one. */
static int ignore_vanished_window(Display *display, XErrorEvent *error)
{
    (void)display;
    if (error->error_code == BadWindow)
        return 0;
    fprintf(stderr, "x11_window: X error %d (request %d)\n", error->error_code, error->request_code);
    exit(2);
}

static Window find_window(Display *display, unsigned long pid)
{
    Window root_return, parent, *children = NULL, result = None;
    unsigned int count = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root_return, &parent, &children, &count))
        return None;
    for (unsigned int i = 0; i < count && result == None; ++i) {
        XWindowAttributes attributes;
        unsigned long owner;
        if (XGetWindowAttributes(display, children[i], &attributes) && attributes.map_state == IsViewable
            && window_pid(display, children[i], &owner) && owner == pid)
            result = children[i];
    }
    if (children)
        XFree(children);
    return result;
}

int main(int argc, char **argv)
{
    const int close_it = argc >= 2 && strcmp(argv[1], "close") == 0;
    if (argc < 3 || argc > 4 || (!close_it && strcmp(argv[1], "wait") != 0)) {
        fprintf(stderr, "usage: %s wait|close PID [TIMEOUT_SECONDS]\n", argv[0]);
        return 2;
    }
    char *end = NULL;
    errno = 0;
    const unsigned long pid = strtoul(argv[2], &end, 10);
    if (errno || !end || *end || pid == 0) {
        fprintf(stderr, "%s: '%s' is not a process id\n", argv[0], argv[2]);
        return 2;
    }
    long timeout = 20;
    if (argc == 4) {
        timeout = strtol(argv[3], &end, 10);
        if (!end || *end || timeout <= 0) {
            fprintf(stderr, "%s: '%s' is not a number of seconds\n", argv[0], argv[3]);
            return 2;
        }
    }

    Display *display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "%s: cannot open the X display\n", argv[0]);
        return 2;
    }
    net_wm_pid = XInternAtom(display, "_NET_WM_PID", False);
    XSetErrorHandler(ignore_vanished_window);

    const struct timespec pause = {0, 50L * 1000 * 1000};
    Window window = None;
    for (long waited_ms = 0; window == None && waited_ms < timeout * 1000; waited_ms += 50) {
        window = find_window(display, pid);
        if (window == None)
            nanosleep(&pause, NULL);
    }
    if (window == None) {
        fprintf(stderr, "%s: process %lu showed no window within %ld s\n", argv[0], pid, timeout);
        XCloseDisplay(display);
        return 1;
    }

    if (!close_it) {
        printf("%lu\n", (unsigned long)window);
        print_title(display, window);
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display, window, &attributes))
            printf("%dx%d\n", attributes.width, attributes.height);
        XCloseDisplay(display);
        return 0;
    }

    XEvent event = {0};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)XInternAtom(display, "WM_DELETE_WINDOW", False);
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    XCloseDisplay(display);
    return 0;
}
