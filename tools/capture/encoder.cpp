#include "tools/capture/encoder.h"

#include "tools/capture/mkv_stream.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// How long a finished stream may take to become an MP4 (x264's look-ahead
// and the move of the index to the front).
const int kFinishSeconds = 60;

void CloseFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

// The read end is kept above the fds the child is given (0-2), so that
// giving it as fd 0 is a real dup that drops close-on-exec.
bool MakePipe(int* read_end, int* write_end) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    *read_end = fcntl(fds[0], F_DUPFD_CLOEXEC, 10);
    const int saved = errno;
    close(fds[0]);
    if (*read_end < 0) {
        close(fds[1]);
        errno = saved;
        return false;
    }
    *write_end = fds[1];
    // Room for a few frames: the renderer runs on while ffmpeg encodes.
    fcntl(*write_end, F_SETPIPE_SZ, 1 << 20);
    return fcntl(*write_end, F_SETFL, O_NONBLOCK) == 0;
}

std::string LastLine(FILE* log) {
    std::string text;
    if (log && std::fseek(log, 0, SEEK_SET) == 0) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, log)) > 0)
            text.append(buf, n);
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    size_t start = text.find_last_of("\r\n");
    return start == std::string::npos ? text : text.substr(start + 1);
}

bool LogIsEmpty(FILE* log) {
    struct stat st;
    return !log || fstat(fileno(log), &st) != 0 || st.st_size == 0;
}

// Reaps ffmpeg if it has exited, waiting at most wait_ms; true once reaped.
bool Reap(FfmpegEncoder& e, int wait_ms) {
    const pid_t pid = e.pid.load();
    if (pid <= 0) return true;
    const auto until = Clock::now() + std::chrono::milliseconds(wait_ms);
    for (;;) {
        const pid_t done = waitpid(pid, &e.status, WNOHANG);
        if (done == pid) break;
        if (done < 0 && errno != EINTR) {
            e.status = -1; // not ours to wait for: report it as a failure
            break;
        }
        if (Clock::now() >= until) return false;
        if (done == 0) usleep(10000);
    }
    e.pid = -1;
    return true;
}

// Why ffmpeg failed: its own last line, else the given reason, else how it ended.
std::string Describe(FfmpegEncoder& e, const std::string& reason) {
    const std::string line = LastLine(e.log);
    if (!line.empty()) return "ffmpeg failed: " + line;
    if (!reason.empty()) return reason;
    if (e.status != -1 && WIFSIGNALED(e.status))
        return "ffmpeg was killed by signal " + std::to_string(WTERMSIG(e.status)) + " (" +
               strsignal(WTERMSIG(e.status)) + ")";
    if (e.status != 0)
        return "ffmpeg failed with exit status " +
               std::to_string(e.status == -1 ? -1 : WEXITSTATUS(e.status)) + " and no message";
    return "ffmpeg stopped reading its input";
}

// Marks the encoder broken. With a reason of its own the tool stops ffmpeg
// at once; without, ffmpeg is going by itself and gets a second to do so.
bool Break(FfmpegEncoder& e, const std::string& reason) {
    e.broken = true;
    CloseFd(e.input);
    if (!reason.empty() || !Reap(e, 1000)) {
        if (e.pid.load() > 0) kill(e.pid.load(), SIGKILL);
        Reap(e, 5000);
    }
    e.why = reason == "interrupted" ? reason : Describe(e, reason);
    return false;
}

// While a write waits: a reason to give up, or empty to go on waiting.
std::string Stuck(FfmpegEncoder& e) {
    if (e.stop && e.stop()) return "interrupted";
    const auto quiet = Clock::now() - e.last_read;
    if (!LogIsEmpty(e.log) && quiet > std::chrono::seconds(1))
        return "ffmpeg failed: " + LastLine(e.log);
    if (quiet > std::chrono::seconds(kEncoderStallSeconds))
        return "ffmpeg read nothing for " + std::to_string(kEncoderStallSeconds) + " s";
    return "";
}

