// Times a program from its start to the moment a top-level window of a given size is
// mapped on the X display, then ends it.
//   map_probe WIDTH HEIGHT TIMEOUT_MS PROGRAM [ARGS...]
// Prints the milliseconds of wall time and of CPU time the program's threads used until
// then (which a busy machine does not inflate); exits 1 when no such window appeared.

#include <xcb/xcb.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <memory>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

bool HasSize(xcb_connection_t* x, xcb_window_t window, int width, int height)
{
    std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> geometry(
        xcb_get_geometry_reply(x, xcb_get_geometry(x, window), nullptr), &std::free);
    return geometry && geometry->width == width && geometry->height == height;
}

// Nanoseconds the process's threads have run on a CPU, from the scheduler's statistics.
double CpuMilliseconds(pid_t pid)
{
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR* dir = opendir(tasks.c_str());
    if (!dir)
        return -1;
    double total = 0;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        std::ifstream stat(tasks + "/" + entry->d_name + "/schedstat");
        double onCpu = 0;
        if (stat >> onCpu)
            total += onCpu;
    }
    closedir(dir);
    return total / 1e6;
}

// Asks the program to end as a logout would, and makes sure it is gone.
void Stop(pid_t child)
{
    kill(child, SIGTERM);
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (Clock::now() < deadline) {
        if (waitpid(child, nullptr, WNOHANG) == child)
            return;
        usleep(10000);
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: map_probe WIDTH HEIGHT TIMEOUT_MS PROGRAM [ARGS...]\n");
        return 2;
    }
    const int width = std::atoi(argv[1]);
    const int height = std::atoi(argv[2]);
    const auto timeout = std::chrono::milliseconds(std::atoi(argv[3]));

    xcb_connection_t* x = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(x)) {
        std::fprintf(stderr, "map_probe: cannot open the display\n");
        return 2;
    }
    // Every top-level window's map arrives as a substructure event of the root window.
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_request_check(x, xcb_change_window_attributes_checked(x, root, XCB_CW_EVENT_MASK, &mask));

    const auto start = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        // The program goes with the probe, whatever ends the probe.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        execvp(argv[4], argv + 4);
        _exit(127);
    }
    if (child < 0)
        return 2;

    int result = 1;
    pollfd fd{xcb_get_file_descriptor(x), POLLIN, 0};
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(start + timeout - Clock::now());
        if (left.count() <= 0)
            break;
        poll(&fd, 1, static_cast<int>(left.count()));
        bool found = false;
        while (xcb_generic_event_t* event = xcb_poll_for_event(x)) {
            const auto at = Clock::now();
            if ((event->response_type & 0x7F) == XCB_MAP_NOTIFY && !found) {
                const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
                if (HasSize(x, map->window, width, height)) {
                    std::printf("%.1f %.1f\n",
                                std::chrono::duration<double, std::milli>(at - start).count(),
                                CpuMilliseconds(child));
                    found = true;
                }
            }
            std::free(event);
        }
        if (found) {
            result = 0;
            break;
        }
        if (xcb_connection_has_error(x) || waitpid(child, nullptr, WNOHANG) == child) {
            xcb_disconnect(x);
            std::fprintf(stderr, "map_probe: the program ended without the window\n");
            return 1;
        }
    }
    Stop(child);
    xcb_disconnect(x);
    if (result != 0)
        std::fprintf(stderr, "map_probe: no %dx%d window within the time\n", width, height);
    return result;
}
