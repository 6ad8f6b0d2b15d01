#include "tools/capture/options.h"

#include "tools/capture/frames.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char* const kUsage =
    "usage: ninefold_capture [-o DIR] [--data DIR] [--fps N] [--height H] [--crf N]\n"
    "                        [--preset P] [--master] [--png] [--y4m FILE|-] [--no-audio]\n"
    "                        [--sheet-every S] [--from S] [--to S] [--frames-at S1,...]\n"
    "  -o DIR          output directory (default ./capture, made if missing); one\n"
    "                  capture at a time writes into it\n"
    "  --data DIR      directory that holds data/ (default: beside the executable)\n"
    "  --fps N         frames per second of demo time, 1 to 240 (default 60)\n"
    "  --height H      lines of ninefold.mp4, 600 to 2160, a multiple of 6 (default\n"
    "                  600); the 800x600 picture is scaled to 4:3 by ffmpeg\n"
    "  --crf N         H.264 quality of ninefold.mp4, 0 to 51 (default 18)\n"
    "  --preset P      x264 speed preset (default veryfast, ultrafast above 1440\n"
    "                  lines: a 4K encode otherwise costs ten times the drawing)\n"
    "  --master        ninefold.mkv as well: the exact pictures (FFV1, full colour)\n"
    "                  and the exact sound (FLAC) in one file\n"
    "  --png           numbered PNG frames as well\n"
    "  --y4m FILE|-    a lossless 4:4:4 y4m stream as well, to FILE or stdout\n"
    "  --no-audio      no sound in the MP4 and no WAV\n"
    "  --sheet-every S one contact sheet thumbnail every S demo seconds (default 1)\n"
    "  --from S/--to S demo seconds to write; the frames before are still drawn\n"
    "  --frames-at ... write only PNG frames at these demo seconds\n"
    "To upload to a video site: --height 2160 (the site then serves its best\n"
    "classes, 60 fps included, to a 4:3 video); --height 1080 for a smaller file.\n"
    "Keep --master for archives and re-encoding.\n";

bool ParseSeconds(const char* option, const char* text, int32_t* ms, std::string* error) {
    char* end = nullptr;
    errno = 0;
    double s = std::strtod(text, &end);
    if (end == text || *end != '\0' || errno != 0 || !std::isfinite(s) || s < 0 || s > 1e6) {
        *error =
            std::string(option) + ": expected demo seconds from 0 to 1000000, got '" + text + "'";
        return false;
    }
    *ms = int32_t(std::llround(s * 1000));
    return true;
}

bool ParseTimeList(const char* text, std::vector<int32_t>* times, std::string* error) {
    std::string list = text;
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(',', start);
        if (comma == std::string::npos) comma = list.size();
        int32_t ms = 0;
        if (!ParseSeconds("--frames-at", list.substr(start, comma - start).c_str(), &ms, error))
            return false;
        times->push_back(ms);
        start = comma + 1;
    }
    return true;
}

bool ParseWhole(const char* option, const char* text, int low, int high, int* value,
                std::string* error) {
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v < low || v > high) {
        *error = std::string(option) + ": expected a whole number from " + std::to_string(low) +
                 " to " + std::to_string(high) + ", got '" + text + "'";
        return false;
    }
    *value = int(v);
    return true;
}

struct WholeOption {
    const char* name;
    int CaptureOptions::*field;
    int low, high;
};

const WholeOption* FindWholeOption(const char* name) {
    static const WholeOption kWhole[] = {{"--fps", &CaptureOptions::fps, 1, 240},
                                         {"--height", &CaptureOptions::height, 600, 2160},
                                         {"--crf", &CaptureOptions::crf, 0, 51},
                                         {"--sheet-every", &CaptureOptions::sheet_every, 1, 1000}};
    for (const WholeOption& w : kWhole)
        if (std::strcmp(name, w.name) == 0) return &w;
    return nullptr;
}

