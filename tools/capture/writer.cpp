#include "tools/capture/writer.h"

#include <cerrno>
#include <cstring>

namespace {

void Fail(Outputs& out, const std::string& why) {
    if (out.error.empty()) out.error = why;
    out.failed.store(true);
}

std::string FramePngTemp(const CaptureOptions& o) {
    return o.out_dir + "/frame.unfinished.png";
}

// A PNG frame is complete once written: it gets its name at once.
void WriteFramePng(Outputs& out, const RgbImage& image, const char* name, int level) {
    const CaptureOptions& o = *out.options;
    const std::string temp = FramePngTemp(o), path = o.out_dir + "/" + name;
    std::string error;
    if (!WritePng(temp, image, level, &error))
        Fail(out, error);
    else if (std::rename(temp.c_str(), path.c_str()) != 0)
        Fail(out, path + ": cannot rename the finished frame: " + std::strerror(errno));
}

void WritePicture(Outputs& out, const Job& job) {
    const CaptureOptions& o = *out.options;
    char name[64];
    if (o.frames_at()) {
        for (int32_t at : o.frames_at_ms) {
            if (FirstFrameAtOrAfter(at, o.fps) != job.frame) continue;
            std::snprintf(name, sizeof name, "at_%07dms.png", at);
            WriteFramePng(out, job.pixels, name, 6);
            std::fprintf(out.frames_at_list, "%d %lld %d %s\n", at,
                         static_cast<long long>(job.frame), job.t, name);
        }
        return;
    }
    if (out.encoding && !EncodeFrame(out.encoder, job.t - out.origin_ms, job.pixels.rgb.data(),
                                     job.pixels.rgb.size()))
        Fail(out, out.encoder.why);
    if (o.png) {
        std::snprintf(name, sizeof name, "frame_%06lld.png", static_cast<long long>(job.frame));
        WriteFramePng(out, job.pixels, name, 1);
    }
    if (out.y4m.file && !WriteY4mFrame(out.y4m, job.pixels)) Fail(out, out.y4m.error);
    if (job.t >= out.next_second * 1000) {
        const int second = job.t / 1000, every = o.sheet_every;
        AddThumbnail(out.sheet, job.pixels, second);
        out.next_second = (second / every + 1) * every;
    }
}

void WriteSound(Outputs& out, const Job& job) {
    const int frames = int(job.sound.size() / 2);
    if (out.wav.file && !WriteWav(out.wav, job.sound.data(), frames)) Fail(out, out.wav.error);
    if (out.encoding && !EncodeSound(out.encoder, job.t - out.origin_ms, job.sound.data(), frames))
        Fail(out, out.encoder.why);
}

// Adds an output: its unfinished name is opened, its final name kept.
std::string Add(Outputs& out, const std::string& final_path) {
    const std::string temp = UnfinishedName(final_path);
    out.made.emplace_back(temp, final_path);
    return temp;
}

} // namespace

std::string UnfinishedName(const std::string& path) {
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return path + ".unfinished";
    return path.substr(0, dot) + ".unfinished" + path.substr(dot);
}

bool OpenOutputs(Outputs& out) {
    const CaptureOptions& o = *out.options;
    const std::string dir = o.out_dir + "/";
    // Every name the watchdog may have to remove, before anything is made.
    for (const char* name : {"ninefold.mp4", "ninefold.wav", "contact_sheet.png", "frames_at.txt"})
        out.unfinished.push_back(UnfinishedName(dir + name));
    out.unfinished.push_back(FramePngTemp(o));
    if (!o.y4m_path.empty() && o.y4m_path != "-")
        out.unfinished.push_back(UnfinishedName(o.y4m_path));
    out.origin_ms = FrameTimeMs(FirstFrameAtOrAfter(o.from_ms, o.fps), o.fps);

    if (o.frames_at()) {
        const std::string path = Add(out, dir + "frames_at.txt");
        out.frames_at_list = std::fopen(path.c_str(), "w");
        if (!out.frames_at_list) out.error = path + ": cannot create file: " + std::strerror(errno);
    } else if (!o.y4m_path.empty()) {
        const std::string path = o.y4m_path == "-" ? "-" : Add(out, o.y4m_path);
        if (!OpenY4m(out.y4m, path, kCaptureWidth, kCaptureHeight, o.fps))
            out.error = out.y4m.error;
    }
    if (o.audio && out.error.empty() && !OpenWav(out.wav, Add(out, dir + "ninefold.wav")))
        out.error = out.wav.error;
    if (!out.error.empty()) return false;
    if (!o.frames_at()) {
        EncoderSettings s;
        s.output = UnfinishedName(dir + "ninefold.mp4");
        s.width = kCaptureWidth;
        s.height = kCaptureHeight;
        s.fps = o.fps;
        s.crf = o.crf;
        s.preset = o.preset;
        s.audio = o.audio;
        out.encoder.stop = out.stopping;
        out.encoding = StartEncoder(out.encoder, s, &out.no_encoder);
        if (out.encoding) Add(out, dir + "ninefold.mp4");
    }
    return true;
}

void WriterLoop(JobQueue* queue, Outputs* out) {
    Job job;
    while (queue->Pop(&job)) {
        // After a failure or an interrupt the queue is only drained.
        const bool write = !out->failed.load() && !out->stopping();
        if (job.frame >= 0) {
            if (write) WritePicture(*out, job);
            queue->GiveBack(std::move(job.pixels));
        }
        if (write && !job.sound.empty()) WriteSound(*out, job);
    }
}

void CloseOutputs(Outputs& out) {
    const CaptureOptions& o = *out.options;
    const bool going_on = !out.failed.load() && !out.stopping();
    if (out.frames_at_list && std::fclose(out.frames_at_list) != 0)
        Fail(out, UnfinishedName(o.out_dir + "/frames_at.txt") +
                      ": write failed: " + std::strerror(errno));
    if (!CloseY4m(out.y4m)) Fail(out, out.y4m.error);
    if (!CloseWav(out.wav)) Fail(out, out.wav.error);
    std::string error;
    if (going_on && !o.frames_at() && !out.sheet.thumbs.empty() &&
        !WritePng(Add(out, o.out_dir + "/contact_sheet.png"), ComposeSheet(out.sheet), 6, &error))
        Fail(out, error);
    if (!out.encoding) return;
    if (!out.failed.load() && !out.stopping()) {
        if (!FinishEncoder(out.encoder, &error)) Fail(out, error);
    } else {
        StopEncoder(out.encoder);
    }
}

bool CommitOutputs(Outputs& out) {
    for (const auto& [temp, path] : out.made)
        if (std::rename(temp.c_str(), path.c_str()) != 0) {
            Fail(out, temp + ": cannot rename to " + path + ": " + std::strerror(errno));
            return false;
        }
    return true;
}

void RemoveUnfinished(const Outputs& out) {
    for (const std::string& path : out.unfinished)
        std::remove(path.c_str());
}
