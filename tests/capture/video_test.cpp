// A short capture across the change from section 2 to section 3 (32.045 s)
// is one MP4, complete, tagged BT.601, its first picture the frame the
// demo drew; then every way a capture can end, on the real tool (ffmpeg needed).
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

// 30.0 s to 32.3 s at 10 fps, the reference pictures' rate: 24 frames, 2.4 s of
// pictures and of sound.
const std::vector<std::string> kStretch = {"--fps", "10", "--from", "30", "--to", "32.3"};

// key=value lines of one stream ("v:0" or "a:0") of the run's MP4.
std::map<std::string, std::string> Probe(const ToolRun& run, const std::string& stream) {
    EXPECT_EQ(std::system(("ffprobe -v error -count_frames -select_streams " + stream +
                           " -show_streams -of default=nw=1 " + run.out + "/ninefold.mp4 >" +
                           run.dir + "/probe")
                              .c_str()),
              0);
    std::map<std::string, std::string> fields;
    std::istringstream lines(ReadWholeFile(run.dir + "/probe"));
    for (std::string key, value; std::getline(lines, key, '=') && std::getline(lines, value);)
        fields[key] = value;
    return fields;
}

TEST(CaptureVideo, Mp4HoldsEveryFrameTheSoundAndTheDrawnPicture) {
    ToolRun run;
    std::vector<std::string> args = kStretch;
    args.push_back("--png");
    RunCaptureTool(args, &run);
    ASSERT_EQ(run.status, 0) << run.log;
    auto video = Probe(run, "v:0");
    EXPECT_EQ(video["codec_name"], "h264");
    EXPECT_EQ(video["nb_read_frames"], "24");
    EXPECT_NEAR(std::atof(video["duration"].c_str()), 2.4, 0.001);
    for (const char* tag : {"color_space", "color_primaries", "color_transfer"})
        EXPECT_EQ(video[tag], "smpte170m") << tag; // BT.601, as the conversion
    // The sound ends with the last frame faded to silence, not cut.
    EXPECT_EQ(ReadWholeFile(run.out + "/ninefold.wav").substr(44 + 4 * 105839), std::string(4, 0));
    auto audio = Probe(run, "a:0");
    EXPECT_EQ(audio["codec_name"], "aac");
    EXPECT_NEAR(std::atof(audio["duration"].c_str()), 2.4, 0.05); // whole AAC frames

    RgbImage first = MakeRgbImage(800, 600), drawn;
    ASSERT_EQ(std::system(("ffmpeg -v error -i " + run.out +
                           "/ninefold.mp4 -frames:v 1 -f rawvideo -pix_fmt rgb24 " + run.dir +
                           "/first.rgb")
                              .c_str()),
              0);
    const std::string raw = ReadWholeFile(run.dir + "/first.rgb");
    ASSERT_EQ(raw.size(), first.rgb.size());
    first.rgb.assign(raw.begin(), raw.end());
    std::string error;
    // Frame 300 at 10 fps is the one drawn at 30.0 s, the MP4's first.
    ASSERT_TRUE(ReadPng(run.out + "/frame_000300.png", &drawn, &error)) << error;
    // Compared at half size, where the halved colour resolution averages out.
    // H.264 at this quality keeps the mean error within a few levels (a wrong
    // colour matrix moves whole areas by tens); sharp coloured edges can still
    // move single values a long way, so only a few may.
    const RgbImage mp4 = DownscaleBox(first, 2), demo = DownscaleBox(drawn, 2);
    double sum = 0;
    size_t far = 0;
    for (size_t i = 0; i < mp4.rgb.size(); ++i) {
        const int d = std::abs(int(mp4.rgb[i]) - int(demo.rgb[i]));
        sum += d;
        far += d > 32;
    }
    const double mean = sum / double(mp4.rgb.size());
    EXPECT_LT(mean, 4.0) << far << " values off by more than 32";
    EXPECT_LT(far, mp4.rgb.size() / 1000) << "mean difference " << mean;
}

// Exit status, a last line naming the cause, final names only on success
// and an exit in time (the faults: hangs on a full pipe or a failed ffmpeg).
TEST(CaptureVideo, EveryEndIsPromptNamedAndLeavesNoUnfinishedFile) {
    const std::string plain = "exec \"$@\"";
    struct {
        std::vector<std::string> args;
        std::string shell, cause;
        int status;
    } cases[] = {
        // At 1 fps the ending's 100 frames run from 135 to 235 s: 230 s to 235 s.
        {{"--fps", "1", "--from", "230"}, plain, "ninefold.mp4", 0},
        {{"--fps", "10", "--to", "3", "--preset", "nonsense"}, plain, "ffmpeg", 1},
        {{"--fps", "10", "--to", "3"},
         "mkdir bin; printf '#!/bin/sh\\nhead -c 99999 >/dev/null; echo stand-in quits >&2' "
         ">bin/ffmpeg; chmod +x bin/ffmpeg; export PATH=$PWD/bin:$PATH; " +
             plain,
         "stand-in quits",
         1},
        {{"--to", "1", "--y4m", "-"}, plain + " >&-", "standard output", 2},
        {{"--fps", "10", "--to", "3"}, "ulimit -f 100; " + plain, std::strerror(EFBIG), 1},
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
        EXPECT_TRUE(c.status == 0 || run.seconds < 30) << run.seconds; // a failure is prompt
        EXPECT_NE(run.log.find(c.cause), std::string::npos) << run.log;
        for (const char* name : {"ninefold.mp4", "ninefold.wav", "contact_sheet.png"})
            EXPECT_EQ(std::filesystem::exists(run.out + "/" + name), c.status == 0) << name;
        if (c.status == 0) {
            EXPECT_EQ(Probe(run, "v:0")["nb_read_frames"], "6");
            EXPECT_NEAR(std::atof(Probe(run, "a:0")["duration"].c_str()), 6.0, 0.03);
        }
    }
}

} // namespace
