#include "tools/capture/capture.h"

#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

namespace {

bool FindInPath(const char* name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t colon = dirs.find(':', start);
        if (colon == std::string::npos) colon = dirs.size();
        std::string dir = dirs.substr(start, colon - start);
        if (!dir.empty() && access((dir + "/" + name).c_str(), X_OK) == 0) return true;
        start = colon + 1;
    }
    return false;
}

} // namespace

bool MuxWithFfmpeg(const CaptureOptions& o, int64_t first_frame, bool with_audio,
                   std::string* message) {
    if (!FindInPath("ffmpeg")) {
        *message = "ffmpeg not found in PATH: no muxed video (the frames and the WAV are written)";
        return false;
    }
    const std::string fps = std::to_string(o.fps);
    const std::string start = std::to_string(first_frame);
    std::vector<std::string> args = {"ffmpeg", "-y", "-loglevel", "error", "-nostdin"};
    if (o.png)
        args.insert(args.end(),
                    {"-framerate", fps, "-start_number", start, "-i", "frame_%06d.png"});
    else
        args.insert(args.end(), {"-i", "ninefold.y4m"});
    if (with_audio) args.insert(args.end(), {"-i", "ninefold.wav", "-c:a", "aac", "-b:a", "256k"});
    args.insert(args.end(), {"-c:v", "libx264", "-crf", "16", "-pix_fmt", "yuv420p", "-movflags",
                             "+faststart", "ninefold.mp4"});
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(o.out_dir.c_str()) == 0) execvp("ffmpeg", argv.data());
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        *message = "ffmpeg failed: no muxed video (the frames and the WAV are kept)";
        return false;
    }
    *message = "muxed video: " + o.out_dir + "/ninefold.mp4";
    return true;
}
