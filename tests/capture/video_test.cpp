// A short capture from the start is one MP4, complete, its first pictures
// the frames the demo drew, beside a lossless master equal to the PNG
// frames; at 1080 lines it is what video sites ask for; then every way a
// capture can fail, on the real tool (ffmpeg needed).
#include "tests/capture/tool_run.h"
#include "tools/capture/rgb_image.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>

namespace {

// 0 to 2.3 s at 10 fps: 24 frames, 2.4 s of pictures and of sound, and
// nothing drawn that is not written.
const std::vector<std::string> kStretch = {"--fps", "10", "--to", "2.3"};

// key=value lines of one stream ("v:0" or "a:0") of an output.
std::map<std::string, std::string> Probe(const ToolRun& run, const std::string& stream,
                                         const std::string& file = "ninefold.mp4") {
    std::map<std::string, std::string> fields;
    std::istringstream lines(Shell("ffprobe -v error -count_frames -select_streams " + stream +
                                   " -show_streams -show_format -of default=nw=1 " + run.out + "/" +
                                   file));
    for (std::string key, value; std::getline(lines, key, '=') && std::getline(lines, value);)
        fields.emplace(key, value); // a stream's own duration, not the file's
    return fields;
}

// The frames of a video file as RGB24, one after another.
std::string DecodedRgb(const ToolRun& run, const std::string& file, const std::string& more = "") {
    return Shell("ffmpeg -v error -i " + run.out + "/" + file + more +
                 " -f rawvideo -pix_fmt rgb24 -");
}

TEST(CaptureVideo, Mp4AndMasterHoldEveryFrameTheSoundAndTheDrawnPicture) {
    ToolRun run;
    std::vector<std::string> args = kStretch;
    args.insert(args.end(), {"--png", "--master"});
    RunCaptureTool(args, &run);
    ASSERT_EQ(run.status, 0) << run.log;
    EXPECT_TRUE(std::filesystem::is_regular_file(run.out + "/contact_sheet.png"));
    auto video = Probe(run, "v:0");
    EXPECT_EQ(video["codec_name"], "h264");
    EXPECT_EQ(video["nb_read_frames"], "24");
    EXPECT_NEAR(std::atof(video["duration"].c_str()), 2.4, 0.001);
    for (const char* tag : {"color_space", "color_primaries", "color_transfer"})
        EXPECT_EQ(video[tag], "smpte170m") << tag; // BT.601 below 720 lines, as converted
    // The sound ends with the last frame faded to silence, not cut.
    EXPECT_EQ(ReadWholeFile(run.out + "/ninefold.wav").substr(44 + 4 * 105839), std::string(4, 0));
    auto audio = Probe(run, "a:0");
    EXPECT_EQ(audio["codec_name"], "aac");
    EXPECT_NEAR(std::atof(audio["duration"].c_str()), 2.4, 0.25); // may start after B-frames

    // The master decodes to the PNG frames, every bit; its sound is FLAC.
    std::string drawn_frames;
    RgbImage drawn;
    std::string error;
    for (int k = 0; k < 24; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "/frame_%06d.png", k);
        ASSERT_TRUE(ReadPng(run.out + name, &drawn, &error)) << error;
        drawn_frames.append(drawn.rgb.begin(), drawn.rgb.end());
    }
    EXPECT_TRUE(DecodedRgb(run, "ninefold.mkv") == drawn_frames) << "master differs";
    EXPECT_EQ(Probe(run, "a:0", "ninefold.mkv")["codec_name"], "flac");

    // Frame 20 (2.0 s): the waves in colour, at half size where the halved
    // colour resolution averages out. A wrong colour matrix moves whole areas
    // by tens; H.264 keeps the mean within a few levels, though sharp
    // coloured edges may move a few single values a long way.
    RgbImage first = MakeRgbImage(800, 600);
    const std::string raw = DecodedRgb(run, "ninefold.mp4", " -vf 'select=eq(n\\,20)' -frames:v 1");
    ASSERT_EQ(raw.size(), first.rgb.size());
    first.rgb.assign(raw.begin(), raw.end());
    drawn.rgb.assign(drawn_frames.begin() + 20 * first.rgb.size(),
                     drawn_frames.begin() + 21 * first.rgb.size());
    const RgbImage mp4 = DownscaleBox(first, 2), demo = DownscaleBox(drawn, 2);
    double sum = 0;
    size_t far = 0, lit = 0;
    for (size_t i = 0; i < mp4.rgb.size(); ++i) {
        if (demo.rgb[i] < 16) continue; // most of the picture is black
        const int d = std::abs(int(mp4.rgb[i]) - int(demo.rgb[i]));
        sum += d;
        far += d > 32;
        ++lit;
    }
    ASSERT_GT(lit, mp4.rgb.size() / 20);
    const double mean = sum / double(lit);
    EXPECT_LT(mean, 4.0) << far << " values off by more than 32";
    EXPECT_LT(far, lit / 100) << "mean difference " << mean;
}

