#include "tests/install/child_run.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

bool screen_varied() {
    Display* d = XOpenDisplay(nullptr);
    if (!d) return false;
    Window root = DefaultRootWindow(d);
    XWindowAttributes a;
    XGetWindowAttributes(d, root, &a);
    XImage* img = XGetImage(d, root, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
    bool varied = false;
    if (img) {
        unsigned long first = XGetPixel(img, 0, 0);
        for (int y = 0; y < a.height && !varied; y += 3)
            for (int x = 0; x < a.width; x += 3)
                if (XGetPixel(img, x, y) != first) {
                    varied = true;
                    break;
                }
        XDestroyImage(img);
    }
    XCloseDisplay(d);
    return varied;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

} // namespace

std::string MakeTempDir() {
    char tmpl[] = "/tmp/ninefold-test-XXXXXX";
    char* dir = mkdtemp(tmpl);
    return dir ? dir : "";
}

int RunCommand(const std::string& command) {
    int rc = std::system(command.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

bool FileExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

ChildRun RunDemoChild(const std::string& program, const std::string& cwd, int escape_after_ms,
                      int limit_ms) {
    ChildRun run;
    std::string err_path = MakeTempDir() + "/stderr.txt";
    pid_t pid = fork();
    if (pid == 0) {
        int fd = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) dup2(fd, 2);
        if (chdir(cwd.c_str()) != 0) _exit(126);
        execl(program.c_str(), program.c_str(), (char*)nullptr);
        _exit(127);
    }
    using clock = std::chrono::steady_clock;
    auto start = clock::now();
    bool escaped = false;
    int wstatus = 0;
    for (;;) {
        pid_t r = waitpid(pid, &wstatus, WNOHANG);
        if (r == pid) break;
        int elapsed =
            int(std::chrono::duration_cast<std::chrono::milliseconds>(clock::now() - start).count());
        if (!escaped && elapsed >= escape_after_ms) {
            run.screenshot_varied = screen_varied();
            RunCommand("xdotool key Escape");
            escaped = true;
        }
        if (elapsed > limit_ms) {
            kill(pid, SIGKILL);
            waitpid(pid, &wstatus, 0);
            run.stderr_text = read_file(err_path);
            return run;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (WIFEXITED(wstatus)) run.status = WEXITSTATUS(wstatus);
    run.signalled = WIFSIGNALED(wstatus);
    run.stderr_text = read_file(err_path);
    return run;
}