// Options that take any non-empty text.
std::string CaptureOptions::*TextOption(const char* name) {
    static const struct {
        const char* name;
        std::string CaptureOptions::*field;
    } kText[] = {{"-o", &CaptureOptions::out_dir},
                 {"--data", &CaptureOptions::data_parent},
                 {"--y4m", &CaptureOptions::y4m_path},
                 {"--preset", &CaptureOptions::preset}};
    for (const auto& t : kText)
        if (std::strcmp(name, t.name) == 0) return t.field;
    return nullptr;
}

} // namespace

const char* CaptureUsage() {
    return kUsage;
}

bool ParseCaptureOptions(int argc, char** argv, CaptureOptions* o, std::string* error) {
    bool range = false;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        const bool has_value = i + 1 < argc;
        auto value_needed = [&]() {
            *error = std::string(a) + ": missing value";
            return false;
        };
        if (std::strcmp(a, "-h") == 0 || std::strcmp(a, "--help") == 0) {
            *error = "help";
            return false;
        } else if (std::strcmp(a, "--png") == 0) {
            o->png = true;
        } else if (std::strcmp(a, "--master") == 0) {
            o->master = true;
        } else if (std::strcmp(a, "--no-audio") == 0) {
            o->audio = false;
        } else if (std::string CaptureOptions::*field = TextOption(a)) {
            if (!has_value) return value_needed();
            std::string v = argv[++i];
            if (v.empty()) {
                *error = std::string(a) + ": empty value";
                return false;
            }
            o->*field = v;
        } else if (const WholeOption* whole = FindWholeOption(a)) {
            if (!has_value) return value_needed();
            if (!ParseWhole(a, argv[++i], whole->low, whole->high, &(o->*whole->field), error))
                return false;
        } else if (std::strcmp(a, "--from") == 0 || std::strcmp(a, "--to") == 0) {
            if (!has_value) return value_needed();
            if (!ParseSeconds(a, argv[++i], a[2] == 'f' ? &o->from_ms : &o->to_ms, error))
                return false;
            range = true;
        } else if (std::strcmp(a, "--frames-at") == 0) {
            if (!has_value) return value_needed();
            if (!ParseTimeList(argv[++i], &o->frames_at_ms, error)) return false;
        } else {
            *error = std::string(a) + ": unknown option (see --help)";
            return false;
        }
    }
    if (o->from_ms > o->to_ms) {
        *error = "--from: the range starts after it ends";
        return false;
    }
    if (o->height % 6 != 0) {
        *error = "--height: " + std::to_string(o->height) +
                 " is not a multiple of 6 (the width, 4/3 of it, must be even)";
        return false;
    }
    if (o->frames_at() && (range || o->png || o->master || !o->y4m_path.empty())) {
        *error = "--frames-at: cannot be combined with --from, --to, --png, --master or --y4m";
        return false;
    }
    return true;
}

bool CheckCaptureWork(const CaptureOptions& o, std::string* error) {
    const int64_t frames = DemoFrameCount(o.fps);
    char why[192] = "";
    for (int32_t at : o.frames_at_ms)
        if (FirstFrameAtOrAfter(at, o.fps) >= frames)
            std::snprintf(why, sizeof why, "--frames-at %.3f: after the last frame", at / 1000.0);
    const int64_t first = FirstFrameAtOrAfter(o.from_ms, o.fps);
    if (!o.frames_at() && first >= frames)
        std::snprintf(why, sizeof why, "--from %.3f: starts after the last frame",
                      o.from_ms / 1000.0);
    else if (!o.frames_at() && FrameTimeMs(first, o.fps) > o.to_ms)
        std::snprintf(why, sizeof why, "--from %.3f --to %.3f: no frame at %d fps falls in between",
                      o.from_ms / 1000.0, o.to_ms / 1000.0, o.fps);
    if (!*why) return true;
    char length[96];
    std::snprintf(length, sizeof length, "; the demo is %.3f s long at %d fps, its ending included",
                  FrameTimeMs(frames, o.fps) / 1000.0, o.fps);
    *error = std::string(why) + length;
    return false;
}
