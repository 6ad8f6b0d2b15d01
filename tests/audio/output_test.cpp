// A generated sound's way out: encoded, its setup header's codebooks written
// in the other forms an encoder may choose, decoded with its length, rate,
// channels and signal kept (damaged files are the fuzzer's), then played
// through the real SDL output and recorded by SDL's disk driver (raw S16
// stereo), and with no device through the silent Null driver.
#include "platform/audio/mixer.h"
#include "tests/support/child_process.h"
#include "tools/vorbis_write.h"

#include <gtest/gtest.h>
#include <ogg/ogg.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

namespace {

// Vorbis packs fields from the lowest bit of each byte up.
struct Bits {
    std::vector<unsigned char> bytes;
    size_t at = 0;
    uint32_t Read(int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i, ++at)
            if (at < bytes.size() * 8) v |= uint32_t(bytes[at >> 3] >> (at & 7) & 1) << i;
        return v;
    }
    void Write(uint32_t v, int n) {
        for (int i = 0; i < n; ++i, ++at) {
            if (at % 8 == 0) bytes.push_back(0);
            bytes.back() |= (v >> i & 1) << (at & 7);
        }
    }
};

int ILog(uint32_t x) {
    int n = 0;
    for (; x; x >>= 1)
        ++n;
    return n;
}

struct CodebookForms {
    int lookup2 = 0, ordered = 0; // books changed into each form
};

// Lookup type 1 tables become the equivalent type 2 (every entry's values
// listed), lengths that rise in entry order become ordered runs.
void CopyBook(Bits& r, Bits& w, CodebookForms* done) {
    w.Write(r.Read(24), 24); // sync
    const uint32_t dimensions = r.Read(16), entries = r.Read(24);
    w.Write(dimensions, 16), w.Write(entries, 24);
    std::vector<uint32_t> length(entries); // 0: unused entry
    if (r.Read(1)) {
        for (uint32_t e = 0, l = r.Read(5) + 1; e < entries; ++l)
            for (uint32_t n = r.Read(ILog(entries - e)); n-- && e < entries;)
                length[e++] = l;
    } else {
        const bool sparse = r.Read(1);
        for (uint32_t& l : length)
            l = !sparse || r.Read(1) ? r.Read(5) + 1 : 0;
    }
    const bool ordered = entries && length[0] && std::is_sorted(length.begin(), length.end());
    done->ordered += ordered;
    w.Write(ordered, 1);
    if (ordered) { // runs of one length each, from the first length up
        w.Write(length[0] - 1, 5);
        for (uint32_t e = 0, l = length[0]; e < entries; ++l) {
            const auto n = uint32_t(std::count(length.begin() + e, length.end(), l));
            w.Write(n, ILog(entries - e)), e += n;
        }
    } else {
        const bool sparse = std::count(length.begin(), length.end(), 0u) > 0;
        w.Write(sparse, 1);
        for (uint32_t l : length) {
            if (sparse) w.Write(l > 0, 1);
            if (l) w.Write(l - 1, 5);
        }
    }
    const uint32_t lookup = r.Read(4);
    w.Write(lookup ? 2 : 0, 4);
    if (!lookup) return;
    w.Write(r.Read(32), 32), w.Write(r.Read(32), 32); // minimum and delta
    const int bits = int(r.Read(4)) + 1;
    w.Write(bits - 1, 4), w.Write(r.Read(1), 1);
    uint64_t count = uint64_t(entries) * dimensions;
    if (lookup == 1) // the largest count with count^dimensions <= entries
        for (count = 0; std::pow(double(count + 1), double(dimensions)) <= entries;)
            ++count;
    std::vector<uint32_t> values(count);
    for (uint32_t& v : values)
        v = r.Read(bits);
    done->lookup2 += lookup == 1;
    // Type 1 picks entry e's value in dimension d as digit d of e in base count.
    for (uint64_t e = 0; e < entries; ++e)
        for (uint64_t d = 0, div = 1; d < dimensions; ++d, div *= count)
            w.Write(values[lookup == 1 ? e / div % count : e * dimensions + d], bits);
}

std::vector<unsigned char> RewriteSetup(const ogg_packet& p, CodebookForms* done) {
    Bits r{{p.packet + 7, p.packet + p.bytes}}, w{{p.packet, p.packet + 7}, 56}; // "vorbis"
    const uint32_t books = r.Read(8) + 1;
    w.Write(books - 1, 8);
    for (uint32_t b = 0; b < books; ++b)
        CopyBook(r, w, done);
    while (r.at < r.bytes.size() * 8) // floors, residues, mappings and modes as they were
        w.Write(r.Read(1), 1);
    return w.bytes;
}

