#include "tools/capture/encoder.h"

#include "tools/capture/mkv_stream.h"
#include "tools/capture/verify.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// How long a finished stream may take to become an MP4 (x264's look-ahead
// and the move of the index to the front; at 2160 lines the last frames
// are slow).
const int kFinishSeconds = 120;
// Room for a few frames: the renderer runs on while ffmpeg encodes.
const int kPipeBytes = 1 << 20;
// After ffmpeg logged an error and stopped reading, this long without a
// read means it is not going on.
const int kQuietAfterErrorMs = 1000;
// How long an ffmpeg that ends by itself, or is killed, gets to exit.
const int kExitWaitMs = 1000, kKilledExitWaitMs = 5000;
const int kReapPollUs = 10000;
const char* const kTitle = "ninefold";
const char* const kArtist = "the ninefold project";

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
    fcntl(*write_end, F_SETPIPE_SZ, kPipeBytes);
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
        if (done == 0) usleep(kReapPollUs);
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
bool GiveUpOnEncoder(FfmpegEncoder& e, const std::string& reason) {
    e.broken = true;
    CloseFd(e.input);
    if (!reason.empty() || !Reap(e, kExitWaitMs)) {
        if (e.pid.load() > 0) kill(e.pid.load(), SIGKILL);
        Reap(e, kKilledExitWaitMs);
    }
    e.why = reason == "interrupted" ? reason : Describe(e, reason);
    return false;
}

// While a write waits: a reason to give up, or empty to go on waiting.
std::string WhyStopWaiting(FfmpegEncoder& e) {
    if (e.stop && e.stop()) return "interrupted";
    const auto quiet = Clock::now() - e.last_read;
    if (!LogIsEmpty(e.log) && quiet > std::chrono::milliseconds(kQuietAfterErrorMs))
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
            if (poll(&pfd, 1, kEncoderPollMs) > 0) continue;
            if (Reap(e, 0)) return GiveUpOnEncoder(e, ""); // gone before its input ended
            const std::string why = WhyStopWaiting(e);
            if (!why.empty()) return GiveUpOnEncoder(e, why);
        } else if (n < 0 && errno != EINTR) {
            return GiveUpOnEncoder(e, ""); // EPIPE: ffmpeg has gone; its own message says why
        }
    }
    return true;
}

bool WriteBlock(FfmpegEncoder& e, int track, int32_t ms, const void* payload, size_t bytes) {
    const std::string head = MkvBlockHead(track, ms, bytes);
    return WriteAll(e, head.data(), head.size()) && WriteAll(e, payload, bytes);
}

// The MP4 for video sites: H lines at 4:3 from ffmpeg's scaler (lanczos;
// nearest for whole multiples, which keeps the pixels sharp), converted to
// 4:2:0 there with the matrix its tags name (BT.709 from 720 lines, as HD
// players assume; BT.601 below).
void AddMp4Output(std::vector<std::string>& args, const EncoderSettings& s) {
    const int h = s.mp4_height, w = h * 4 / 3;
    const bool hd = h >= 720;
    const char* matrix = hd ? "bt709" : "smpte170m";
    args.insert(args.end(), {"-map", "0:v"});
    if (s.audio) args.insert(args.end(), {"-map", "0:a"});
    args.insert(args.end(), {"-vf", "scale=" + std::to_string(w) + ":" + std::to_string(h) +
                                        ":flags=" + (h % s.height == 0 ? "neighbor" : "lanczos") +
                                        ":out_color_matrix=" + (hd ? "bt709" : "bt601") +
                                        ":out_range=tv,format=yuv420p"});
    // Closed GOPs of half a second and at most two B-frames, as sites ask.
    const std::string gop = std::to_string(std::max(1, s.fps / 2));
    args.insert(args.end(), {"-c:v", "libx264", "-preset", s.preset, "-crf", std::to_string(s.crf),
                             "-g", gop, "-bf", "2", "-flags", "+cgop"});
    // -r: the stream's times are whole milliseconds; the MP4's frames are exact.
    args.insert(args.end(), {"-r", std::to_string(s.fps), "-color_range", "tv", "-colorspace",
                             matrix, "-color_primaries", matrix, "-color_trc", matrix});
    if (s.audio) args.insert(args.end(), {"-c:a", "aac", "-b:a", "384k", "-ar", "48000"});
    args.insert(args.end(), {"-metadata", std::string("title=") + kTitle, "-metadata",
                             std::string("artist=") + kArtist, "-movflags", "+faststart",
                             "-use_editlist", "0", "-f", "mp4", s.mp4});
}

// The master: the exact pictures (FFV1 stores bgr0 losslessly; the shuffle
// from RGB24 is exact) and the exact sound (FLAC at the mixer's rate).
void AddMasterOutput(std::vector<std::string>& args, const EncoderSettings& s) {
    args.insert(args.end(), {"-map", "0:v"});
    if (s.audio) args.insert(args.end(), {"-map", "0:a", "-c:a", "flac"});
    args.insert(args.end(), {"-c:v", "ffv1", "-level", "3", "-slices", "4", "-g",
                             std::to_string(s.fps), "-pix_fmt", "bgr0", "-r", std::to_string(s.fps),
                             "-metadata", std::string("title=") + kTitle, "-metadata",
                             std::string("artist=") + kArtist, "-f", "matroska", s.master});
}

} // namespace

bool StartEncoder(FfmpegEncoder& e, const EncoderSettings& s, std::string* error) {
    if (!FindProgram("ffmpeg", error)) {
        e.not_installed = error->find("not found") != std::string::npos;
        return false;
    }
    if (!FindProgram("ffprobe", error)) {
        *error += " (it verifies each file ffmpeg writes)";
        return false;
    }
    int stream_in = -1;
    e.log = std::tmpfile();
    if (!e.log || fcntl(fileno(e.log), F_SETFD, FD_CLOEXEC) != 0 ||
        !MakePipe(&stream_in, &e.input)) {
        *error = std::string("cannot start ffmpeg: ") + std::strerror(errno);
        if (e.log) std::fclose(e.log);
        e.log = nullptr;
        CloseFd(stream_in);
        CloseFd(e.input);
        return false;
    }
    std::vector<std::string> args = {"ffmpeg", "-nostdin", "-y", "-loglevel", "error",
                                     "-f",     "matroska", "-i", "pipe:0"};
    AddMp4Output(args, s);
    if (!s.master.empty()) AddMasterOutput(args, s);
    // A process group of its own: a Ctrl-C at the terminal reaches the tool,
    // which stops ffmpeg itself.
    const int child_fds[3] = {stream_in, -1, fileno(e.log)};
    pid_t pid = -1;
    const int failed = SpawnProgram(args, child_fds, true, &pid);
    CloseFd(stream_in);
    if (failed != 0) {
        *error = std::string("cannot start ffmpeg: ") + std::strerror(failed);
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
    for (int waited = 0; !e.broken && !Reap(e, kEncoderPollMs); waited += kEncoderPollMs) {
        if (e.stop && e.stop())
            GiveUpOnEncoder(e, "interrupted");
        else if (waited >= kFinishSeconds * 1000)
            GiveUpOnEncoder(e, "ffmpeg did not finish within " + std::to_string(kFinishSeconds) +
                                   " s");
    }
    // It logs errors only: one there (a trailer it could not write) means a
    // broken file even when it exits 0.
    if (!e.broken && (e.status != 0 || !LogIsEmpty(e.log))) {
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
    if (!e.broken) GiveUpOnEncoder(e, "stopped");
    if (e.log) std::fclose(e.log);
    e.log = nullptr;
}
