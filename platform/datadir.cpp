#include "platform/datadir.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifndef DEMO_INSTALLED_DATA_PARENT
#define DEMO_INSTALLED_DATA_PARENT ""
#endif

namespace {

std::vector<std::string> tried;
std::string tried_text;
std::string used_dir; // where data/ was found, when not the starting directory
bool missing = false;

// Any kind of file counts: one that is not a regular file, or a data folder
// that cannot be read, is then named by the scene loader, rather than sending
// the search elsewhere.
bool HasData(const std::string& dir) {
    struct stat st;
    if (stat((dir + "/data/scene1.obj").c_str(), &st) == 0) return true;
    return errno == EACCES && stat((dir + "/data").c_str(), &st) == 0;
}

// Why a folder has no usable data/, for the line that reports it missing.
std::string WhyNoData(const std::string& dir) {
    std::string data = dir + "/data";
    struct stat st;
    if (lstat(data.c_str(), &st) != 0) return "no data/";
    if (S_ISLNK(st.st_mode) && stat(data.c_str(), &st) != 0)
        return errno == ELOOP    ? "data/ is a symbolic link loop"
               : errno == ENOENT ? "data/ is a dangling symbolic link"
                                 : std::string("data/: ") + std::strerror(errno);
    if (!S_ISDIR(st.st_mode)) return "data/ is not a folder";
    return "no data/scene1.obj";
}

// Records a directory to look in; false when it was looked in already.
bool NoteTried(const std::string& dir) {
    for (const std::string& d : tried)
        if (d == dir) return false;
    tried.push_back(dir);
    if (!tried_text.empty()) tried_text += ", ";
    tried_text += dir;
    return true;
}

// Without openat2: opens the name, then checks where the descriptor leads.
int OpenCheckingRealPath(int dir, const char* name, int flags) {
    int fd = openat(dir, name, flags);
    if (fd < 0) return -1;
    char base[PATH_MAX], target[PATH_MAX];
    std::string link = "/proc/self/fd/" + std::to_string(fd);
    if (!realpath("data", base) || !realpath(link.c_str(), target) ||
        std::strncmp(target, base, std::strlen(base)) != 0 || target[std::strlen(base)] != '/') {
        close(fd);
        errno = EXDEV;
        return -1;
    }
    return fd;
}

// A path under data/ is resolved beneath that folder, symbolic links
// included (EXDEV when it leads out); the folder itself may be a link.
int OpenBeneathData(const char* path, int flags) {
    if (std::strncmp(path, "data/", 5) != 0) return open(path, flags);
    int dir = open("data", O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return -1;
    open_how how{};
    how.flags = uint64_t(flags);
    how.resolve = RESOLVE_BENEATH;
    int fd = int(syscall(SYS_openat2, dir, path + 5, &how, sizeof how));
    // Older kernels lack the call; some container filters answer EPERM.
    if (fd < 0 && (errno == ENOSYS || errno == EPERM))
        fd = OpenCheckingRealPath(dir, path + 5, flags);
    int saved = errno;
    close(dir);
    errno = saved;
    return fd;
}

} // namespace

std::string ExecutableDir() {
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return "";
    path[n] = 0;
    std::string s(path);
    return s.substr(0, s.rfind('/'));
}

bool FindDataDirectory() {
    tried.clear();
    tried_text.clear();
    used_dir.clear();
    missing = false;
    char cwd[4096];
    NoteTried(getcwd(cwd, sizeof cwd) ? cwd : ".");
    if (HasData(".")) return true;
    tried_text += " (" + WhyNoData(".") + ")";

    std::string candidates[3];
    std::string exe = ExecutableDir();
    candidates[0] = exe;
    // An installed program finds its data through the prefix it was built
    // for, or relative to itself when the package was installed elsewhere.
    candidates[1] = DEMO_INSTALLED_DATA_PARENT;
    if (!exe.empty()) candidates[2] = exe + "/../share/ninefold";
    for (const std::string& dir : candidates) {
        if (dir.empty() || !NoteTried(dir)) continue;
        if (HasData(dir) && chdir(dir.c_str()) == 0) {
            used_dir = getcwd(cwd, sizeof cwd) ? cwd : dir;
            return true;
        }
        tried_text += " (" + WhyNoData(dir) + ")";
    }
    missing = true;
    return false;
}

bool DataDirectoryMissing() {
    return missing;
}

const char* DataDirectoriesTried() {
    return tried_text.c_str();
}

const char* DataDirectoryUsed() {
    return used_dir.c_str();
}

std::FILE* OpenDataFile(const char* path, int64_t max_bytes, int64_t* bytes, std::string* reason) {
    // O_NONBLOCK: opening a FIFO or a device must not wait for a writer.
    int fd = path ? OpenBeneathData(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY) : -1;
    if (fd < 0) {
        int error = path ? errno : EINVAL;
        *reason = error == EXDEV ? "outside the data directory (a link leading out)"
                                 : std::string("cannot open (") + std::strerror(error) + ")";
        return nullptr;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *reason = "not a regular file";
    } else if (st.st_size > max_bytes) {
        *reason = "file of " + std::to_string(st.st_size) + " bytes, over the limit of " +
                  std::to_string(max_bytes);
    } else if (std::FILE* f = fdopen(fd, "rb")) {
        *bytes = st.st_size;
        return f;
    } else {
        *reason = std::string("cannot open (") + std::strerror(errno) + ")";
    }
    close(fd);
    return nullptr;
}

bool NameInsideDataDirectory(const std::string& name) {
    if (name.empty() || name[0] == '/') return false;
    for (size_t start = 0; start <= name.size();) {
        size_t end = name.find('/', start);
        if (end == std::string::npos) end = name.size();
        if (name.compare(start, end - start, "..") == 0) return false;
        start = end + 1;
    }
    return true;
}
