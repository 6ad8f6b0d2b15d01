#include "tools/gen/song.h"

#include <vorbis/vorbisenc.h>

#include <cstdio>

namespace {

bool write_pages(FILE* f, ogg_stream_state& os, bool flush) {
    ogg_page page;
    while (flush ? ogg_stream_flush(&os, &page) : ogg_stream_pageout(&os, &page)) {
        if (std::fwrite(page.header, 1, page.header_len, f) != size_t(page.header_len) ||
            std::fwrite(page.body, 1, page.body_len, f) != size_t(page.body_len))
            return false;
    }
    return true;
}

} // namespace

bool write_ogg(const std::string& path, const std::vector<float>& stereo) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "ninefold_gen: %s: cannot create file\n", path.c_str());
        return false;
    }
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, 2, 44100, 0.4f)) {
        std::fprintf(stderr, "ninefold_gen: %s: Vorbis encoder refuses the settings\n",
                     path.c_str());
        std::fclose(f);
        return false;
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_comment_add_tag(&vc, "TITLE", "ninefold");
    vorbis_comment_add_tag(&vc, "ARTIST", "the ninefold team");
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, 0x9f01d); // fixed serial: same bytes on every run

    ogg_packet head, comm, code;
    vorbis_analysis_headerout(&vd, &vc, &head, &comm, &code);
    ogg_stream_packetin(&os, &head);
    ogg_stream_packetin(&os, &comm);
    ogg_stream_packetin(&os, &code);
    bool ok = write_pages(f, os, true);

    const size_t frames = stereo.size() / 2, chunk = 4096;
    for (size_t pos = 0; ok && pos <= frames; pos += chunk) {
        size_t n = pos < frames ? std::min(chunk, frames - pos) : 0;
        if (n) {
            float** buf = vorbis_analysis_buffer(&vd, int(n));
            for (size_t i = 0; i < n; ++i) {
                buf[0][i] = stereo[2 * (pos + i)];
                buf[1][i] = stereo[2 * (pos + i) + 1];
            }
        }
        vorbis_analysis_wrote(&vd, int(n)); // 0 marks the end of the stream
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet op;
            while (vorbis_bitrate_flushpacket(&vd, &op)) {
                ogg_stream_packetin(&os, &op);
                ok = ok && write_pages(f, os, false);
            }
        }
    }
    ok = ok && write_pages(f, os, true);
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    ok = std::fclose(f) == 0 && ok;
    if (!ok) std::fprintf(stderr, "ninefold_gen: %s: write failed\n", path.c_str());
    return ok;
}
