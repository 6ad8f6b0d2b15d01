// Section 9, ending: image 23 as section 8 left it, and every frame one more
// playback of the soundtrack at the fade level, which the runner lowers by
// one step before each of the 100 frames.
#include "demo/timeline.h"

#include "platform/audio/audio.h"
#include "platform/draw2d.h"

bool Section9Frame(Demo& d) {
    TChannel channel = CueSound(d.soundtrack);
    SetChannelVolume(channel, float(d.fade));
    ResumeChannel(channel);
    DrawImage(d.images[23], -400, -300, 0);
    return PresentAndClear();
}
