#include "tools/gen/song.h"

#include "tools/vorbis_write.h"

#include <cstdio>

bool write_ogg(const std::string& path, const std::vector<float>& stereo) {
    VorbisSettings settings;
    settings.quality = 0.4f;
    settings.serial = 0x9f01d; // fixed serial: same bytes on every run
    settings.tags = {{"TITLE", "ninefold"}, {"ARTIST", "the ninefold team"}};
    std::string error;
    if (WriteVorbis(path, stereo.data(), stereo.size() / 2, settings, &error)) return true;
    std::fprintf(stderr, "ninefold_gen: %s\n", error.c_str());
    return false;
}
