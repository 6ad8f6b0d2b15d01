// The generated soundtrack lasts the whole demo, in the format the output plays.
#include "platform/audio/audio.h"

#include <gtest/gtest.h>

#include <memory>

TEST(Content, SoundtrackLastsTheDemo) {
    std::unique_ptr<TAudioSample> s(LoadAudioSample("data/music.ogg"));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->rate, 44100);
    EXPECT_EQ(s->channels, 2);
    // Section 8 ends at 135 s; the ending's restarts follow.
    EXPECT_GT(s->length / 44100.0, 135.5);
}
