// ninefold_capture: renders the demo offline to files (see capture.h).
#include "tools/capture/capture.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string ExecutableDir() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    std::string path(buf, size_t(n));
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

std::string Absolute(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    char cwd[PATH_MAX];
    return getcwd(cwd, sizeof cwd) ? std::string(cwd) + "/" + path : path;
}

// Makes the directory and its missing parents.
bool MakeDirs(const std::string& path) {
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/') continue;
        std::string part = path.substr(0, i);
        struct stat st;
        if (stat(part.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode)) {
                errno = ENOTDIR;
                return false;
            }
        } else if (mkdir(part.c_str(), 0777) != 0) {
            return false;
        }
    }
    return true;
}

// Opens /dev/null on each of fds 0-2 that is closed, so that no file the
// tool opens lands on one; returns which were closed, one bit each.
int OpenClosedStandardFds() {
    int closed = 0;
    for (int fd = 0; fd <= 2; ++fd)
        if (fcntl(fd, F_GETFD) < 0 && errno == EBADF) {
            closed |= 1 << fd;
            const int opened = open("/dev/null", O_RDWR);
            if (opened >= 0 && opened != fd) close(opened);
        }
    return closed;
}

bool IsFile(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

int main(int argc, char** argv) {
    const int closed_fds = OpenClosedStandardFds();
    CaptureOptions options;
    std::string error;
    if (!ParseCaptureOptions(argc, argv, &options, &error)) {
        if (error == "help") {
            std::fputs(CaptureUsage(), stdout);
            return 0;
        }
        std::fprintf(stderr, "ninefold_capture: %s\n", error.c_str());
        return 2;
    }
    if (options.y4m_path == "-" &&
        ((closed_fds & 2) || (fcntl(1, F_GETFL) & O_ACCMODE) == O_RDONLY)) {
        std::fprintf(stderr, "ninefold_capture: --y4m -: standard output is %s\n",
                     (closed_fds & 2) ? "closed" : "not open for writing");
        return 2;
    }
    if (!CheckCaptureWork(options, &error)) {
        std::fprintf(stderr, "ninefold_capture: %s\n", error.c_str());
        return 2;
    }
    options.out_dir = Absolute(options.out_dir);
    if (!options.y4m_path.empty() && options.y4m_path != "-")
        options.y4m_path = Absolute(options.y4m_path);
    if (!MakeDirs(options.out_dir)) {
        std::fprintf(stderr, "ninefold_capture: %s: cannot make the output directory: %s\n",
                     options.out_dir.c_str(), std::strerror(errno));
        return 1;
    }
    if (options.data_parent.empty()) options.data_parent = ExecutableDir();
    const std::string scene = options.data_parent + "/data/scene1.obj";
    if (!IsFile(scene)) {
        std::fprintf(stderr,
                     "ninefold_capture: %s: not found (--data names the directory "
                     "that holds data/)\n",
                     scene.c_str());
        return 1;
    }
    if (chdir(options.data_parent.c_str()) != 0) {
        std::fprintf(stderr, "ninefold_capture: %s: cannot enter the directory: %s\n",
                     options.data_parent.c_str(), std::strerror(errno));
        return 1;
    }
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        std::fprintf(stderr, "ninefold_capture: no X display (DISPLAY is not set); run it "
                             "under xvfb-run for a headless capture\n");
        return 1;
    }
    return RunCapture(options);
}
