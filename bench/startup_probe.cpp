// The start-up probe of bench/run.sh: starts a program on the X server of $DISPLAY and prints two
// times in milliseconds from the moment it is started: until its first top-level window is mapped,
// and until the first pixels are drawn into that window (its first paint). Then it ends the
// program (SIGTERM) and waits for it.
//
//     bench_startup_probe [--timeout SECONDS] PROGRAM [ARGUMENT...]
//     prints "<map ms> <paint ms>"; exit status 1 when the program ends or the timeout (20 s)
//     passes before both are seen
//
// It learns of the window from the server itself: it listens to the root window's substructure
// (creations and maps of top-level windows) and asks the DAMAGE extension about the drawing into
// every window created. So it costs the program nothing and adds no polling delay: the floor it
// measures is the start-up of the empty window itself. The server must be private to the run (no
// window manager, no other client mapping windows), as bench/run.sh's Xvfb is: the first top-level
// window mapped after the start is taken as the program's.
//
// The program's standard output goes to the probe's standard error, so that standard output holds
// the figures only.

#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

template <class Reply>
using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

template <class Reply>
ReplyPtr<Reply> own(Reply *reply)
{
    return ReplyPtr<Reply>(reply, &std::free);
}

int usage()
{
    std::fprintf(stderr, "usage: bench_startup_probe [--timeout SECONDS] PROGRAM [ARGUMENT...]\n");
    return 2;
}

// Connects to the server and listens to the creations and maps of top-level windows; returns
// DAMAGE's first event code, or -1 with a message when the server cannot be used.
int listenToRoot(xcb_connection_t *connection, xcb_window_t root)
{
    auto version = own(xcb_damage_query_version_reply(
        connection, xcb_damage_query_version(connection, 1, 1), nullptr));
    const xcb_query_extension_reply_t *damage = xcb_get_extension_data(connection, &xcb_damage_id);
    if (!version || !damage || !damage->present) {
        std::fprintf(stderr, "bench_startup_probe: the X server has no DAMAGE extension\n");
        return -1;
    }
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    auto error = own(xcb_request_check(
        connection,
        xcb_change_window_attributes_checked(connection, root, XCB_CW_EVENT_MASK, &mask)));
    if (error) {
        std::fprintf(stderr, "bench_startup_probe: cannot listen to the root window\n");
        return -1;
    }
    return damage->first_event;
}

pid_t start(char **argv)
{
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(STDERR_FILENO, STDOUT_FILENO);
        execvp(argv[0], argv);
        std::fprintf(stderr, "bench_startup_probe: cannot run %s: %s\n", argv[0],
                     std::strerror(errno));
        _exit(127);
    }
    return pid;
}

struct Times {
    double mapped = -1;
    double painted = -1;
    bool ended = false; // the program ended by itself (and has been waited for)
};

// Reads the server's events until the program's first window is mapped and drawn into, the
// program ends or `timeoutMs` pass.
Times watch(xcb_connection_t *connection, int damageEvent, pid_t pid, Clock::time_point started,
            double timeoutMs)
{
    Times times;
    xcb_window_t window = XCB_NONE;
    pollfd server{xcb_get_file_descriptor(connection), POLLIN, 0};
    while (times.painted < 0 && msSince(started) < timeoutMs) {
        while (xcb_generic_event_t *event = xcb_poll_for_event(connection)) {
            const auto type = static_cast<uint8_t>(event->response_type & 0x7f);
            if (type == XCB_CREATE_NOTIFY) {
                // Every new top-level window is watched from its creation, before it can be
                // mapped or drawn into; a window that cannot be drawn into (input only) answers
                // with an error, which is ignored.
                const auto *created = reinterpret_cast<xcb_create_notify_event_t *>(event);
                xcb_damage_create(connection, xcb_generate_id(connection), created->window,
                                  XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
                xcb_flush(connection);
            } else if (type == XCB_MAP_NOTIFY && window == XCB_NONE) {
                times.mapped = msSince(started);
                window = reinterpret_cast<xcb_map_notify_event_t *>(event)->window;
            } else if (type == damageEvent + XCB_DAMAGE_NOTIFY && window != XCB_NONE
                       && reinterpret_cast<xcb_damage_notify_event_t *>(event)->drawable
                           == window) {
                times.painted = msSince(started);
            }
            std::free(event);
        }
        times.ended = waitpid(pid, nullptr, WNOHANG) != 0;
        if (times.ended || xcb_connection_has_error(connection))
            break;
        poll(&server, 1, 100);
    }
    return times;
}

} // namespace

int main(int argc, char **argv)
{
    double timeoutMs = 20000;
    int first = 1;
    if (first + 1 < argc && std::string(argv[first]) == "--timeout") {
        timeoutMs = std::atof(argv[first + 1]) * 1000;
        first += 2;
    }
    if (first >= argc || argv[first][0] == '-')
        return usage();

    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "bench_startup_probe: cannot connect to the X server\n");
        return 1;
    }
    fcntl(xcb_get_file_descriptor(connection), F_SETFD, FD_CLOEXEC);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const int damageEvent = listenToRoot(connection, root);
    if (damageEvent < 0)
        return 1;

    const Clock::time_point started = Clock::now();
    const pid_t pid = start(argv + first);
    if (pid < 0) {
        std::perror("bench_startup_probe: fork");
        return 1;
    }
    const Times times = watch(connection, damageEvent, pid, started, timeoutMs);
    if (!times.ended) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    xcb_disconnect(connection);
    if (times.painted < 0) {
        std::fprintf(stderr, "bench_startup_probe: %s was not %s within %.0f s\n", argv[first],
                     times.mapped < 0 ? "mapped" : "drawn into", timeoutMs / 1000);
        return 1;
    }
    std::printf("%.1f %.1f\n", times.mapped, times.painted);
    return 0;
}
