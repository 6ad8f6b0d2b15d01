// Start-up: display, centred 2D coordinates, effect and scene set-up, then
// every resource of the run before the first frame.
#include "demo/timeline.h"

#include "fx/fx.h"
#include "platform/audio/audio.h"
#include "platform/datadir.h"
#include "platform/draw2d.h"
#include "platform/graphics.h"
#include "scene/scene.h"

#include <GL/gl.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// One line naming the picture: missing, or present but not a picture that loads.
void ReportPictureFailure(const char* path) {
    std::FILE* f = std::fopen(path, "rb");
    if (!f) {
        std::fprintf(stderr, "ninefold: %s: cannot open picture: %s\n", path, std::strerror(errno));
        return;
    }
    std::fclose(f);
    std::fprintf(stderr, "ninefold: %s: cannot load picture\n", path);
}

bool LoadPicture(Demo& d, int slot) {
    char path[32];
    std::snprintf(path, sizeof path, "data/img%02d.png", slot);
    d.images[slot] = LoadImage(path, -1);
    if (!d.images[slot]) ReportPictureFailure(path);
    return d.images[slot] != nullptr;
}

} // namespace

bool StartUp(Demo& d) {
    SetGraphicsDriver(GL2DDriver(), 2);
    Graphics(800, 600, 32, 0, 10);
    HideMouse();

    // Centred coordinates, y down: the 2D layer sets its projection only
    // when the display opens, so this one holds for the whole run.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-400, 400, 300, -300, 0, 1000);
    glMatrixMode(GL_MODELVIEW);

    set_path("data/");
    fx_init(800, 600);
    SetBlend(kAlphaBlend);
    SetAlpha(1.0f);

    // Scene 1 is tested before scene 2 is tried, both before anything else.
    // The scene loader names the file and the fault itself; started where no
    // data can be found, the line says where the process entry looked.
    if (DataDirectoryMissing()) {
        std::fprintf(stderr, "ninefold: data/scene1.obj: not found (looked in %s)\n",
                     DataDirectoriesTried());
        return false;
    }
    d.scene1 = load_scene("scene1.obj");
    if (!d.scene1) return false;
    d.scene2 = load_scene("scene2.obj");
    if (!d.scene2) return false;

    // The sound loader names the file itself; the picture loader does not.
    d.soundtrack = LoadSound("data/music.ogg", 0);
    if (!d.soundtrack) return false;

    for (int slot = 0; slot <= 23; ++slot) {
        if (!LoadPicture(d, slot)) return false;
        if (slot == 4) MidHandleImage(d.images[4]);
    }
    AutoMidHandle(1);
    for (int slot = 24; slot <= 28; ++slot) {
        if (!LoadPicture(d, slot)) return false;
        d.numbers[slot - 24] = d.images[slot];
    }
    return LoadPicture(d, 29);
}
