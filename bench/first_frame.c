/* Starts a program and reports how long it took until its first window was
 * on screen and painted: the window has been mapped, and every sample point
 * of its area (centre and four points near the corners) has left the black
 * of the empty screen (the root window is painted black first, as what an
 * unpainted window shows is what lies below it). Run on an X server that has
 * no window manager (windows map where they ask, at 0,0).
 * Usage: first-frame [-v] COMMAND [ARGS...]
 * Prints the milliseconds from just before the program was started, then
 * the CPU milliseconds its threads had used by then (the scheduler's count,
 * which a busy machine disturbs far less than the elapsed time). */
#define _GNU_SOURCE
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#define GIVE_UP_MS 20000.0
#define POLL_US 500
#define SAMPLES 5

static double now_ms(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

static unsigned long screen_pixel(Display* dpy, int x, int y)
{
    XImage* image = XGetImage(dpy, DefaultRootWindow(dpy), x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image)
        return 0;
    unsigned long pixel = XGetPixel(image, 0, 0) & 0xFFFFFF;
    XDestroyImage(image);
    return pixel;
}

/* CPU time used so far by all threads of a process, from the scheduler. */
static double cpu_ms(pid_t pid)
{
    char path[64];
    snprintf(path, sizeof path, "/proc/%d/task", (int)pid);
    DIR* tasks = opendir(path);
    if (!tasks)
        return 0;
    double total_ns = 0;
    struct dirent* task;
    while ((task = readdir(tasks))) {
        if (task->d_name[0] == '.')
            continue;
        char stat_path[400];
        snprintf(stat_path, sizeof stat_path, "%s/%s/schedstat", path, task->d_name);
        FILE* f = fopen(stat_path, "r");
        unsigned long long ns = 0;
        if (f && fscanf(f, "%llu", &ns) == 1)
            total_ns += (double)ns;
        if (f)
            fclose(f);
    }
    closedir(tasks);
    return total_ns / 1e6;
}

/* Sample points of a mapped window, in screen coordinates. */
static void sample_points(Display* dpy, Window window, int xs[SAMPLES], int ys[SAMPLES])
{
    XWindowAttributes attr;
    XGetWindowAttributes(dpy, window, &attr);
    const int x = attr.x, y = attr.y, w = attr.width, h = attr.height;
    const int fx[SAMPLES] = {50, 10, 90, 10, 90}, fy[SAMPLES] = {50, 10, 10, 90, 90};
    const int screen_w = DisplayWidth(dpy, DefaultScreen(dpy)), screen_h = DisplayHeight(dpy, DefaultScreen(dpy));
    for (int i = 0; i < SAMPLES; ++i) { /* on the screen, where the window is visible */
        xs[i] = x + w * fx[i] / 100;
        ys[i] = y + h * fy[i] / 100;
        xs[i] = xs[i] < 0 ? 0 : xs[i] >= screen_w ? screen_w - 1 : xs[i];
        ys[i] = ys[i] < 0 ? 0 : ys[i] >= screen_h ? screen_h - 1 : ys[i];
    }
}

static int all_painted(Display* dpy, const int xs[SAMPLES], const int ys[SAMPLES], unsigned long seen[SAMPLES])
{
    int painted = 1;
    for (int i = 0; i < SAMPLES; ++i) {
        seen[i] = screen_pixel(dpy, xs[i], ys[i]);
        painted = painted && seen[i] != 0;
    }
    return painted;
}

/* The first top-level window to be mapped, or None while there is none. */
static Window mapped_window(Display* dpy)
{
    while (XPending(dpy)) {
        XEvent event;
        XNextEvent(dpy, &event);
        if (event.type == MapNotify && !event.xmap.override_redirect)
            return event.xmap.window;
    }
    return None;
}

static void stop(pid_t child)
{
    kill(child, SIGTERM);
    waitpid(child, NULL, 0);
}

int main(int argc, char** argv)
{
    int verbose = argc > 1 && strcmp(argv[1], "-v") == 0;
    char** command = argv + 1 + verbose;
    if (!*command) {
        fprintf(stderr, "usage: %s [-v] COMMAND [ARGS...]\n", argv[0]);
        return 2;
    }
    Display* dpy = XOpenDisplay(NULL);
    if (!dpy) {
        fprintf(stderr, "first-frame: no display\n");
        return 2;
    }
    const Window root = DefaultRootWindow(dpy);
    XSetWindowBackground(dpy, root, BlackPixel(dpy, DefaultScreen(dpy)));
    XClearWindow(dpy, root);
    XSelectInput(dpy, root, SubstructureNotifyMask);
    XSync(dpy, False);

    const double start = now_ms();
    pid_t child = fork();
    if (child == 0) {
        const int null_fd = open("/dev/null", O_WRONLY);
        dup2(null_fd, STDOUT_FILENO);
        dup2(null_fd, STDERR_FILENO);
        execvp(command[0], command);
        _exit(127);
    }

    Window window = None;
    int xs[SAMPLES], ys[SAMPLES];
    unsigned long seen[SAMPLES];
    double mapped_at = 0;
    while (now_ms() - start < GIVE_UP_MS) {
        if (window == None && (window = mapped_window(dpy)) != None) {
            mapped_at = now_ms() - start;
            sample_points(dpy, window, xs, ys);
        }
        if (window != None && all_painted(dpy, xs, ys, seen)) {
            const double painted_at = now_ms() - start;
            printf("%.1f %.1f\n", painted_at, cpu_ms(child));
            if (verbose) {
                fprintf(stderr, "mapped at %.1f ms, painted at %.1f ms; samples:", mapped_at, painted_at);
                for (int i = 0; i < SAMPLES; ++i)
                    fprintf(stderr, " %06lx", seen[i]);
                usleep(1000 * 1000);
                all_painted(dpy, xs, ys, seen);
                fprintf(stderr, "; one second later:");
                for (int i = 0; i < SAMPLES; ++i)
                    fprintf(stderr, " %06lx", seen[i]);
                fprintf(stderr, "\n");
            }
            stop(child);
            return 0;
        }
        usleep(POLL_US);
    }
    fprintf(stderr, "first-frame: no painted window within %.0f ms\n", GIVE_UP_MS);
    stop(child);
    return 1;
}
