#include "tools/capture/verify.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

// Counting packets reads the file once, without decoding: seconds even for
// the whole demo at 2160 lines.
const int kProbeLimitSeconds = 120;
const int kProbePollMs = 100;

// Runs argv with stdout and stderr into *output; false with a reason when it
// cannot start, is stopped or runs past the limit; *status is its wait status.
bool RunProgram(std::vector<std::string> args, bool (*stop)(), std::string* output, int* status,
                std::string* error) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        *error = std::string("cannot start ") + args[0] + ": " + std::strerror(errno);
        return false;
    }
    const int child_fds[3] = {-1, fds[1], fds[1]};
    pid_t pid = -1;
    const int failed = SpawnProgram(args, child_fds, false, &pid);
    close(fds[1]);
    if (failed != 0) {
        close(fds[0]);
        *error = std::string("cannot start ") + args[0] + ": " + std::strerror(failed);
        return false;
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(kProbeLimitSeconds);
    bool gave_up = false;
    for (;;) {
        pollfd pfd = {fds[0], POLLIN, 0};
        if (poll(&pfd, 1, kProbePollMs) > 0) {
            char buf[4096];
            const ssize_t n = read(fds[0], buf, sizeof buf);
            if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) break;
            if (n > 0) output->append(buf, size_t(n));
        }
        if ((stop && stop()) || std::chrono::steady_clock::now() > until) {
            gave_up = true;
            kill(pid, SIGKILL);
            break;
        }
    }
    close(fds[0]);
    while (waitpid(pid, status, 0) < 0 && errno == EINTR) {
    }
    if (gave_up)
        *error = stop && stop() ? "interrupted"
                                : args[0] + " took over " + std::to_string(kProbeLimitSeconds) +
                                      " s on " + args.back();
    return !gave_up;
}

std::string LastLineOf(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    const size_t start = text.find_last_of("\r\n");
    return start == std::string::npos ? text : text.substr(start + 1);
}

} // namespace

bool VerifyEncodedFile(const std::string& path, const ExpectedStreams& expected, bool (*stop)(),
                       std::string* error) {
    std::string output;
    int status = 0;
    if (!RunProgram({"ffprobe", "-v", "error", "-count_packets", "-show_entries",
                     "stream=codec_type,nb_read_packets,start_time,duration:format=duration", "-of",
                     "default", path},
                    stop, &output, &status, error))
        return false;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        *error = path + ": ffprobe finds it broken: " + LastLineOf(output);
        return false;
    }
    // Streams in order; a Matroska stream has no duration of its own (N/A):
    // the file's then stands for it.
    struct Stream {
        std::string kind;
        int64_t packets = 0;
        double start = 0, seconds = -1;
    };
    std::vector<Stream> streams;
    double file_seconds = -1;
    bool in_file_section = false;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        if (line == "[FORMAT]") in_file_section = true;
        if (line[0] == '[') continue;
        const size_t eq = line.find('=');
        if (eq == std::string::npos) {
            *error = path + ": ffprobe finds it broken: " + line;
            return false;
        }
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        const bool known = value != "N/A";
        if (in_file_section) {
            if (key == "duration" && known) file_seconds = std::atof(value.c_str());
            continue;
        }
        if (key == "codec_type") streams.push_back({value});
        if (streams.empty()) continue;
        Stream& s = streams.back();
        if (key == "nb_read_packets") s.packets = std::atoll(value.c_str());
        if (key == "start_time" && known) s.start = std::atof(value.c_str());
        if (key == "duration" && known) s.seconds = std::atof(value.c_str());
    }
    const Stream none;
    const Stream* video = &none;
    const Stream* sound = &none;
    for (const Stream& s : streams) {
        if (s.kind == "video") video = &s;
        if (s.kind == "audio") sound = &s;
    }
    const double video_seconds = video->seconds >= 0 ? video->seconds : file_seconds - video->start;
    const double video_end = video->start + video_seconds;
    // Without an edit list the pictures start after the B-frame delay and the
    // sound is shifted with them; it may end an AAC frame later.
    const double slack = 1.0 / expected.fps + 0.05;
    char why[256] = "";
    if (video->packets != expected.frames)
        std::snprintf(why, sizeof why, "%lld pictures where %lld were rendered",
                      static_cast<long long>(video->packets),
                      static_cast<long long>(expected.frames));
    else if (expected.sound != (sound->packets > 0))
        std::snprintf(why, sizeof why, "%s", expected.sound ? "no sound" : "an unexpected sound");
    else if (std::fabs(video_seconds - expected.seconds) > slack)
        std::snprintf(why, sizeof why, "%.3f s of pictures where %.3f s were rendered",
                      video_seconds, expected.seconds);
    else if (expected.sound && sound->seconds >= 0 &&
             std::fabs(sound->start + sound->seconds - video_end) > slack)
        std::snprintf(why, sizeof why, "the sound ending at %.3f s, the pictures at %.3f s",
                      sound->start + sound->seconds, video_end);
    if (!*why) return true;
    *error = path + ": the check finds " + why;
    return false;
}

int SpawnProgram(std::vector<std::string> args, const int fds[3], bool own_group, pid_t* pid) {
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int fd = 0; fd < 3; ++fd)
        if (fds[fd] >= 0)
            posix_spawn_file_actions_adddup2(&actions, fds[fd], fd);
        else
            posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", O_RDWR, 0);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    if (own_group) {
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attr, 0);
    }
    const int failed = posix_spawnp(pid, argv[0], &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    return failed;
}

bool FindProgram(const char* name, std::string* error) {
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "/usr/local/bin:/usr/bin:/bin");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        const std::string file = (dir.empty() ? "." : dir) + "/" + name;
        struct stat st;
        if (stat(file.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) continue;
        if (S_ISREG(st.st_mode) && access(file.c_str(), X_OK) == 0) return true;
        *error = file + ": cannot be executed";
        return false;
    }
    *error = std::string(name) + " not found in PATH";
    return false;
}
