// The default output: a short capture across the change from section 2 to
// section 3 (at 32.045 s) comes out as one MP4 whose pictures and sound
// ffprobe finds complete, and whose first picture is the reference frame.
#include "tests/capture/tool_run.h"
#include "tools/capture/rgb_image.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>

namespace {

// 30.0 s to 32.3 s at 10 fps, the reference pictures' rate: 24 frames, 2.4 s of
// pictures and of sound.
const std::vector<std::string> kStretch = {"--fps", "10", "--from", "30", "--to", "32.3"};

// key=value lines of one stream ("v:0" or "a:0") of the run's MP4.
std::map<std::string, std::string> Probe(const ToolRun& run, const std::string& stream) {
    EXPECT_EQ(std::system(("ffprobe -v error -count_frames -select_streams " + stream +
                           " -show_entries stream=codec_name,nb_read_frames,duration -of "
                           "default=nw=1 " +
                           run.out + "/ninefold.mp4 >" + run.dir + "/probe")
                              .c_str()),
              0);
    std::map<std::string, std::string> fields;
    std::istringstream lines(ReadFileBytes(run.dir + "/probe"));
    for (std::string key, value; std::getline(lines, key, '=') && std::getline(lines, value);)
        fields[key] = value;
    return fields;
}

TEST(CaptureVideo, Mp4HoldsEveryFrameTheSoundAndTheReferencePicture) {
    if (std::system("command -v ffmpeg >/dev/null && command -v ffprobe >/dev/null") != 0)
        GTEST_SKIP() << "ffmpeg is not installed";
    ToolRun run;
    RunCaptureTool(kStretch, &run);
    ASSERT_EQ(run.status, 0) << run.log;
    auto video = Probe(run, "v:0");
    EXPECT_EQ(video["codec_name"], "h264");
    EXPECT_EQ(video["nb_read_frames"], "24");
    EXPECT_NEAR(std::atof(video["duration"].c_str()), 2.4, 0.001);
    auto audio = Probe(run, "a:0");
    EXPECT_EQ(audio["codec_name"], "aac");
    EXPECT_NEAR(std::atof(audio["duration"].c_str()), 2.4, 0.05); // whole AAC frames

    RgbImage first = MakeRgbImage(800, 600), reference;
    ASSERT_EQ(std::system(("ffmpeg -v error -i " + run.out +
                           "/ninefold.mp4 -frames:v 1 -f rawvideo "
                           "-pix_fmt rgb24 " +
                           run.dir + "/first.rgb")
                              .c_str()),
              0);
    const std::string raw = ReadFileBytes(run.dir + "/first.rgb");
    ASSERT_EQ(raw.size(), first.rgb.size());
    first.rgb.assign(raw.begin(), raw.end());
    std::string error;
    ASSERT_TRUE(
        ReadPng(std::string(CAPTURE_REFERENCE_DIR) + "/at_0030000ms.png", &reference, &error))
        << error;
    // References are half size. H.264 at this quality keeps the mean error
    // within a few levels; halved colour resolution can still move single
    // values at sharp coloured edges a long way, so only a few may.
    const RgbImage reduced = DownscaleBox(first, 2);
    ASSERT_EQ(reduced.rgb.size(), reference.rgb.size());
    double sum = 0;
    size_t far = 0;
    for (size_t i = 0; i < reduced.rgb.size(); ++i) {
        const int d = std::abs(int(reduced.rgb[i]) - int(reference.rgb[i]));
        sum += d;
        far += d > 32;
    }
    const double mean = sum / double(reduced.rgb.size());
    EXPECT_LT(mean, 4.0) << far << " values off by more than 32";
    EXPECT_LT(far, reduced.rgb.size() / 1000) << "mean difference " << mean;
}

} // namespace
