// The real binary from start to finish, sound written to a file.
#include "tests/demo/child_run.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <sstream>

TEST(Binary, PlaysTheWholeTimelineAndExitsZero) {
    Scratch s;
    const std::string wav = s.dir() + "/sound.raw";
    ChildResult r = s.Run({"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + wav}, 360);
    ASSERT_TRUE(r.exited) << "still running after 360 s; stderr: " << r.err;
    EXPECT_EQ(r.status, 0);
    // SDL's disk driver announces itself; nothing else may appear.
    std::string err, line;
    std::istringstream lines(r.err);
    while (std::getline(lines, line))
        if (line.rfind("CRITICAL:", 0) != 0) err += line + "\n";
    EXPECT_EQ(err, "");
    struct stat st = {};
    ASSERT_EQ(stat(wav.c_str(), &st), 0) << "no sound file";
    // 135 s of 44100 Hz stereo S16 is 23.8 MB; the disk driver writes at
    // its own pace, so ask only for a good part of it.
    EXPECT_GT(st.st_size, 10 * 1000 * 1000);
    EXPECT_GT(r.seconds, 135.0) << "the timeline ends at 135 s of demo time";
    std::printf("ran %.1f s, wrote %lld bytes of sound\n", r.seconds, (long long)st.st_size);
}
