// Section 9, ending: image 23 as section 8 left it, and every frame one more
// playback of the soundtrack, each 0.01 quieter; 100 frames, counted by the
// fade level rather than timed.
#include "demo/timeline.h"

#include "platform/audio/audio.h"
#include "platform/draw2d.h"
#include "platform/graphics.h"

bool Section9(Demo& d) {
    d.fade = 1.0;
    if (KeyHit(27)) return false;
    // The step is the float 0.01 subtracted in double: after 99 frames the
    // level is still just above it, so exactly 100 frames are drawn and the
    // last playback gets about 2.2e-8.
    const double step = double(0.01f);
    while (d.fade >= step) {
        d.fade -= step;
        TChannel channel = CueSound(d.soundtrack);
        SetChannelVolume(channel, float(d.fade));
        ResumeChannel(channel);
        DrawImage(d.images[23], -400, -300, 0);
        Flip(-1);
        Cls();
        if (KeyHit(27)) return false;
    }
    return true;
}
