#include "tools/capture/output_names.h"

#include "tools/capture/frames.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const kLockName = ".ninefold_capture.lock";
// The names a capture may give its outputs inside the directory.
const char* const kFinalNames[] = {"ninefold.mp4", "ninefold.mkv", "ninefold.wav",
                                   "contact_sheet.png", "frames_at.txt"};

bool IsFolder(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string FolderInTheWay(const std::string& path) {
    return path + ": a folder is in the way of the output";
}

// The directory part, resolved, and the last name of a path.
std::pair<std::string, std::string> SplitResolved(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    char* real = realpath(dir.c_str(), nullptr);
    std::pair<std::string, std::string> out(real ? real : dir, path.substr(slash + 1));
    std::free(real);
    return out;
}

bool IsOutputName(const std::string& name) {
    for (const char* final_name : kFinalNames)
        if (name == final_name) return true;
    return name == kLockName || name.rfind("frame_", 0) == 0 || name.rfind("at_", 0) == 0 ||
           name.find(".unfinished") != std::string::npos;
}

} // namespace

std::string UnfinishedName(const std::string& path) {
    const std::string tag = ".unfinished." + std::to_string(getpid());
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path + tag;
    return path.substr(0, dot) + tag + path.substr(dot);
}

std::string FramePngTemp(const std::string& dir) {
    return UnfinishedName(dir + "/frame.png");
}

bool CheckOutputNames(const CaptureOptions& o, std::string* error) {
    for (const char* name : kFinalNames)
        if (IsFolder(o.out_dir + "/" + name)) {
            *error = FolderInTheWay(o.out_dir + "/" + name);
            return false;
        }
    if (o.png) {
        const int64_t first = FirstFrameAtOrAfter(o.from_ms, o.fps);
        const int64_t end =
            std::min(DemoFrameCount(o.fps), FirstFrameAtOrAfter(o.to_ms, o.fps) + 1);
        char name[64];
        for (int64_t k = first; k < end; ++k) {
            std::snprintf(name, sizeof name, "/frame_%06lld.png", static_cast<long long>(k));
            if (IsFolder(o.out_dir + name)) {
                *error = FolderInTheWay(o.out_dir + name);
                return false;
            }
        }
    }
    if (o.y4m_path.empty() || o.y4m_path == "-") return true;
    if (IsFolder(o.y4m_path)) {
        *error = "--y4m " + FolderInTheWay(o.y4m_path);
        return false;
    }
    const auto [y4m_dir, y4m_name] = SplitResolved(o.y4m_path);
    const auto [out_dir, ignored] = SplitResolved(o.out_dir + "/x");
    if (y4m_dir == out_dir && IsOutputName(y4m_name)) {
        *error = "--y4m " + o.y4m_path + ": the name of another output in " + o.out_dir;
        return false;
    }
    return true;
}

bool LockOutputDir(DirLock& lock, const std::string& dir, std::string* error) {
    lock.path = dir + "/" + kLockName;
    for (;;) {
        lock.fd = open(lock.path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (lock.fd < 0) {
            *error = lock.path + ": cannot open the lock: " + std::strerror(errno);
            return false;
        }
        if (flock(lock.fd, LOCK_EX | LOCK_NB) != 0) {
            char holder[32] = "";
            const ssize_t n = pread(lock.fd, holder, sizeof holder - 1, 0);
            holder[n > 0 ? n : 0] = '\0';
            close(lock.fd.exchange(-1));
            *error = dir + ": another capture" +
                     (*holder ? " (pid " + std::string(holder) + ")" : std::string()) +
                     " is writing into this directory";
            return false;
        }
        // The holder before us may have removed the file after we opened it:
        // then our lock is on a name nobody sees, and we try again.
        struct stat held, named;
        if (fstat(lock.fd, &held) == 0 && stat(lock.path.c_str(), &named) == 0 &&
            held.st_ino == named.st_ino && held.st_dev == named.st_dev)
            break;
        close(lock.fd.exchange(-1));
    }
    const std::string pid = std::to_string(getpid());
    if (ftruncate(lock.fd, 0) != 0 || pwrite(lock.fd, pid.data(), pid.size(), 0) < 0) {
        *error = lock.path + ": cannot write the lock: " + std::strerror(errno);
        UnlockOutputDir(lock);
        return false;
    }
    return true;
}

void UnlockOutputDir(DirLock& lock) {
    const int fd = lock.fd.exchange(-1);
    if (fd < 0) return;
    unlink(lock.path.c_str()); // while still held: the next run takes a fresh file
    close(fd);
}

bool RenameAll(const MadeFiles& made, std::string* error) {
    size_t done = 0;
    for (; done < made.size(); ++done)
        if (std::rename(made[done].first.c_str(), made[done].second.c_str()) != 0) break;
    if (done == made.size()) return true;
    *error =
        made[done].first + ": cannot rename to " + made[done].second + ": " + std::strerror(errno);
    for (size_t i = 0; i < done; ++i)
        std::rename(made[i].second.c_str(), made[i].first.c_str());
    for (const auto& file : made)
        std::remove(file.first.c_str());
    return false;
}
