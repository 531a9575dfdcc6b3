// Starts a program and prints, in milliseconds, how long it took until one of its windows was viewable,
// and the CPU time the program had used by then (which shared machines disturb far less).
// The X server tells us of every new top-level window; between events the windows of the program are
// polled every 2 ms, so the figure is exact to a few milliseconds (xdotool --sync polls every 0.5 s).
//
// usage: vurk_bench_mapwait [--timeout SECONDS] [--keep PIDFILE] [--painted] -- PROGRAM [ARGS...]
// Without --keep the program is stopped (TERM, then KILL) once its window is up.
// With --painted it goes on to a third figure: when the window first shows text. Its contents are
// read every millisecond until they hold at least three colours (text is drawn antialiased; an
// unpainted window, or the root's weave showing through, has one or two).

#include <xcb/xcb.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fstream>
#include <map>
#include <poll.h>
#include <set>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

double monotonicMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

xcb_atom_t internAtom(xcb_connection_t *c, const char *name)
{
    xcb_intern_atom_reply_t *reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

// The window's _NET_WM_PID, 0 while it has none.
pid_t windowPid(xcb_connection_t *c, xcb_window_t w, xcb_atom_t pidAtom)
{
    xcb_get_property_reply_t *reply =
        xcb_get_property_reply(c, xcb_get_property(c, 0, w, pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr);
    pid_t pid = 0;
    if (reply && reply->format == 32 && xcb_get_property_value_length(reply) >= 4)
        pid = pid_t(*static_cast<uint32_t *>(xcb_get_property_value(reply)));
    std::free(reply);
    return pid;
}

bool isViewable(xcb_connection_t *c, xcb_window_t w)
{
    xcb_get_window_attributes_reply_t *reply =
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, w), nullptr);
    const bool viewable = reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(reply);
    return viewable;
}

bool showsText(xcb_connection_t *c, xcb_window_t w)
{
    xcb_get_geometry_reply_t *geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, w), nullptr);
    if (!geometry)
        return false;
    const uint16_t width = geometry->width;
    const uint16_t height = geometry->height;
    const uint8_t depth = geometry->depth;
    std::free(geometry);
    xcb_get_image_reply_t *image = xcb_get_image_reply(
        c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, w, 0, 0, width, height, ~0u), nullptr);
    if (!image)
        return false;
    bool text = false;
    if (depth >= 24) {
        const auto *pixels = reinterpret_cast<const uint32_t *>(xcb_get_image_data(image));
        const int count = xcb_get_image_data_length(image) / 4;
        std::set<uint32_t> colours;
        for (int i = 0; i < count && colours.size() < 3; ++i)
            colours.insert(pixels[i] & 0xffffff);
        text = colours.size() >= 3;
    }
    std::free(image);
    return text;
}

// CPU time of all the process's threads so far, from the scheduler's account.
double cpuMs(pid_t pid)
{
    const std::string base = "/proc/" + std::to_string(pid) + "/task";
    DIR *dir = opendir(base.c_str());
    if (!dir)
        return -1;
    double total = 0;
    while (dirent *entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        std::ifstream stat(base + "/" + entry->d_name + "/schedstat");
        double ns = 0;
        if (stat >> ns)
            total += ns / 1e6;
    }
    closedir(dir);
    return total;
}

void stopChild(pid_t child)
{
    kill(child, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (waitpid(child, nullptr, WNOHANG) == child)
            return;
        usleep(50 * 1000);
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
}

} // namespace

int main(int argc, char *argv[])
{
    double timeoutMs = 30000;
    const char *keepFile = nullptr;
    bool painted = false;
    int first = 1;
    for (; first < argc; ++first) {
        if (std::strcmp(argv[first], "--timeout") == 0 && first + 1 < argc)
            timeoutMs = std::atof(argv[++first]) * 1000;
        else if (std::strcmp(argv[first], "--keep") == 0 && first + 1 < argc)
            keepFile = argv[++first];
        else if (std::strcmp(argv[first], "--painted") == 0)
            painted = true;
        else if (std::strcmp(argv[first], "--") == 0) {
            ++first;
            break;
        } else
            break;
    }
    if (first >= argc) {
        std::fprintf(
            stderr,
            "usage: vurk_bench_mapwait [--timeout S] [--keep PIDFILE] [--painted] -- PROGRAM [ARGS...]\n");
        return 2;
    }

    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "mapwait: no X display\n");
        return 2;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const xcb_atom_t pidAtom = internAtom(c, "_NET_WM_PID");
    // Every window created on the root from now on reaches us as CreateNotify.
    const uint32_t rootMask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &rootMask);
    xcb_flush(c);

    const double start = monotonicMs();
    const pid_t child = fork();
    if (child < 0)
        return 2;
    if (child == 0) {
        execvp(argv[first], argv + first);
        std::fprintf(stderr, "mapwait: cannot run %s: %s\n", argv[first], std::strerror(errno));
        _exit(127);
    }

    // Windows seen so far: 0 = pid not known yet, -1 = someone else's, 1 = the child's.
    std::map<xcb_window_t, int> windows;
    const int fd = xcb_get_file_descriptor(c);
    double mappedAt = -1;
    xcb_window_t shown = XCB_WINDOW_NONE;
    while (mappedAt < 0) {
        const double now = monotonicMs();
        if (now - start > timeoutMs || xcb_connection_has_error(c))
            break;
        if (waitpid(child, nullptr, WNOHANG) == child) {
            std::fprintf(stderr, "mapwait: %s ended before showing a window\n", argv[first]);
            return 1;
        }
        pollfd p{fd, POLLIN, 0};
        poll(&p, 1, 2);
        while (xcb_generic_event_t *event = xcb_poll_for_event(c)) {
            if ((event->response_type & 0x7f) == XCB_CREATE_NOTIFY) {
                const auto *created = reinterpret_cast<xcb_create_notify_event_t *>(event);
                windows.emplace(created->window, 0);
            }
            std::free(event);
        }
        for (auto& [window, owner] : windows) {
            if (owner == 0) {
                const pid_t pid = windowPid(c, window, pidAtom);
                if (pid != 0)
                    owner = pid == child ? 1 : -1;
            }
            if (owner == 1 && isViewable(c, window)) {
                mappedAt = monotonicMs();
                shown = window;
                break;
            }
        }
    }
    if (mappedAt < 0) {
        std::fprintf(stderr, "mapwait: no window of %s became viewable\n", argv[first]);
        stopChild(child);
        return 1;
    }
    const double mappedCpu = cpuMs(child);
    double paintedAt = -1;
    while (painted && paintedAt < 0 && monotonicMs() - start < timeoutMs && !xcb_connection_has_error(c)) {
        if (showsText(c, shown))
            paintedAt = monotonicMs();
        else
            usleep(1000);
    }
    if (painted && paintedAt < 0) {
        std::fprintf(stderr, "mapwait: the window of %s showed no text\n", argv[first]);
        stopChild(child);
        return 1;
    }
    if (painted)
        std::printf("%.2f %.2f %.2f\n", mappedAt - start, mappedCpu, paintedAt - start);
    else
        std::printf("%.2f %.2f\n", mappedAt - start, mappedCpu);
    std::fflush(stdout);
    xcb_disconnect(c);
    if (keepFile) {
        if (FILE *f = std::fopen(keepFile, "w")) {
            std::fprintf(f, "%d\n", int(child));
            std::fclose(f);
        }
        return 0;
    }
    stopChild(child);
    return 0;
}
