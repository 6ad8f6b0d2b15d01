#include "tools/capture/writer.h"

#include "tools/capture/frames.h"
#include "tools/capture/read_back.h"
#include "tools/capture/verify.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// zlib levels: frames often, so fast; the few files kept as pictures small.
const int kFramePngLevel = 1, kKeptPngLevel = 6;

void Fail(Outputs& out, const std::string& why) {
    if (out.error.empty()) out.error = why;
    out.failed.store(true);
}

// A PNG frame is complete once written: it gets its name at once.
void WriteFramePng(Outputs& out, const RgbImage& image, const char* name, int level) {
    const CaptureOptions& o = *out.options;
    const std::string temp = FramePngTemp(o.out_dir), path = o.out_dir + "/" + name;
    std::string error;
    if (!WritePng(temp, image, level, &error))
        Fail(out, error);
    else if (std::rename(temp.c_str(), path.c_str()) != 0)
        Fail(out, path + ": cannot rename the finished frame: " + std::strerror(errno));
}

void WriteFramesAt(Outputs& out, const Job& job) {
    const CaptureOptions& o = *out.options;
    char name[64];
    for (int32_t at : o.frames_at_ms) {
        if (FirstFrameAtOrAfter(at, o.fps) != job.frame) continue;
        std::snprintf(name, sizeof name, "at_%07dms.png", at);
        WriteFramePng(out, job.pixels, name, kKeptPngLevel);
        std::fprintf(out.streams.frames_at_list, "%d %lld %d %s\n", at,
                     static_cast<long long>(job.frame), job.t, name);
    }
}

void WritePicture(Outputs& out, const Job& job) {
    const CaptureOptions& o = *out.options;
    if (o.frames_at()) return WriteFramesAt(out, job);
    VideoEncoding& v = out.video;
    if (v.on) {
        if (!EncodeFrame(v.encoder, job.t - v.origin_ms, job.pixels.rgb.data(),
                         job.pixels.rgb.size()))
            Fail(out, v.encoder.why);
        ++v.pictures;
    }
    if (o.png) {
        char name[64];
        std::snprintf(name, sizeof name, "frame_%06lld.png", static_cast<long long>(job.frame));
        WriteFramePng(out, job.pixels, name, kFramePngLevel);
    }
    FileStreams& s = out.streams;
    if (s.y4m.file && !WriteY4mFrame(s.y4m, job.pixels)) Fail(out, s.y4m.error);
    if (job.t >= s.next_second * 1000) {
        const int second = job.t / 1000, every = o.sheet_every;
        AddThumbnail(s.sheet, job.pixels, second);
        s.next_second = (second / every + 1) * every;
    }
}

void WriteSound(Outputs& out, const Job& job) {
    const int frames = int(job.sound.size() / 2);
    WavWriter& wav = out.streams.wav;
    if (wav.file && !WriteWav(wav, job.sound.data(), frames)) Fail(out, wav.error);
    VideoEncoding& v = out.video;
    if (v.on && !EncodeSound(v.encoder, job.t - v.origin_ms, job.sound.data(), frames))
        Fail(out, v.encoder.why);
}

// Notes an output about to be made; returns the name to make it under.
std::string MakeUnder(Outputs& out, const std::string& final_path) {
    const std::string temp = UnfinishedName(final_path);
    out.files.made.emplace_back(temp, final_path);
    return temp;
}

std::string InDir(const Outputs& out, const char* name) {
    return out.options->out_dir + "/" + name;
}

// Makes the directory and its missing parents.
bool MakeDirs(const std::string& path) {
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/') continue;
        const std::string part = path.substr(0, i);
        struct stat st;
        if (stat(part.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode)) {
                errno = ENOTDIR;
                return false;
            }
        } else if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) {
            return false;
        }
    }
    return true;
}

// ffmpeg: started before the first frame, so that one that cannot run is
// found now. Without any ffmpeg only asked-for lossless outputs go on.
bool StartVideo(Outputs& out) {
    const CaptureOptions& o = *out.options;
    EncoderSettings s;
    s.mp4 = UnfinishedName(InDir(out, "ninefold.mp4"));
    if (o.master) s.master = UnfinishedName(InDir(out, "ninefold.mkv"));
    s.width = kCaptureWidth;
    s.height = kCaptureHeight;
    s.mp4_height = o.height;
    s.fps = o.fps;
    s.crf = o.crf;
    s.preset = o.x264_preset();
    s.audio = o.audio;
    VideoEncoding& v = out.video;
    v.encoder.stop = out.stopping;
    v.on = StartEncoder(v.encoder, s, &v.none_because);
    if (v.on) {
        MakeUnder(out, InDir(out, "ninefold.mp4"));
        if (o.master) MakeUnder(out, InDir(out, "ninefold.mkv"));
        return true;
    }
    if (v.encoder.not_installed && o.lossless_asked() && !o.master) return true;
    out.error = v.none_because;
    if (v.encoder.not_installed)
        out.error += o.master ? " (--master needs it)"
                              : " (without it only --png or --y4m output can be made)";
    return false;
}

