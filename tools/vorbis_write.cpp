#include "tools/vorbis_write.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cstdio>

namespace {

bool write_pages(FILE* f, ogg_stream_state& os, bool flush) {
    ogg_page page;
    while (flush ? ogg_stream_flush(&os, &page) : ogg_stream_pageout(&os, &page)) {
        if (std::fwrite(page.header, 1, size_t(page.header_len), f) != size_t(page.header_len) ||
            std::fwrite(page.body, 1, size_t(page.body_len), f) != size_t(page.body_len))
            return false;
    }
    return true;
}

bool encode(FILE* f, vorbis_info& vi, const float* pcm, size_t frames, const VorbisSettings& s) {
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    for (const auto& tag : s.tags)
        vorbis_comment_add_tag(&vc, tag.first.c_str(), tag.second.c_str());
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, s.serial);

    ogg_packet head, comm, code;
    vorbis_analysis_headerout(&vd, &vc, &head, &comm, &code);
    ogg_stream_packetin(&os, &head);
    ogg_stream_packetin(&os, &comm);
    ogg_stream_packetin(&os, &code);
    bool ok = write_pages(f, os, true);

    // The last round writes 0 frames, which marks the end of the stream and
    // makes the encoder give out the samples it still holds.
    const size_t chunk = 4096;
    for (size_t pos = 0;;) {
        size_t n = std::min(chunk, frames - pos);
        if (n) {
            float** buf = vorbis_analysis_buffer(&vd, int(n));
            for (size_t i = 0; i < n; ++i)
                for (int c = 0; c < s.channels; ++c)
                    buf[c][i] = pcm[(pos + i) * s.channels + c];
        }
        vorbis_analysis_wrote(&vd, int(n));
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet op;
            while (vorbis_bitrate_flushpacket(&vd, &op)) {
                ogg_stream_packetin(&os, &op);
                ok = ok && write_pages(f, os, false);
            }
        }
        if (n == 0 || !ok) break;
        pos += n;
    }
    ok = ok && write_pages(f, os, true);
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    return ok;
}

} // namespace

bool WriteVorbis(const std::string& path, const float* interleaved, size_t frames,
                 const VorbisSettings& settings, std::string* error) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        *error = path + ": cannot create file";
        return false;
    }
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, settings.channels, settings.rate, settings.quality)) {
        vorbis_info_clear(&vi);
        std::fclose(f);
        *error = path + ": Vorbis encoder refuses the settings";
        return false;
    }
    bool ok = encode(f, vi, interleaved, frames, settings);
    vorbis_info_clear(&vi);
    ok = std::fclose(f) == 0 && ok;
    if (!ok) *error = path + ": write failed";
    return ok;
}
