// The setup header's codebooks in every form an encoder may write: the file
// rewritten into equivalent forms passes the loader's check of what the
// decoder will allocate, and decodes to the same samples.
#include "platform/audio/audio.h"
#include "tests/audio/ogg_writer.h"
#include "tools/vorbis_write.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>

TEST(Codebooks, EquivalentFormsLoadAndDecodeAlike) {
    const std::string plain = TempAudioPath("plain.ogg"), rewritten = TempAudioPath("forms.ogg");
    // At this quality the encoder's books include one whose lengths rise.
    std::vector<float> pcm(2 * 44100);
    for (size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = 0.3f * std::sin(float(i) * 0.05f);
    VorbisSettings settings;
    settings.quality = 0.0f;
    std::string error;
    ASSERT_TRUE(WriteVorbis(plain, pcm.data(), 44100, settings, &error)) << error;
    CodebookForms done;
    ASSERT_TRUE(RewriteCodebooks(plain, rewritten, &done));
    EXPECT_GT(done.lookup2, 0) << "books turned from lookup type 1 to 2";
    EXPECT_GT(done.ordered, 0) << "books written as ordered lengths";
    std::unique_ptr<TAudioSample> want(LoadAudioSample(plain.c_str()));
    std::unique_ptr<TAudioSample> got(LoadAudioSample(rewritten.c_str()));
    std::remove(plain.c_str());
    std::remove(rewritten.c_str());
    ASSERT_TRUE(want);
    ASSERT_TRUE(got) << SoundLoadError();
    ASSERT_EQ(got->length, want->length);
    EXPECT_TRUE(std::equal(got->samples, got->samples + 2 * got->length, want->samples));
}
