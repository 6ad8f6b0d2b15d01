// One capture of the demo at 2 fps (the pictures compared depend on the
// rate only through section 2's rotation, the previous frame's t/15),
// checked against reference pictures where only pixels show the result, and
// its soundtrack against the decoded music. CAPTURE_UPDATE_REFERENCES=1
// rewrites the references instead (tools/update_references.sh).
#include "tests/capture/tool_run.h"
#include "tools/capture/rgb_image.h"

#include "platform/audio/audio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

// Demo seconds of the frames compared. Where pictures go and what each call
// is given the timeline test checks; these are the composites: the
// additive ring through mirror, shine and colour split (25), the lit,
// textured scenes under the square blur (50.5), the rocked numbers blurred
// under a sharp picture (82.5), the swaying colour split (120). Section 2's
// split follows the clock within a frame: at 25 s it also shows that the
// capture depends on its virtual clock alone.
const char* const kTimes[] = {"25", "50.5", "82.5", "120"};
// References are stored at half size, box filtered: small files, and
// single-pixel rasterisation noise is averaged down.
const int kScale = 2;
// Largest difference allowed in any channel of any reduced pixel.
const int kTolerance = 3;

class CaptureReference : public ::testing::TestWithParam<const char*> {
  protected:
    // The frames and the soundtrack tests are two suites sharing one run.
    static void SetUpTestSuite() {
        if (ran_) return;
        ran_ = true;
        std::string times;
        for (const char* t : kTimes)
            times += std::string(t) + ",";
        times.pop_back();
        RunCaptureTool({"--fps", "2", "--frames-at", times}, &run_);
    }
    static inline bool ran_ = false;
    static inline ToolRun run_; // its directory is removed at exit
};

TEST_P(CaptureReference, FrameMatchesReference) {
    ASSERT_EQ(run_.status, 0) << run_.log;
    char name[64];
    std::snprintf(name, sizeof name, "at_%07dms.png", int(std::atof(GetParam()) * 1000 + 0.5));
    RgbImage frame, reference;
    std::string error;
    ASSERT_TRUE(ReadPng(run_.out + "/" + name, &frame, &error)) << error;
    ASSERT_EQ(frame.width, 800);
    ASSERT_EQ(frame.height, 600);
    const RgbImage reduced = DownscaleBox(frame, kScale);
    const std::string ref_path = std::string(CAPTURE_REFERENCE_DIR) + "/" + name;
    if (const char* v = std::getenv("CAPTURE_UPDATE_REFERENCES"); v && std::string(v) == "1") {
        ASSERT_TRUE(WritePng(ref_path, reduced, 9, &error)) << error;
        return;
    }
    ASSERT_TRUE(ReadPng(ref_path, &reference, &error))
        << error << " (tools/update_references.sh makes it)";
    ASSERT_EQ(reference.width, reduced.width);
    ASSERT_EQ(reference.height, reduced.height);
    int over = 0, worst = 0;
    for (size_t i = 0; i < reduced.rgb.size(); ++i) {
        int d = std::abs(int(reduced.rgb[i]) - int(reference.rgb[i]));
        worst = std::max(worst, d);
        over += d > kTolerance;
    }
    if (over > 0) {
        const std::string kept = MakeTempDir() + "/" + name; // kept for a look
        WritePng(kept, reduced, 6, &error);
        ADD_FAILURE() << name << ": " << over << " channel values differ by more than "
                      << kTolerance << " (largest " << worst << "); this capture is in " << kept;
    }
}

INSTANTIATE_TEST_SUITE_P(Sections, CaptureReference, ::testing::ValuesIn(kTimes));

int16_t WavSample(const std::string& wav, int64_t frame, int channel) {
    size_t at = 44 + size_t(frame) * 4 + size_t(channel) * 2;
    return int16_t(uint16_t(uint8_t(wav[at])) | uint16_t(uint8_t(wav[at + 1]) << 8));
}

// The music is requested at the start mark and the mixer starts a playback
// 20 ms (882 samples) after the request; at full volume it plays the decoded
// samples unchanged. The sound runs to the end of the last frame's interval:
// frame 240 (120 s) ends at 120500 ms, sample 5314050.
TEST_F(CaptureReference, SoundtrackIsTheMusicInStepWithThePictures) {
    ASSERT_EQ(run_.status, 0) << run_.log;
    const std::string wav = ReadWholeFile(run_.out + "/ninefold.wav");
    ASSERT_EQ(wav.size(), 44u + 5314050u * 4u);
    std::unique_ptr<TAudioSample> music(
        LoadAudioSample((std::string(CAPTURE_DATA_PARENT) + "/data/music.ogg").c_str()));
    ASSERT_TRUE(music && music->rate == 44100 && music->channels == 2);
    int sounding = 0;
    for (int64_t i = 0; i < 882 + 44100; ++i)
        for (int c = 0; c < 2; ++c) {
            const int m = i < 882 ? 0 : music->samples[(i - 882) * 2 + c];
            ASSERT_EQ(WavSample(wav, i, c), m) << "sample " << i;
            sounding += m != 0;
        }
    EXPECT_GT(sounding, 40000); // the music does sound in its first second
}

} // namespace
