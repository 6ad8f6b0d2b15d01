// The main program: start-up, the start mark and the music, the nine
// sections with their end times and the steps between them, the common exit.
#include "demo/timeline.h"
#include "demo/demo.h"

#include "platform/audio/audio.h"
#include "platform/clock.h"
#include "platform/draw2d.h"
#include "platform/graphics.h"
#include "platform/keyboard.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstring>

// Section ends in seconds, tested against the previous frame's t/1000; a
// fractional end is its float value widened, like a window bound.
const double kSection1End = double(15.9f);
const double kSection2End = double(32.045f);
const double kSection3End = double(47.974f);
const double kSection4End = double(64.03f);
const double kSection5End = 80;
const double kSection6End = 96;
const double kSection7End = 112;
const double kSection8End = kEndingStartMs / 1000.0;
// Section 9 counts frames by its fade level. The float 0.01 subtracted in
// double leaves the level just above the step after 99 frames, so exactly
// 100 frames (kEndingFrames) are drawn and the last playback gets about 2.2e-8.
const double kFadeStep = double(0.01f);
// A sound starts this long after it is asked for; past the ending's last
// frame the demo waits at most this long for the song to end.
const double kSoundStartMs = 20;
const double kLongestSongTailMs = 1000;
// The longest the show waits for a new sound output to know its latency.
const int kAudioClockWaitMs = 2500;

namespace {

void StartClockAndMusic(Demo& d) {
    // The song is heard from its first note 20 ms after the mark, at the
    // speaker: where the device already holds blocks written before, the
    // mark moves on past them, and the first frame waits for it.
    const int32_t first_note_ms = SoundStartMs(kAudioClockWaitMs);
    d.start_ms = int32_t(uint32_t(first_note_ms) - uint32_t(kSoundStartMs));
    PlaySoundAt(d.soundtrack, first_note_ms);
    const int32_t early_ms = int32_t(uint32_t(d.start_ms) - uint32_t(MilliSecs()));
    if (early_ms > 0) Delay(early_ms);
}

bool RunSection(Demo& d, double end_s, SectionFrame frame) {
    // The test uses the previous frame's t, so a section's last frame is
    // drawn with a t that already meets its end, and a section whose end
    // the previous section's last frame passed draws nothing.
    while (d.t / 1000 < end_s)
        if (!frame(d)) return false;
    return true;
}

// Once after section 7, even when section 8 draws no frame: the shake of
// sections 6 and 7 (in the matrix mode section 7 left) and their last scale.
void RemoveShake() {
    glLoadIdentity();
    SetScale(1.0f, 1.0f);
}

// Once after section 8: the fade starts from full level, and Escape is
// tested before the first frame.
bool StartFade(Demo& d) {
    d.fade = 1.0;
    return !KeyHit(kEscapeKey);
}

// Section 9's loop: the level drops one step before each frame.
bool RunFade(Demo& d, SectionFrame frame) {
    while (d.fade >= kFadeStep) {
        d.fade -= kFadeStep;
        if (!frame(d)) return false;
    }
    return true;
}

bool RunTimeline(Demo& d) {
    if (!RunSection(d, kSection1End, Section1Frame)) return false;
    if (!RunSection(d, kSection2End, Section2Frame)) return false;
    if (!RunSection(d, kSection3End, Section3Frame)) return false;
    if (!RunSection(d, kSection4End, Section4Frame)) return false;
    if (!RunSection(d, kSection5End, Section5Frame)) return false;
    if (!RunSection(d, kSection6End, Section6Frame)) return false;
    if (!RunSection(d, kSection7End, Section7Frame)) return false;
    RemoveShake();
    if (!RunSection(d, kSection8End, Section8Frame)) return false;
    return StartFade(d) && RunFade(d, Section9Frame);
}

// The final chord rings a little past the ending's last frame (100 frames
// end near 136.7 s at 60 Hz, the song at 137 s): the last picture stays up
// until the song has been heard to its end, where a device plays it.
void LetTheSongEnd(const Demo& d) {
    if (!AudioDeviceOpen() || std::strcmp(AudioDriverName(), "SDL") != 0) return;
    const TAudioSample* song = d.soundtrack->sample;
    double song_end_ms = double(song->length) * 1000 / song->rate + kSoundStartMs;
    Delay(int(std::clamp(song_end_ms - d.t, 0.0, kLongestSongTailMs)));
}

// Reached at the end, on Escape and when start-up fails. Resources stay
// loaded, reachable through the modules that loaded them.
void CommonExit() {
    EndGraphics();
}

} // namespace

int DemoMain() {
    Demo demo;
    bool started = StartUp(demo);
    if (started) {
        StartClockAndMusic(demo);
        if (RunTimeline(demo)) LetTheSongEnd(demo);
    }
    CommonExit();
    // A launcher or a script must tell a refused start from a finished show.
    return started ? 0 : 1;
}
