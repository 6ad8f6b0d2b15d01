#include "tests/audio/ogg_writer.h"

#include "tools/vorbis_write.h"

#include <gtest/gtest.h>
#include <ogg/ogg.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>

std::vector<int16_t> SynthesizePcm(int frames, int amplitude, double base_hz) {
    std::vector<int16_t> pcm(size_t(frames) * 2);
    for (size_t i = 0; i < pcm.size(); ++i) {
        const double hz = base_hz * (1.0 + 0.5 * double(i % 2)), k = double(i / 2);
        pcm[i] =
            int16_t(std::lround(amplitude * std::sin(2 * M_PI * hz * k / 44100 + 0.7 + i % 2)));
    }
    return pcm;
}

bool WriteOgg(const std::string& path, const std::vector<int16_t>& pcm) {
    std::vector<float> samples(pcm.begin(), pcm.end());
    for (float& s : samples)
        s /= 32768.0f;
    VorbisSettings settings; // stereo, 44100 Hz
    settings.quality = 0.6f;
    std::string error;
    return WriteVorbis(path, samples.data(), pcm.size() / 2, settings, &error);
}

namespace {

// Vorbis packs fields from the lowest bit of each byte up.
struct BitReader {
    const unsigned char* p;
    size_t bits, at = 0;
    uint32_t Read(int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i, ++at)
            if (at < bits) v |= uint32_t(p[at >> 3] >> (at & 7) & 1) << i;
        return v;
    }
};

struct BitWriter {
    std::vector<unsigned char> bytes;
    void Write(uint32_t v, int n) {
        for (int i = 0; i < n; ++i, ++at) {
            if (at % 8 == 0) bytes.push_back(0);
            bytes.back() |= (v >> i & 1) << (at & 7);
        }
    }
    size_t at = 0;
};

int ILog(uint32_t x) {
    int n = 0;
    for (; x; x >>= 1)
        ++n;
    return n;
}

// The largest r with r^dimensions <= entries.
uint32_t Lookup1Values(uint32_t entries, uint32_t dimensions) {
    uint32_t r = 0;
    while (std::pow(double(r + 1), double(dimensions)) <= entries)
        ++r;
    return r;
}

void CopyBook(BitReader& r, BitWriter& w, CodebookForms* done) {
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
    w.Write(ordered, 1);
    if (ordered) { // runs of one length each, from the first length up
        done->ordered++;
        w.Write(length[0] - 1, 5);
        for (uint32_t e = 0, l = length[0]; e < entries; ++l) {
            uint32_t n = 0;
            while (e + n < entries && length[e + n] == l)
                ++n;
            w.Write(n, ILog(entries - e));
            e += n;
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
    w.Write(lookup == 1 ? 2 : lookup, 4);
    if (lookup != 1 && lookup != 2) return;
    w.Write(r.Read(32), 32), w.Write(r.Read(32), 32); // minimum and delta
    const int bits = int(r.Read(4)) + 1;
    w.Write(bits - 1, 4), w.Write(r.Read(1), 1);
    const uint64_t count =
        lookup == 1 ? Lookup1Values(entries, dimensions) : uint64_t(entries) * dimensions;
    std::vector<uint32_t> values(count);
    for (uint32_t& v : values)
        v = r.Read(bits);
    if (lookup == 2) {
        for (uint32_t v : values)
            w.Write(v, bits);
        return;
    }
    // Type 1 picks entry e's value in dimension d as digit d of e in base count.
    done->lookup2++;
    for (uint64_t e = 0; e < entries; ++e)
        for (uint64_t d = 0, div = 1; d < dimensions; ++d, div *= count)
            w.Write(values[e / div % count], bits);
}

std::vector<unsigned char> RewriteSetup(const ogg_packet& p, CodebookForms* done) {
    BitWriter w;
    w.bytes.assign(p.packet, p.packet + 7); // type and "vorbis"
    w.at = 56;
    BitReader r{p.packet + 7, size_t(p.bytes - 7) * 8};
    const uint32_t books = r.Read(8) + 1;
    w.Write(books - 1, 8);
    for (uint32_t b = 0; b < books; ++b)
        CopyBook(r, w, done);
    while (r.at < r.bits) // floors, residues, mappings and modes as they were
        w.Write(r.Read(1), 1);
    return w.bytes;
}

bool WritePage(std::ofstream& out, const ogg_page& page) {
    out.write(reinterpret_cast<const char*>(page.header), page.header_len);
    out.write(reinterpret_cast<const char*>(page.body), page.body_len);
    return bool(out);
}

} // namespace

bool RewriteCodebooks(const std::string& from, const std::string& to, CodebookForms* done) {
    std::ifstream in(from, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    std::ofstream out(to, std::ios::binary);
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    std::memcpy(ogg_sync_buffer(&sync, long(bytes.size())), bytes.data(), bytes.size());
    ogg_sync_wrote(&sync, long(bytes.size()));
    ogg_stream_state in_stream, out_stream;
    ogg_page page;
    int headers = 0, pages = 0;
    bool ok = !bytes.empty() && bool(out);
    while (ok && ogg_sync_pageout(&sync, &page) == 1) {
        if (pages == 0 && headers == 0) {
            ogg_stream_init(&in_stream, ogg_page_serialno(&page));
            ogg_stream_init(&out_stream, ogg_page_serialno(&page));
        }
        if (headers == 3) { // audio pages as they were, numbered after the new headers
            for (int i = 0; i < 4; ++i)
                page.header[18 + i] = (unsigned char)(pages >> (8 * i));
            ogg_page_checksum_set(&page);
            ok = WritePage(out, page), ++pages;
            continue;
        }
        ogg_stream_pagein(&in_stream, &page);
        ogg_packet p;
        while (headers < 3 && ogg_stream_packetout(&in_stream, &p) == 1) {
            std::vector<unsigned char> setup;
            if (++headers == 3) {
                setup = RewriteSetup(p, done);
                p.packet = setup.data(), p.bytes = long(setup.size());
            }
            ogg_stream_packetin(&out_stream, &p); // copies the bytes
            // The first header alone on its page, the audio on pages of its own.
            ogg_page header_page;
            while (headers != 2 && ogg_stream_flush(&out_stream, &header_page))
                ok = ok && WritePage(out, header_page), ++pages;
        }
    }
    if (pages) ogg_stream_clear(&in_stream), ogg_stream_clear(&out_stream);
    ogg_sync_clear(&sync);
    return ok && headers == 3;
}

std::string TempAudioPath(const std::string& name) {
    return testing::TempDir() + "audio_" + std::to_string(getpid()) + "_" + name;
}

std::unique_ptr<TSound> MakeSound(const std::string& name, int frames, int amplitude,
                                  double base_hz) {
    std::string path = TempAudioPath(name + ".ogg");
    if (!WriteOgg(path, SynthesizePcm(frames, amplitude, base_hz))) return nullptr;
    std::unique_ptr<TSound> sound(LoadSound(path.c_str(), 0));
    std::remove(path.c_str());
    return sound;
}
