#include "tests/audio/ogg_writer.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstdio>

std::vector<int16_t> SynthesizePcm(int frames, int channels, int rate, int amplitude,
                                   double base_hz) {
    std::vector<int16_t> pcm(size_t(frames) * size_t(channels));
    for (int i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            double hz = base_hz * (1.0 + 0.5 * c);
            double phase = 2.0 * M_PI * hz * i / rate + 0.7 + c;
            pcm[size_t(i) * channels + c] = int16_t(std::lround(amplitude * std::sin(phase)));
        }
    }
    return pcm;
}

namespace {

bool WritePages(ogg_stream_state& os, FILE* file, bool flush) {
    ogg_page page;
    while (flush ? ogg_stream_flush(&os, &page) : ogg_stream_pageout(&os, &page)) {
        if (std::fwrite(page.header, 1, size_t(page.header_len), file) != size_t(page.header_len))
            return false;
        if (std::fwrite(page.body, 1, size_t(page.body_len), file) != size_t(page.body_len))
            return false;
    }
    return true;
}

bool Encode(FILE* file, vorbis_info& vi, const std::vector<int16_t>& pcm, int channels) {
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, 1234);
    ogg_packet header, comments, codebooks;
    vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
    ogg_stream_packetin(&os, &header);
    ogg_stream_packetin(&os, &comments);
    ogg_stream_packetin(&os, &codebooks);
    bool ok = WritePages(os, file, true);
    auto drain = [&] {
        while (ok && vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet packet;
            while (ok && vorbis_bitrate_flushpacket(&vd, &packet)) {
                ogg_stream_packetin(&os, &packet);
                ok = WritePages(os, file, false);
            }
        }
    };
    const int frames = int(pcm.size()) / channels;
    for (int at = 0; ok && at < frames; at += 1024) {
        int n = std::min(1024, frames - at);
        float** buffer = vorbis_analysis_buffer(&vd, n);
        for (int i = 0; i < n; ++i)
            for (int c = 0; c < channels; ++c)
                buffer[c][i] = pcm[size_t(at + i) * channels + c] / 32768.0f;
        vorbis_analysis_wrote(&vd, n);
        drain();
    }
    vorbis_analysis_wrote(&vd, 0); // end of stream
    drain();
    ok = ok && WritePages(os, file, true);
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    return ok;
}

} // namespace

bool WriteOgg(const std::string& path, const std::vector<int16_t>& pcm, int channels, int rate) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    vorbis_info vi;
    vorbis_info_init(&vi);
    bool ok =
        vorbis_encode_init_vbr(&vi, channels, rate, 0.6f) == 0 && Encode(file, vi, pcm, channels);
    vorbis_info_clear(&vi);
    return std::fclose(file) == 0 && ok;
}

std::string TempAudioPath(const std::string& name) {
    return testing::TempDir() + "audio_" + std::to_string(getpid()) + "_" + name;
}

std::unique_ptr<TSound> MakeSound(const std::string& name, int frames, int channels, int rate,
                                  int amplitude, int flags, double base_hz) {
    std::string path = TempAudioPath(name + ".ogg");
    if (!WriteOgg(path, SynthesizePcm(frames, channels, rate, amplitude, base_hz), channels, rate))
        return nullptr;
    std::unique_ptr<TSound> sound(LoadSound(path.c_str(), flags));
    std::remove(path.c_str());
    return sound;
}
