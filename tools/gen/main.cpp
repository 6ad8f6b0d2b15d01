// ninefold_gen: writes every file of the demo's data/ directory.
//   ninefold_gen OUTDIR [--sheet FILE] [--only pictures|scenes|music]
// Deterministic: the same bytes on every run.
#include "tools/gen/pictures.h"
#include "tools/gen/scenes.h"
#include "tools/gen/song.h"
#include "tools/gen/text.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>

#ifndef NINEFOLD_FONT_DIR
#define NINEFOLD_FONT_DIR "/usr/share/fonts/truetype/dejavu/"
#endif

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: ninefold_gen OUTDIR [--sheet FILE] [--only WHAT]\n");
        return 2;
    }
    std::string dir = argv[1], sheet, only;
    for (int i = 2; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--sheet"))
            sheet = argv[i + 1];
        else if (!std::strcmp(argv[i], "--only"))
            only = argv[i + 1];
    }
    mkdir(dir.c_str(), 0755);
    set_font_dir(NINEFOLD_FONT_DIR);
    bool ok = true;
    if (only.empty() || only == "pictures") ok = ok && write_pictures(dir);
    if (ok && (only.empty() || only == "scenes")) ok = write_scenes(dir);
    if (ok && (only.empty() || only == "music")) ok = write_ogg(dir + "/music.ogg", render_song());
    if (ok && !sheet.empty()) ok = write_png(sheet, make_contact_sheet(), false);
    return ok ? 0 : 1;
}
