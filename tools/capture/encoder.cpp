#include "tools/capture/encoder.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

// Pipe ends kept above the fds the child is given (0-3), close-on-exec.
bool MakePipe(int* read_end, int* write_end) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    *read_end = fcntl(fds[0], F_DUPFD_CLOEXEC, 10);
    *write_end = fds[1];
    close(fds[0]);
    // A larger buffer lets the sound run ahead while ffmpeg opens its inputs
    // one after the other; the default still works for short runs.
    fcntl(*write_end, F_SETPIPE_SZ, 1 << 20);
    return *read_end >= 0;
}

bool WriteAll(FfmpegEncoder& e, int fd, const void* data, size_t bytes) {
    if (e.broken || fd < 0) return false;
    const char* p = static_cast<const char*>(data);
    while (bytes > 0) {
        ssize_t n = write(fd, p, bytes);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            e.broken = true;
            return false;
        }
        p += n;
        bytes -= size_t(n);
    }
    return true;
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

void CloseFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

} // namespace

bool StartEncoder(FfmpegEncoder& e, const EncoderSettings& s, std::string* error) {
    int video_in = -1, audio_in = -1;
    e.log = std::tmpfile();
    if (!e.log || !MakePipe(&video_in, &e.video) || (s.audio && !MakePipe(&audio_in, &e.audio))) {
        *error = std::string("cannot start ffmpeg: ") + std::strerror(errno);
        return false;
    }
    const std::string size = std::to_string(s.width) + "x" + std::to_string(s.height);
    // ffmpeg opens its inputs one after the other and by default reads
    // seconds of each before going on, while the other pipe fills: the
    // formats are given in full, so it need not look ahead.
    std::vector<std::string> args = {
        "ffmpeg",     "-nostdin", "-y", "-loglevel",  "error",
        "-probesize", "32",       "-f", "rawvideo",   "-pix_fmt",
        "rgb24",      "-s",       size, "-framerate", std::to_string(s.fps),
        "-i",         "pipe:0"};
    if (s.audio)
        args.insert(args.end(), {"-probesize", "32", "-f", "s16le", "-ar", "44100", "-ac", "2",
                                 "-i", "pipe:3", "-c:a", "aac", "-b:a", "192k"});
    // BT.601 is what the RGB to YUV conversion uses; say so in the stream.
    args.insert(args.end(),
                {"-c:v", "libx264", "-preset", s.preset, "-crf", std::to_string(s.crf), "-pix_fmt",
                 "yuv420p", "-colorspace", "smpte170m", "-movflags", "+faststart", s.output});
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, video_in, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fileno(e.log), 2);
    if (s.audio) posix_spawn_file_actions_adddup2(&actions, audio_in, 3);
    const int failed = posix_spawnp(&e.pid, "ffmpeg", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    CloseFd(video_in);
    CloseFd(audio_in);
    if (failed != 0) {
        e.pid = -1;
        e.not_installed = failed == ENOENT;
        *error = failed == ENOENT ? std::string("ffmpeg not found in PATH")
                                  : std::string("cannot start ffmpeg: ") + std::strerror(failed);
        std::string ignored;
        FinishEncoder(e, &ignored);
        return false;
    }
    return true;
}

bool EncodeFrame(FfmpegEncoder& e, const uint8_t* rgb, size_t bytes) {
    return WriteAll(e, e.video, rgb, bytes);
}

bool EncodeSound(FfmpegEncoder& e, const int16_t* interleaved, int frames) {
    // As they are: s16le is the byte order of the machines the demo runs on.
    return WriteAll(e, e.audio, interleaved, size_t(frames) * 4);
}

bool FinishEncoder(FfmpegEncoder& e, std::string* error) {
    CloseFd(e.video);
    CloseFd(e.audio);
    int status = 0;
    bool ok = e.pid > 0 && waitpid(e.pid, &status, 0) == e.pid && WIFEXITED(status) &&
              WEXITSTATUS(status) == 0;
    if (!ok && e.pid > 0) {
        std::string line = LastLine(e.log);
        *error = "ffmpeg failed: " + (line.empty() ? std::string("no message") : line);
    }
    e.pid = -1;
    if (e.log) std::fclose(e.log);
    e.log = nullptr;
    return ok;
}