// What video sites ask for: 1440x1080 tagged BT.709, the index first with no
// edit list, 48 kHz AAC-LC, a title.
TEST(CaptureVideo, Mp4At1080LinesIsWhatVideoSitesAskFor) {
    ToolRun run;
    std::vector<std::string> args = kStretch;
    args.insert(args.end(), {"--height", "1080"});
    RunCaptureTool(args, &run);
    ASSERT_EQ(run.status, 0) << run.log;
    auto video = Probe(run, "v:0");
    EXPECT_EQ(video["width"] + "x" + video["height"], "1440x1080");
    for (const char* tag : {"color_space", "color_primaries", "color_transfer"})
        EXPECT_EQ(video[tag], "bt709") << tag;
    EXPECT_EQ(video["TAG:title"], "ninefold");
    auto audio = Probe(run, "a:0");
    EXPECT_EQ(audio["profile"], "LC");
    EXPECT_EQ(audio["sample_rate"], "48000");
    const std::string mp4 = ReadWholeFile(run.out + "/ninefold.mp4");
    EXPECT_EQ(mp4.substr(0, mp4.find("mdat")).find("elst"), std::string::npos); // index first
    // Picture types in presentation order: a key frame at least every half
    // second (5 frames at 10 fps), never three B-frames in a row.
    const std::string types = Shell("ffprobe -v error -select_streams v -show_entries "
                                    "frame=pict_type -of csv=p=0 " +
                                    run.out + "/ninefold.mp4 | cut -c1 | tr -d '\\n'");
    ASSERT_EQ(types.size(), 24u) << types;
    EXPECT_EQ(types.find("BBB"), std::string::npos) << types;
    for (size_t i = 0, last_key = 0; i <= types.size(); ++i) {
        EXPECT_LE(i - last_key, 5u) << types;
        if (i < types.size() && types[i] == 'I') last_key = i;
    }
}

// Exit status, a last line naming the cause, no final name and nothing
// unfinished left, and an exit in time (the faults: hangs on a full
// pipe or a failed ffmpeg, success over a broken file, runs that mix, checks
// made only after the whole render, a signal before the handlers).
TEST(CaptureVideo, EveryFailureIsPromptNamedAndLeavesNoOutput) {
    const std::string plain = "exec \"$@\"";
    const std::string stand_in = "mkdir bin; printf '#!/bin/sh\\n%s\\n' ";
    const std::string on_path = " >bin/ffmpeg; chmod +x bin/ffmpeg; export PATH=$PWD/bin:$PATH; ";
    struct {
        std::vector<std::string> args;
        std::string shell, cause;
        int status;
    } cases[] = {
        {{"--fps", "10", "--to", "3"},
         stand_in + "'head -c 99999 >/dev/null; echo stand-in quits >&2'" + on_path + plain,
         "stand-in quits",
         1},
        // ffmpeg exits 0 over a file cut short (a disk full at the index).
        {{"--fps", "10", "--to", "3"},
         "real=$(command -v ffmpeg); " + stand_in +
             "\"$real \\\"\\$@\\\"; for a; do f=\\$a; done; truncate -s 30000 \\$f\"" + on_path +
             plain,
         "ninefold.unfinished.",
         1},
        {{"--fps", "10", "--to", "3", "--no-audio"},
         "mkdir bin; export PATH=$PWD/bin; " + plain,
         "ffmpeg not found",
         1},
        {{"--fps", "10", "--to", "3"},
         "mkdir bin; touch bin/ffmpeg; export PATH=$PWD/bin; " + plain,
         "cannot be executed",
         1},
        {{"--fps", "10", "--to", "3"}, "mkdir -p out/ninefold.wav; " + plain, "folder", 1},
        {{"--fps", "10", "--to", "3", "--y4m", "@OUT@/ninefold.mp4"}, plain, "--y4m", 1},
        // The second run into the directory is refused while the first runs.
        {{"--fps", "10", "--to", "20"},
         "\"$@\" & until [ -s out/.ninefold_capture.lock ]; do sleep 0.05; done; \"$@\"; "
         "s=$?; kill -INT $!; wait $!; exit $s",
         "(pid ",
         1},
        {{"--to", "1", "--y4m", "-"}, plain + " >&-", "standard output", 2},
        {{"--fps", "10", "--to", "3"}, "ulimit -f 100; " + plain, std::strerror(EFBIG), 1},
        {{"--fps", "10", "--to", "20"},
         "\"$@\" & until [ -d out ]; do :; done; kill -TERM $!; wait $!",
         "SIGTERM",
         143},
        {{"--fps", "10", "--to", "20", "--png"},
         "\"$@\" & until [ -e out/frame_000002.png ]; do sleep 0.1; done; kill -INT $!; wait $!",
         "interrupted",
         130},
        // 8100 frames at 60 fps reach 135 s, then 100 more: 8201 / 60 s.
        {{"--from", "200"}, plain, "136.683", 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shell + " " + c.args[0] + " " + c.args[1]);
        ToolRun run;
        RunCaptureTool(c.args, &run, c.shell, 120);
        EXPECT_EQ(run.status, c.status) << run.log;
        EXPECT_LT(run.seconds, 30);
        EXPECT_NE(run.log.find(c.cause), std::string::npos) << run.log;
        for (const char* name : {"ninefold.mp4", "ninefold.wav", "contact_sheet.png"})
            EXPECT_FALSE(std::filesystem::is_regular_file(run.out + "/" + name)) << name;
        std::error_code none;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(run.dir, none)) {
            const std::string name = entry.path().filename();
            EXPECT_TRUE(name.find(".unfinished") == std::string::npos &&
                        name.find(".lock") == std::string::npos)
                << name;
        }
    }
}

} // namespace