bool VerifyVideo(Outputs& out) {
    const CaptureOptions& o = *out.options;
    ExpectedStreams expected;
    expected.frames = out.video.pictures;
    expected.seconds = double(out.video.pictures) / o.fps;
    expected.fps = o.fps;
    expected.sound = o.audio;
    std::string error;
    for (const auto& [temp, path] : out.files.made)
        if ((path == InDir(out, "ninefold.mp4") || path == InDir(out, "ninefold.mkv")) &&
            !VerifyEncodedFile(temp, expected, out.stopping, &error)) {
            Fail(out, error);
            return false;
        }
    return true;
}

} // namespace

void PlanOutputs(Outputs& out) {
    const CaptureOptions& o = *out.options;
    for (const char* name :
         {"ninefold.mp4", "ninefold.mkv", "ninefold.wav", "contact_sheet.png", "frames_at.txt"})
        out.files.unfinished.push_back(UnfinishedName(InDir(out, name)));
    out.files.unfinished.push_back(FramePngTemp(o.out_dir));
    if (!o.y4m_path.empty() && o.y4m_path != "-")
        out.files.unfinished.push_back(UnfinishedName(o.y4m_path));
    out.video.origin_ms = FrameTimeMs(FirstFrameAtOrAfter(o.from_ms, o.fps), o.fps);
    const int every_ms = 1000 * o.sheet_every;
    out.streams.next_second = (o.from_ms + every_ms - 1) / every_ms * o.sheet_every;
}

bool OpenOutputs(Outputs& out) {
    const CaptureOptions& o = *out.options;
    if (!MakeDirs(o.out_dir)) {
        out.error = o.out_dir + ": cannot make the output directory: " + std::strerror(errno);
        return false;
    }
    if (!LockOutputDir(out.files.lock, o.out_dir, &out.error) || !CheckOutputNames(o, &out.error))
        return false;
    FileStreams& s = out.streams;
    if (o.frames_at()) {
        const std::string path = MakeUnder(out, InDir(out, "frames_at.txt"));
        s.frames_at_list = std::fopen(path.c_str(), "we");
        if (!s.frames_at_list) out.error = path + ": cannot create file: " + std::strerror(errno);
    } else if (!o.y4m_path.empty()) {
        const std::string path = o.y4m_path == "-" ? "-" : MakeUnder(out, o.y4m_path);
        if (!OpenY4m(s.y4m, path, kCaptureWidth, kCaptureHeight, o.fps)) out.error = s.y4m.error;
    }
    if (o.audio && out.error.empty() && !OpenWav(s.wav, MakeUnder(out, InDir(out, "ninefold.wav"))))
        out.error = s.wav.error;
    if (!out.error.empty()) return false;
    return o.frames_at() || StartVideo(out);
}

void WriterLoop(JobQueue* queue, Outputs* out) {
    Job job;
    while (queue->Pop(&job)) {
        // After a failure or an interrupt the queue is only drained.
        const bool write = !out->failed.load() && !out->stopping();
        if (job.frame >= 0) {
            if (write) {
                TurnReadBackIntoPixels(job, *queue);
                WritePicture(*out, job);
                queue->GiveBack(std::move(job.pixels));
            } else {
                queue->GiveBack(std::move(job.read_back));
            }
        }
        if (write && !job.sound.empty()) WriteSound(*out, job);
    }
}

void CloseOutputs(Outputs& out) {
    const CaptureOptions& o = *out.options;
    FileStreams& s = out.streams;
    if (s.frames_at_list && std::fclose(s.frames_at_list) != 0)
        Fail(out, UnfinishedName(InDir(out, "frames_at.txt")) +
                      ": write failed: " + std::strerror(errno));
    s.frames_at_list = nullptr;
    if (!CloseY4m(s.y4m)) Fail(out, s.y4m.error);
    if (!CloseWav(s.wav)) Fail(out, s.wav.error);
    std::string error;
    const bool going_on = !out.failed.load() && !out.stopping();
    if (going_on && !o.frames_at() && !s.sheet.thumbs.empty() &&
        !WritePng(MakeUnder(out, InDir(out, "contact_sheet.png")), ComposeSheet(s.sheet),
                  kKeptPngLevel, &error))
        Fail(out, error);
    if (!out.video.on) return;
    if (!out.failed.load() && !out.stopping()) {
        if (!FinishEncoder(out.video.encoder, &error))
            Fail(out, error);
        else
            VerifyVideo(out);
    } else {
        StopEncoder(out.video.encoder);
    }
}

bool NameOutputs(Outputs& out) {
    std::string error;
    if (RenameAll(out.files.made, &error)) return true;
    Fail(out, error);
    return false;
}

void RemoveUnfinished(Outputs& out) {
    for (const std::string& path : out.files.unfinished)
        unlink(path.c_str());
    UnlockOutputDir(out.files.lock);
}