bool RewriteCodebooks(const std::string& from, const std::string& to, CodebookForms* done) {
    const std::string in = ReadWholeFile(from);
    std::string out;
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    std::memcpy(ogg_sync_buffer(&sync, long(in.size())), in.data(), in.size());
    ogg_sync_wrote(&sync, long(in.size()));
    ogg_stream_state in_stream, out_stream;
    ogg_stream_init(&in_stream, VorbisSettings().serial);
    ogg_stream_init(&out_stream, VorbisSettings().serial);
    ogg_page page;
    int headers = 0, pages = 0;
    auto put = [&] {
        out.append(reinterpret_cast<const char*>(page.header), size_t(page.header_len));
        out.append(reinterpret_cast<const char*>(page.body), size_t(page.body_len));
        ++pages;
    };
    while (ogg_sync_pageout(&sync, &page) == 1) {
        if (headers == 3) { // audio pages as they were, numbered after the new headers
            for (int i = 0; i < 4; ++i)
                page.header[18 + i] = (unsigned char)(pages >> (8 * i));
            ogg_page_checksum_set(&page);
            put();
            continue;
        }
        ogg_stream_pagein(&in_stream, &page);
        ogg_packet p;
        std::vector<unsigned char> setup;
        while (headers < 3 && ogg_stream_packetout(&in_stream, &p) == 1) {
            if (++headers == 3) {
                setup = RewriteSetup(p, done);
                p.packet = setup.data(), p.bytes = long(setup.size());
            }
            ogg_stream_packetin(&out_stream, &p); // copies the bytes
            // The first header alone on its page, the audio on pages of its own.
            while (headers != 2 && ogg_stream_flush(&out_stream, &page))
                put();
        }
    }
    ogg_stream_clear(&in_stream), ogg_stream_clear(&out_stream);
    ogg_sync_clear(&sync);
    return headers == 3 && bool(std::ofstream(to, std::ios::binary) << out);
}

// The first frame with a side not silent.
long FirstSound(const int16_t* samples, long frames) {
    long k = 0;
    while (k < frames && !samples[2 * k] && !samples[2 * k + 1])
        ++k;
    return k;
}

TEST(Audio, EveryCodebookFormDecodesToTheSignalThatPlaysOutWhole) {
    // A different pitch on each side, so swapped sides fail too. At quality 0
    // the encoder's books include one whose lengths rise.
    const int kFrames = 12345;
    std::vector<float> pcm(2 * kFrames);
    for (size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = 0.5f * float(std::sin(2 * M_PI * (440 + 220 * (i % 2)) * double(i / 2) / 44100 +
                                       0.7 + double(i % 2)));
    TempDir tmp;
    const std::string plain = tmp.Path("plain.ogg"), rewritten = tmp.Path("forms.ogg");
    VorbisSettings settings;
    settings.quality = 0.0f;
    std::string error;
    ASSERT_TRUE(WriteVorbis(plain, pcm.data(), kFrames, settings, &error)) << error;
    CodebookForms done;
    ASSERT_TRUE(RewriteCodebooks(plain, rewritten, &done));
    EXPECT_GT(done.lookup2, 0) << "books turned from lookup type 1 to 2";
    EXPECT_GT(done.ordered, 0) << "books written as ordered lengths";
    std::unique_ptr<TAudioSample> want(LoadAudioSample(plain.c_str()));
    ASSERT_TRUE(want) << SoundLoadError();
    ASSERT_EQ(want->length, kFrames);
    EXPECT_EQ(want->rate, 44100);
    EXPECT_EQ(want->channels, 2);
    for (size_t c = 0; c < 2; ++c) {
        double xy = 0, xx = 0, yy = 0;
        for (size_t i = c; i < pcm.size(); i += 2) {
            xy += want->samples[i] * double(pcm[i]);
            xx += double(want->samples[i]) * want->samples[i];
            yy += double(pcm[i]) * pcm[i];
        }
        EXPECT_GT(xy / std::sqrt(xx * yy), 0.99) << "normalised correlation, side " << c;
    }
    TAudioSample* got = LoadAudioSample(rewritten.c_str());
    ASSERT_TRUE(got) << SoundLoadError();
    std::unique_ptr<TSound> sound(CreateSound(got));
    ASSERT_TRUE(sound);
    ASSERT_EQ(got->length, kFrames);
    EXPECT_TRUE(std::equal(got->samples, got->samples + 2 * kFrames, want->samples));

    const std::string recording = tmp.Path("recording.raw");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", recording.c_str(), 1);
    SetAudioDriver("SDL"); // the Null fallback would record nothing
    // Cued, set and resumed as the ending does, while the output thread mixes.
    TChannel ch = CueSound(sound.get());
    SetChannelVolume(ch, 1.0f);
    ResumeChannel(ch);
    ASSERT_NE(ch.handle, 0u);
    // Until the output thread has played the sound out (a condition, not a time).
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (ChannelPlaying(ch) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(ChannelPlaying(ch), 0) << "the output never finished the sound";
    ShutdownAudio();
    const std::string bytes = ReadWholeFile(recording);
    const auto* recorded = reinterpret_cast<const int16_t*>(bytes.data());
    const long frames = long(bytes.size() / 4), start = FirstSound(recorded, frames),
               lead = FirstSound(got->samples, kFrames);
    ASSERT_GE(frames - start, kFrames - lead) << "recording of " << frames << " frames stops early";
    EXPECT_TRUE(
        std::equal(got->samples + 2 * lead, got->samples + 2 * kFrames, recorded + 2 * start));

    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    SetAudioDriver("SDL");
    EXPECT_STREQ(AudioDriverName(), "Null");
    ch = PlaySound(sound.get());
    SetChannelVolume(ch, 0.5f);
    EXPECT_EQ(ChannelPlaying(ch), 0);
    ShutdownAudio();
}

} // namespace
