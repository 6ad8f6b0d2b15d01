// ninefold_capture: renders the demo offline to files (see capture.h). Here:
// the command line and the checks that make nothing; the output directory is
// made once the stop handlers exist.
#include "tools/capture/capture.h"

#include "platform/datadir.h"

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

std::string Absolute(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    char cwd[PATH_MAX];
    return getcwd(cwd, sizeof cwd) ? std::string(cwd) + "/" + path : path;
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
            return kCaptureDone;
        }
        std::fprintf(stderr, "ninefold_capture: %s\n", error.c_str());
        return kCaptureRefused;
    }
    if (options.y4m_path == "-" &&
        ((closed_fds & 2) || (fcntl(1, F_GETFL) & O_ACCMODE) == O_RDONLY)) {
        std::fprintf(stderr, "ninefold_capture: --y4m -: standard output is %s\n",
                     (closed_fds & 2) ? "closed" : "not open for writing");
        return kCaptureRefused;
    }
    if (!CheckCaptureWork(options, &error)) {
        std::fprintf(stderr, "ninefold_capture: %s\n", error.c_str());
        return kCaptureRefused;
    }
    options.out_dir = Absolute(options.out_dir);
    if (!options.y4m_path.empty() && options.y4m_path != "-")
        options.y4m_path = Absolute(options.y4m_path);
    if (options.data_parent.empty()) options.data_parent = ExecutableDir();
    if (options.data_parent.empty()) options.data_parent = ".";
    const std::string scene = options.data_parent + "/data/scene1.obj";
    if (!IsFile(scene)) {
        std::fprintf(stderr,
                     "ninefold_capture: %s: not found (--data names the directory "
                     "that holds data/)\n",
                     scene.c_str());
        return kCaptureFailed;
    }
    if (chdir(options.data_parent.c_str()) != 0) {
        std::fprintf(stderr, "ninefold_capture: %s: cannot enter the directory: %s\n",
                     options.data_parent.c_str(), std::strerror(errno));
        return kCaptureFailed;
    }
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        std::fprintf(stderr, "ninefold_capture: no X display (DISPLAY is not set); run it "
                             "under xvfb-run for a headless capture\n");
        return kCaptureFailed;
    }
    return RunCapture(options);
}