bool WriteAll(FfmpegEncoder& e, const void* data, size_t bytes) {
    if (e.broken) return false;
    const char* p = static_cast<const char*>(data);
    while (bytes > 0) {
        ssize_t n = write(e.input, p, bytes);
        if (n > 0) {
            p += n;
            bytes -= size_t(n);
            e.last_read = Clock::now();
        } else if (n < 0 && errno == EAGAIN) {
            pollfd pfd = {e.input, POLLOUT, 0};
            if (poll(&pfd, 1, 100) > 0) continue;
            if (Reap(e, 0)) return Break(e, ""); // gone before its input ended
            const std::string why = Stuck(e);
            if (!why.empty()) return Break(e, why);
        } else if (n < 0 && errno != EINTR) {
            return Break(e, ""); // EPIPE: ffmpeg has gone; its own message says why
        }
    }
    return true;
}

bool WriteBlock(FfmpegEncoder& e, int track, int32_t ms, const void* payload, size_t bytes) {
    const std::string head = MkvBlockHead(track, ms, bytes);
    return WriteAll(e, head.data(), head.size()) && WriteAll(e, payload, bytes);
}

} // namespace

bool StartEncoder(FfmpegEncoder& e, const EncoderSettings& s, std::string* error) {
    int stream_in = -1;
    e.log = std::tmpfile();
    if (!e.log || !MakePipe(&stream_in, &e.input)) {
        *error = std::string("cannot start ffmpeg: ") + std::strerror(errno);
        if (e.log) std::fclose(e.log);
        e.log = nullptr;
        CloseFd(stream_in);
        CloseFd(e.input);
        return false;
    }
    std::vector<std::string> args = {"ffmpeg", "-nostdin", "-y", "-loglevel", "error",
                                     "-f",     "matroska", "-i", "pipe:0"};
    if (s.audio) args.insert(args.end(), {"-c:a", "aac", "-b:a", "192k"});
    args.insert(args.end(),
                {"-c:v", "libx264", "-preset", s.preset, "-crf", std::to_string(s.crf)});
    // -r: the stream's times are whole milliseconds; the MP4's frames are exact.
    args.insert(args.end(), {"-pix_fmt", "yuv420p", "-r", std::to_string(s.fps)});
    // BT.601 is what the RGB to YUV conversion uses; say so in the stream.
    args.insert(args.end(), {"-color_range", "tv", "-colorspace", "smpte170m", "-color_primaries",
                             "smpte170m", "-color_trc", "smpte170m"});
    args.insert(args.end(), {"-movflags", "+faststart", "-f", "mp4", s.output});
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, stream_in, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fileno(e.log), 2);
    // A process group of its own: a Ctrl-C at the terminal reaches the tool,
    // which stops ffmpeg itself.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    pid_t pid = -1;
    const int failed = posix_spawnp(&pid, "ffmpeg", &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    CloseFd(stream_in);
    if (failed != 0) {
        e.not_installed = failed == ENOENT;
        *error = failed == ENOENT ? std::string("ffmpeg not found in PATH")
                                  : std::string("cannot start ffmpeg: ") + std::strerror(failed);
        CloseFd(e.input);
        std::fclose(e.log);
        e.log = nullptr;
        return false;
    }
    e.pid = pid;
    e.last_read = Clock::now();
    const std::string header = MkvHeader(s.width, s.height, s.fps, s.audio);
    WriteAll(e, header.data(), header.size()); // a failure shows at the next write
    return true;
}

bool EncodeFrame(FfmpegEncoder& e, int32_t ms, const uint8_t* rgb, size_t bytes) {
    return WriteBlock(e, kMkvVideoTrack, ms, rgb, bytes);
}

bool EncodeSound(FfmpegEncoder& e, int32_t ms, const int16_t* interleaved, int frames) {
    // As they are: s16le is the byte order of the machines the demo runs on.
    return WriteBlock(e, kMkvSoundTrack, ms, interleaved, size_t(frames) * 4);
}

bool FinishEncoder(FfmpegEncoder& e, std::string* error) {
    CloseFd(e.input);
    for (int waited = 0; !e.broken && !Reap(e, 100); waited += 100) {
        if (e.stop && e.stop())
            Break(e, "interrupted");
        else if (waited >= kFinishSeconds * 1000)
            Break(e, "ffmpeg did not finish within " + std::to_string(kFinishSeconds) + " s");
    }
    if (!e.broken && e.status != 0) {
        e.broken = true;
        e.why = Describe(e, "");
    }
    if (e.log) std::fclose(e.log);
    e.log = nullptr;
    if (e.broken) *error = e.why;
    return !e.broken;
}

void StopEncoder(FfmpegEncoder& e) {
    CloseFd(e.input);
    if (!e.broken) Break(e, "stopped");
    if (e.log) std::fclose(e.log);
    e.log = nullptr;
}
