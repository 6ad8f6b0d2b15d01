// Start-up: display, centred 2D coordinates, effect and scene set-up, then
// every resource of the run before the first frame.
#include "demo/timeline.h"

#include "fx/fx.h"
#include "platform/audio/audio.h"
#include "platform/budget.h"
#include "platform/datadir.h"
#include "platform/draw2d.h"
#include "platform/graphics.h"
#include "scene/scene.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <string>

namespace {

// Control characters as \xNN: C0, DEL, and C1 as UTF-8 encodes it, or as a
// byte outside a well-formed UTF-8 sequence. A name read from a data file can
// then neither drive the terminal nor break the message into several lines.
std::string Printable(const char* text) {
    std::string out;
    auto escape = [&out](unsigned char c) {
        char hex[5];
        std::snprintf(hex, sizeof hex, "\\x%02x", c);
        out += hex;
    };
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p;) {
        unsigned char c = *p;
        int extra = c >= 0xf5 ? 0 : c >= 0xf0 ? 3 : c >= 0xe0 ? 2 : c >= 0xc2 ? 1 : 0;
        bool whole = extra > 0 && !(c == 0xc2 && p[1] < 0xa0);
        for (int k = 1; whole && k <= extra; ++k)
            whole = (p[k] & 0xc0) == 0x80;
        if (whole) {
            out.append(reinterpret_cast<const char*>(p), size_t(extra) + 1);
            p += extra + 1;
            continue;
        }
        if (c < 0x20 || c >= 0x7f)
            escape(c);
        else
            out += char(c);
        ++p;
    }
    return out;
}

// The one place start-up speaks: "ninefold: <file>[:<line>]: <reason>", the
// file named with the folder it was found in when that is not the working
// directory.
void Say(std::string what) {
    if (*DataDirectoryUsed() && what.rfind("data/", 0) == 0)
        what = DataDirectoryUsed() + ("/" + what);
    std::fprintf(stderr, "ninefold: %s\n", Printable(what.c_str()).c_str());
}

bool StartFails(const std::string& what) {
    Say(what);
    return false;
}

bool LoadPicture(Demo& d, int slot) {
    char path[32];
    std::snprintf(path, sizeof path, "data/img%02d.png", slot);
    d.images[slot] = LoadImage(path, DEFAULTIMAGEFLAGS);
    if (d.images[slot]) return true;
    return StartFails(*ImageLoadError() ? ImageLoadError()
                                        : path + std::string(": cannot load picture"));
}

// The 2D layer makes a picture's texture on its first draw, which cost the
// first frame of sections 3 and 8 a tenth of a second or more; made here,
// before the clock starts, they cost nothing there and no pixel changes.
void MakeTexturesNow(const Demo& d) {
    for (TImage* image : d.images)
        PrepareImage(image);
}

// The renderer builds its code for each new mix of state (blend, lights,
// textures, effect passes) the first time it meets it, which made the first
// frames of sections 2 and 4 tens of milliseconds longer than the rest. Each
// section is drawn here once, a frame past its start, into an 8 x 6 corner
// of the back buffer (the state is the work, not the pixels), which nothing
// presents and which is then wiped. The capture textures need no restoring:
// an effect reads what it copied itself, and outside that only texels that
// no copy ever writes.
void RehearseSections(const Demo& d) {
    const int kFrameMs = 17; // one 60 Hz frame
    const struct {
        double from_s;
        void (*draw)(Demo&);
    } kSections[] = {{0, DrawSection1},
                     {kSection1End, DrawSection2},
                     {kSection2End, DrawSection3},
                     {kSection3End, DrawSection4},
                     {kSection4End, DrawSection5},
                     {kSection5End, DrawSection6},
                     {kSection6End, DrawSection7},
                     {kSection7End, [](Demo& r) {
                          DrawClosingPicture(r);
                          SplitClosingPicture(r);
                      }}};
    Demo rehearsal = d; // the show's frame variables stay as start-up set them
    glPushAttrib(GL_VIEWPORT_BIT);
    glViewport(0, 0, 8, 6);
    for (const auto& section : kSections) {
        rehearsal.t = std::ceil(section.from_s * 1000) + kFrameMs;
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glLoadIdentity(); // sections 6 and 7 shake through the model-view matrix
        section.draw(rehearsal);
    }
    glPopAttrib();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    // The 2D state as start-up leaves it for section 1.
    SetPlainDrawing(kAlphaBlend);
    SetScale(1.0f, 1.0f);
    SetLineWidth(1.0f);
}

} // namespace

bool StartUp(Demo& d) {
    SetGraphicsDriver(GL2DDriver(), kDefaultGraphicsFlags);
    Graphics(800, 600, 32, 0, GRAPHICS_BACKBUFFER | GRAPHICS_DEPTHBUFFER);
    HideMouse();

    // Centred coordinates, y down: the 2D layer sets its projection only
    // when the display opens, so this one holds for the whole run.
    SetCentredProjection(GraphicsWidth(), GraphicsHeight());

    set_path("data/");
    StartLoadBudget();
    fx_init(800, 600);
    SetBlend(kAlphaBlend);
    SetAlpha(1.0f);

    // Scene 1 is tested before scene 2 is tried, both before anything else.
    // Started where no data can be found, the line says where the process
    // entry looked; otherwise each loader's reason names the file.
    if (DataDirectoryMissing())
        return StartFails(std::string("data/scene1.obj: not found (looked in ") +
                          DataDirectoriesTried() + ")");
    d.scene1 = load_scene("scene1.obj");
    if (!d.scene1) return StartFails(scene_error());
    d.scene2 = load_scene("scene2.obj");
    if (!d.scene2) return StartFails(scene_error());

    d.soundtrack = LoadSound("data/music.ogg", 0);
    if (!d.soundtrack)
        return StartFails(*SoundLoadError() ? SoundLoadError()
                                            : "data/music.ogg: cannot load sound");
    if (*SoundLoadNote()) Say(SoundLoadNote()); // a short soundtrack still plays
    // Not a failure: the show goes on, and a device that appears is used.
    if (!AudioDeviceOpen()) Say("no sound output: playing silently");

    for (int slot = 0; slot <= 23; ++slot) {
        if (!LoadPicture(d, slot)) return false;
        if (slot == 4) MidHandleImage(d.images[4]);
    }
    AutoMidHandle(1);
    for (int slot = 24; slot <= 28; ++slot) {
        if (!LoadPicture(d, slot)) return false;
        d.numbers[slot - 24] = d.images[slot];
    }
    if (!LoadPicture(d, 29)) return false;
    MakeTexturesNow(d);
    RehearseSections(d);
    return true;
}
