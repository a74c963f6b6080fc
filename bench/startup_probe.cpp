// Launches one program and watches the X server for its first top-level map,
// so launch-to-window time is seen from outside without changing the program.
// After the map it lets the program run a fixed moment (painting, settling),
// ends it and reports the child's peak resident size from the kernel.
//
//   tagswap_startup_probe [--linger-ms N] [--timeout-ms N] -- program [args...]
//
// Prints one line: "map_ms=<float> cpu_ms=<float> maxrss_kib=<int>
// image_plugins=<names|-> image_plugins_later=<names|->". cpu_ms is the processor time all the
// program's threads had used when the map was seen; unlike wall time it hardly moves when other
// work shares the machine, so it tells a real difference from a noisy run. image_plugins lists the
// Qt image format plugins the program had mapped at that moment ("-": none), image_plugins_later
// those it had when it was ended. Exits non-zero, with a reason on stderr, when the program never
// maps a window or dies first.

#include <xcb/xcb.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <memory>
#include <set>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

double nowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

struct Options {
    int lingerMs = 200;
    int timeoutMs = 30000;
    char **program = nullptr;
};

bool parseOptions(int argc, char **argv, Options &options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") {
            if (i + 1 >= argc)
                return false;
            options.program = argv + i + 1;
            return true;
        }
        if ((arg == "--linger-ms" || arg == "--timeout-ms") && i + 1 < argc) {
            const int value = std::atoi(argv[++i]);
            (arg == "--linger-ms" ? options.lingerMs : options.timeoutMs) = value;
            continue;
        }
        return false;
    }
    return false;
}

void sleepMs(int ms)
{
    timespec ts{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

// Run time of every thread of the process, from the scheduler's own account
// (nanoseconds); -1 where the kernel does not keep it.
double cpuMs(pid_t pid)
{
    const std::string taskDir = "/proc/" + std::to_string(pid) + "/task";
    DIR *dir = opendir(taskDir.c_str());
    if (!dir)
        return -1;
    double total = 0;
    bool any = false;
    while (dirent *entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        const std::string path = taskDir + "/" + entry->d_name + "/schedstat";
        if (FILE *file = std::fopen(path.c_str(), "r")) {
            unsigned long long runNs = 0;
            if (std::fscanf(file, "%llu", &runNs) == 1) {
                total += static_cast<double>(runNs) / 1e6;
                any = true;
            }
            std::fclose(file);
        }
    }
    closedir(dir);
    return any ? total : -1;
}

// The image format plugins (Qt's imageformats folder) mapped into the process, by
// file name, joined by commas; "-" for none.
std::string imagePlugins(pid_t pid)
{
    const std::string path = "/proc/" + std::to_string(pid) + "/maps";
    FILE *maps = std::fopen(path.c_str(), "r");
    if (!maps)
        return "?";
    std::set<std::string> names;
    char line[4096];
    while (std::fgets(line, sizeof line, maps)) {
        const char *folder = std::strstr(line, "/imageformats/");
        if (!folder)
            continue;
        std::string name = folder + std::strlen("/imageformats/");
        name.erase(name.find_last_not_of("\n") + 1);
        names.insert(name);
    }
    std::fclose(maps);
    std::string joined;
    for (const std::string &name : names)
        joined += (joined.empty() ? "" : ",") + name;
    return joined.empty() ? "-" : joined;
}

// Ends the child and returns its peak resident size in KiB, or -1.
long endChild(pid_t pid)
{
    kill(pid, SIGTERM);
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return usage.ru_maxrss;
}

struct Disconnect {
    void operator()(xcb_connection_t *c) const { xcb_disconnect(c); }
};

} // namespace

int main(int argc, char **argv)
{
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: %s [--linger-ms N] [--timeout-ms N] -- program [args...]\n",
                     argv[0]);
        return 2;
    }

    int screenNumber = 0;
    std::unique_ptr<xcb_connection_t, Disconnect> conn(xcb_connect(nullptr, &screenNumber));
    if (xcb_connection_has_error(conn.get())) {
        std::fprintf(stderr, "cannot connect to the X server (DISPLAY)\n");
        return 1;
    }
    // The child must not inherit our connection.
    const int xfd = xcb_get_file_descriptor(conn.get());
    fcntl(xfd, F_SETFD, fcntl(xfd, F_GETFD) | FD_CLOEXEC);

    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(conn.get()));
    for (int i = 0; i < screenNumber && it.rem; ++i)
        xcb_screen_next(&it);
    const xcb_window_t root = it.data->root;

    // Checked, so the selection is in force before the child can map anything.
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    if (xcb_generic_error_t *error = xcb_request_check(
            conn.get(),
            xcb_change_window_attributes_checked(conn.get(), root, XCB_CW_EVENT_MASK, &mask))) {
        std::fprintf(stderr, "cannot watch the root window (X error %d)\n", error->error_code);
        std::free(error);
        return 1;
    }

    const double start = nowMs();
    const pid_t pid = fork();
    if (pid < 0) {
        std::perror("fork");
        return 1;
    }
    if (pid == 0) {
        execvp(options.program[0], options.program);
        std::perror("exec");
        _exit(127);
    }

    double mapped = -1;
    double cpu = -1;
    std::string plugins = "?";
    while (mapped < 0) {
        while (xcb_generic_event_t *event = xcb_poll_for_event(conn.get())) {
            const bool isMap = (event->response_type & 0x7f) == XCB_MAP_NOTIFY;
            if (isMap) {
                const auto *map = reinterpret_cast<xcb_map_notify_event_t *>(event);
                // Menus and tooltips bypass the window manager; the main window does not.
                if (map->event == root && !map->override_redirect) {
                    mapped = nowMs();
                    cpu = cpuMs(pid);
                    plugins = imagePlugins(pid);
                }
            }
            std::free(event);
            if (mapped >= 0)
                break;
        }
        if (mapped >= 0)
            break;
        if (xcb_connection_has_error(conn.get())) {
            std::fprintf(stderr, "lost the X server\n");
            endChild(pid);
            return 1;
        }
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            std::fprintf(stderr, "program ended before mapping a window (status %d)\n", status);
            return 1;
        }
        if (nowMs() - start > options.timeoutMs) {
            std::fprintf(stderr, "no window mapped within %d ms\n", options.timeoutMs);
            endChild(pid);
            return 1;
        }
        pollfd pfd{xfd, POLLIN, 0};
        poll(&pfd, 1, 10);
    }

    sleepMs(options.lingerMs);
    const std::string pluginsLater = imagePlugins(pid);
    const long maxrss = endChild(pid);
    if (maxrss < 0) {
        std::perror("wait4");
        return 1;
    }
    std::printf("map_ms=%.3f cpu_ms=%.3f maxrss_kib=%ld image_plugins=%s image_plugins_later=%s\n",
                mapped - start, cpu, maxrss, plugins.c_str(), pluginsLater.c_str());
    return 0;
}
